#include "Shell/InterfaceConstants.h"

#include "Shell/Identity.h"

namespace lumo::ui {

QFont InterfaceFont()
{
    return QFont(DefaultFontFamily, 8);
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
