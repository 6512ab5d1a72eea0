#include "Shell/ProductPicture.h"

#include "Shell/Identity.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace lumo::ui {

namespace {

constexpr int kTextLeft = 40;
constexpr int kTextAboveBottom = 60;
constexpr int kTextPointSize = 6;
constexpr int kTextAlpha = 230;

} // namespace

const QString ProductPicturePath = QStringLiteral(":/Splashscreen/SplashScreen_LM.png");
const QString ApplicationIconPath = QStringLiteral(":/Icons/LumoIcon.png");

QIcon ApplicationIcon()
{
    // The small sizes are drawn for their size, not scaled down, so they stay sharp.
    QIcon icon;
    for (const int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/Icons/LumoIcon-%1.png").arg(size), QSize(size, size));
    icon.addFile(ApplicationIconPath, QSize(256, 256));
    return icon;
}

QPoint CentredWindowPosition(const QRect& screen, const QSize& window)
{
    // The screen's own offset counts: a primary screen right of another one is not at the origin.
    return {screen.x() + screen.width() / 2 - window.width() / 2,
            screen.y() + screen.height() / 2 - window.height() / 2};
}

QPoint VersionTextOrigin(int windowHeight)
{
    return {kTextLeft, windowHeight - kTextAboveBottom};
}

QFont VersionTextFont()
{
    QFont font(DefaultFontFamily, kTextPointSize);
    font.setBold(true);
    return font;
}

void ProductPicture::SetUp(QWidget& window)
{
    image = QPixmap(ProductPicturePath);
    window.setFixedSize(image.size());
    // Where a compositor draws transparency, the corners show the desktop as it is now; elsewhere
    // the backdrop taken below stands in for it.
    window.setAttribute(Qt::WA_TranslucentBackground);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QPoint position = CentredWindowPosition(screen->geometry(), image.size());
        window.move(position);
        // The desktop's own window takes desktop coordinates.
        if (!image.isNull())
            backdrop = screen->grabWindow(0, position.x(), position.y(), image.width(), image.height());
    }
    pen = QPen(QColor(255, 255, 255, kTextAlpha));
}

void ProductPicture::Paint(QWidget& window, const QRect& target, const QString& text) const
{
    QPainter painter(&window);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(pen);
    // Without a backdrop (a desktop that refuses grabs) the translucent window shows through.
    if (!backdrop.isNull())
        painter.drawPixmap(0, 0, backdrop);
    painter.drawPixmap(target, image);
    painter.setFont(VersionTextFont());
    painter.drawText(VersionTextOrigin(window.height()), text);
}

} // namespace lumo::ui
