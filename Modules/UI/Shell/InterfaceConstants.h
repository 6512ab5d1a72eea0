#pragma once

// Values the panels, controls and canvas items share: tab style sheets, panel defaults and the
// colours of the canvas items. One definition each; read-only after start-up.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QSize>
#include <QString>

namespace lumo::ui {

// The font of almost every widget: DefaultFontFamily at 8 points.
QFont InterfaceFont();

// The program's colours for every window it opens, set on the application: menus, Qt's file,
// colour and print dialogs and message boxes are as dark as the main window. The style sheet
// refines the program's own widgets on top of it.
QPalette ApplicationPalette();

// The tab widgets' style sheets, applied in this order by TabWidget: pane and selected tabs first,
// then the unselected tabs and the bar.
extern const QString TabPaneStyleSheet;
extern const QString TabBarStyleSheet;

// Container features of the effect panels (collapse, enable, move, reset) and of the key panels
// (collapse, enable, reset).
inline constexpr int EffectPanelContainerFeatures = 0x3C;
inline constexpr int KeyPanelContainerFeatures = 0x34;

inline constexpr QSize DefaultCustomCanvasSize(1200, 1800);
extern const QColor DefaultCanvasColor;
extern const QColor DefaultTextColor;
extern const QColor DefaultSilhouetteColor;
extern const QColor DefaultVignetteColor;

// Canvas items. The accent green marks what can be grabbed; the light green and the cyan fill
// outlines and areas so the photograph stays visible through them.
namespace canvascolors {
extern const QColor UniqueForegroundFrame; // the frame drawn while the foreground has its own settings
extern const QColor Accent;                // layer and text outlines and handles, shadow and mask handles
extern const QColor AccentFaint;           // the mask outline's fill
extern const QColor LightGreen;            // crop rectangle, shadow edge, mask outline pens
extern const QColor PaleGreen;             // the rotate handles' stem and hover arc
extern const QColor Grey;                  // crop rectangle and mask handle frames
extern const QColor CyanFill;              // crop rectangle and mask outline areas
extern const QColor ControlPoint;          // mask control points
extern const QColor White;                 // handles at rest
extern const QColor Hover;                 // handles and the shadow edge under the pointer
} // namespace canvascolors

} // namespace lumo::ui
