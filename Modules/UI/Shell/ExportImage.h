#pragma once

// The finished picture turned into files and paper: the export routine the export commands call,
// the greeting-card layout that export, print and preview share, the page image and its fit on a
// sheet, the printers and the help pages.

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTransform>
#include <QUuid>

#include <functional>

class QPrinter;

namespace lumo::app {
class Canvas;
class Project;
} // namespace lumo::app

namespace lumo::ui {

// Dots per metre of a resolution in dots per inch: the integer part of dpi x 39.3700787 + 0.5
// (300 gives 11811, 72 gives 2835); 0 for a resolution of 0 or less.
int DotsPerMetre(double dpi);

// The card layout: the rendered image (size rendered) centred, turned a quarter (clockwise for a
// portrait sheet, anticlockwise for a landscape one) and moved a quarter of the sheet onto the
// front half of the folded card of the canvas's actual size.
QTransform CardTransform(const app::Canvas& canvas, const QSize& rendered);

// The resolution an export is written with, in dots per metre on both axes: the canvas's, or the
// foreground's own (canvas sized from the foreground) or the background's (sized from it).
QSize ExportDotsPerMetre(const app::Project& project, const QUuid& foregroundId);

// Renders the foreground's export image and writes it to path in the format ("JPEG", "JPG",
// "PNG", "TIFF"...), at quality 0-100 (-1 the writer's default). JPEG is composited onto white;
// a card canvas (preset or custom) is laid out on its sheet. The file is written through a
// temporary file renamed over the path on success, so a failed export never harms an existing
// file. Under the wait cursor; reports nothing itself.
bool ExportRenderedImage(const QUuid& foregroundId, const QString& path, const QString& format, int quality);

// The whole export road around that routine: the exporting flag and the screen caches released
// and rebuilt around the render, the canvas redrawn after. Memory that cannot be had back for the
// screen goes to the fatal road.
bool ExportCurrentForeground(const QString& path, const QString& format, int quality);

// The opaque page image of a print: the rendered image on white, laid out as a card when the
// canvas is a preset card.
QImage PrintPageImage(const QImage& rendered, const app::Canvas& canvas);

// Where a print of `printSize` device pixels goes on a sheet (viewport) of `sheet`: kept at its size
// at the corner, or, when within 5 % of the sheet, scaled from `base` to cover it, centred.
QRect PrintPlacement(const QSize& printSize, const QSize& base, const QSize& sheet);

// Paints a page image of a print at `dpi` onto the printer's whole sheet: at its true size inside
// the margins, or covering the sheet when within 5 % of it. False when nothing could be painted
// (no painter on the printer, an empty image or a resolution of 0 or less).
bool PaintPageOnPrinter(QPrinter& printer, const QImage& page, double dpi);

// A fresh path for a temporary file with the suffix (".png"), in the folder "Lumora" of the
// system's temporary folder, which is made when missing.
QString MakeTempFilePath(const QString& suffix);
// The folder followed by "/Lumora/".
QString AppendProductFolder(const QString& folder);

// Hands a page image file (its resolution stored in it) to the print service: Qt's print dialog
// on the application's printer, then the page painted as the preview shows it. True when the
// image reached the print service or the user cancelled the dialog; false when it could not be
// read or painted.
bool PrintFileWithPhotoPrinting(const QString& path);

// Whether any printer is installed.
bool HasPrinters();
// Replaces the answer of HasPrinters (tests on machines without printers); an empty function
// goes back to the installed printers.
void SetPrinterProbeForTesting(std::function<bool()> probe);

// The help page of a toolbox section (-1 and unknown sections: the index page).
QString HelpPageOf(int section);
// The folder of the help pages: "help" beside the program.
QString HelpFolder();
// Opens a page of that folder in the desktop's browser, under the wait cursor.
bool OpenHelpPage(const QString& page);

} // namespace lumo::ui
