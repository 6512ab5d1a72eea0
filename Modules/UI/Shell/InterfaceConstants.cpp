#include "Shell/InterfaceConstants.h"

#include "Shell/Identity.h"

namespace lumo::ui {

QFont InterfaceFont()
{
    return QFont(DefaultFontFamily, 8);
}

QPalette ApplicationPalette()
{
    const QColor window(0x26, 0x26, 0x26);
    const QColor base(0x15, 0x15, 0x15);
    const QColor alternate(0x1e, 0x1e, 0x1e);
    const QColor button(0x3a, 0x3a, 0x3a);
    const QColor text(0xcb, 0xcb, 0xcb);
    const QColor disabledText(0x66, 0x66, 0x66);
    const QColor highlight(0x6f, 0x94, 0x06);

    QPalette palette(button, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, alternate);
    palette.setColor(QPalette::ToolTipBase, QColor(0x2c, 0x2c, 0x2c));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Light, QColor(0x4d, 0x4d, 0x4d));
    palette.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    palette.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1a));
    palette.setColor(QPalette::Shadow, QColor(0x0a, 0x0a, 0x0a));
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x98, 0xc9, 0x08));
    palette.setColor(QPalette::LinkVisited, QColor(0x8f, 0xbc, 0x0a));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Base, alternate);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x33, 0x33, 0x33));
    return palette;
}

const QString TabPaneStyleSheet = QStringLiteral(
    "QTabWidget::pane { background: #1a1a1a; border-top: 1px solid #4d4d4d; }"
    "QTabBar::tab:selected { border-image: url(:Tab/TabSelected.png) 1px 4px 1px 4px;"
    " border-width: 0px 3px 0px 3px; margin-left: -1px; margin-right: -1px; color: #cbcbcb; }"
    "QTabBar::tab:!selected:hover { border-image: url(:Tab/TabUnselectedOver.png) 1px 4px 1px 4px;"
    " border-width: 0px 3px 0px 3px; color: #cbcbcb; }"
    "QTabBar::tab:first:selected { margin-left: 1px; }"
    "QTabBar::tab:last:selected { margin-right: 0px; }"
    "QTabBar::tab:only-one { margin: 0px; }");
const QString TabBarStyleSheet = QStringLiteral(
    "QTabBar::tab { border-image: url(:Tab/TabUnselectedDefault.png) 1px 4px 1px 4px;"
    " border-width: 0px 3px 0px 3px; min-width: 8ex; padding: 5px 20px 5px 20px; color: #989898; }"
    "QTabWidget::tab-bar { left: 10px; top: 1px; }");

const QColor DefaultCanvasColor(255, 255, 255, 255);
const QColor DefaultTextColor(255, 255, 255, 255);
const QColor DefaultSilhouetteColor(0, 0, 0, 255);
const QColor DefaultVignetteColor(0, 0, 0, 255);

namespace canvascolors {
const QColor UniqueForegroundFrame(253, 248, 39, 255);
const QColor Accent(152, 201, 8, 255);
const QColor AccentFaint(152, 201, 8, 30);
const QColor LightGreen(192, 229, 89, 150);
const QColor PaleGreen(192, 229, 89, 255);
const QColor Grey(203, 203, 203, 255);
const QColor CyanFill(70, 180, 193, 40);
const QColor ControlPoint(70, 180, 193, 255);
const QColor White(255, 255, 255, 255);
const QColor Hover(255, 255, 255, 128);
} // namespace canvascolors

} // namespace lumo::ui
