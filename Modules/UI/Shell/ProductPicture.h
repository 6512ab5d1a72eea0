#pragma once

// What the splash screen and the about box share: the product picture with the version written
// over it, in a frameless window centred on the screen that looks transparent where the picture is.

#include <QFont>
#include <QIcon>
#include <QPen>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace lumo::ui {

// The resource of the picture; its size is the windows' size.
extern const QString ProductPicturePath;
// The program's icon at its full size (256 pixels); smaller sizes lie beside it.
extern const QString ApplicationIconPath;

// The program's icon with each drawn size, for windows and the desktop.
QIcon ApplicationIcon();

// Where a window of the size sits centred on the screen: each half in whole pixels, so that a
// 400 x 300 window on a 1920 x 1080 screen at the origin sits at (760, 390). A window larger than
// the screen reaches past its top left.
QPoint CentredWindowPosition(const QRect& screen, const QSize& window);

// The start of the version text's baseline in a window of the height.
QPoint VersionTextOrigin(int windowHeight);

// The font of the version text.
QFont VersionTextFont();

// The picture, the desktop under the window and the pen of the text, in this order.
struct ProductPicture {
    QPixmap image;
    QPixmap backdrop;
    QPen pen;

    // Loads the picture, fixes the window to its size, centres the window on the primary screen
    // and takes the desktop under it once. A missing picture leaves a window of size 0.
    void SetUp(QWidget& window);
    // Paints the backdrop, the picture into target and the text at its place.
    void Paint(QWidget& window, const QRect& target, const QString& text) const;
};

} // namespace lumo::ui
