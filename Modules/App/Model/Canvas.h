#pragma once

#include "AbstractProjectItem.h"
#include "AppExport.h"

#include <hvn/image/HXTypes.h>

#include <QColor>
#include <QPageSize>
#include <QRect>
#include <QTransform>

#include <optional>

namespace lumo::app {

enum CanvasDimensionType : int {
    CanvasDimensionPreset = 0,
    CanvasDimensionBackground = 1, // the size of the background image
    CanvasDimensionForeground = 2, // the size of the foreground image
    CanvasDimensionCustom = 3,
};

enum CanvasOrientation : int {
    CanvasOrientationLandscape = 0,
    CanvasOrientationPortrait = 1,
};

// Printer page sizes with the numbers project files store. These are the old printer numbers,
// which no longer match QPageSize::PageSizeId; convert through ToQPageSizeId, never by cast. A
// canvas keeps whatever number its file holds; numbers outside the table print on a custom page.
enum PageSize : int {
    PageSizeA4 = 0,
    PageSizeB5 = 1,
    PageSizeLetter = 2,
    PageSizeLegal = 3,
    PageSizeExecutive = 4,
    PageSizeA0 = 5,
    PageSizeA1 = 6,
    PageSizeA2 = 7,
    PageSizeA3 = 8,
    PageSizeA5 = 9,
    PageSizeA6 = 10,
    PageSizeA7 = 11,
    PageSizeA8 = 12,
    PageSizeA9 = 13,
    PageSizeB0 = 14,
    PageSizeB1 = 15,
    PageSizeB10 = 16,
    PageSizeB2 = 17,
    PageSizeB3 = 18,
    PageSizeB4 = 19,
    PageSizeB6 = 20,
    PageSizeB7 = 21,
    PageSizeB8 = 22,
    PageSizeB9 = 23,
    PageSizeC5E = 24,
    PageSizeComm10E = 25,
    PageSizeDLE = 26,
    PageSizeFolio = 27,
    PageSizeLedger = 28,
    PageSizeTabloid = 29,
    PageSizeCustom = 30,
};

APP_EXPORT QPageSize::PageSizeId ToQPageSizeId(PageSize size);
// The stored number for a Qt page size; PageSizeCustom for sizes without one.
APP_EXPORT PageSize FromQPageSizeId(QPageSize::PageSizeId id);
// The page size a stored number names; nothing for numbers outside the table.
APP_EXPORT std::optional<PageSize> PageSizeFromNumber(int number);

// The output page of a project and where it is drawn in the workspace. Canvas coordinates have
// their origin at the canvas centre. Reads from the `project` element (its `canvas` child).
class APP_EXPORT Canvas final : public AbstractProjectItem {
public:
    Canvas();
    Canvas(const Canvas&) = default;
    Canvas& operator=(const Canvas&) = default;
    ~Canvas() override;

    PageSize PrinterPageSize() const { return m_printerPageSize; }
    CanvasDimensionType DimensionType() const { return m_dimensionType; }
    unsigned int Width() const { return m_width; }
    unsigned int Height() const { return m_height; }
    // The printed sheet, larger than the canvas when it is printed as a card.
    unsigned int ActualWidth() const { return m_actualWidth; }
    unsigned int ActualHeight() const { return m_actualHeight; }
    int PositionX() const { return m_positionX; }
    int PositionY() const { return m_positionY; }
    float Scale() const { return m_scale; }
    int CentreX() const { return m_centreX; }
    int CentreY() const { return m_centreY; }
    CanvasOrientation Orientation() const { return m_orientation; }
    int DPI() const { return m_dpi; }
    bool PrintAsCard() const { return m_printAsCard; }
    bool UseCanvasColor() const { return m_useCanvasColor; }
    QColor CanvasColor() const { return m_canvasColor; }

    void SetPrinterPageSize(PageSize size) { m_printerPageSize = size; }
    void SetDimensionType(CanvasDimensionType type) { m_dimensionType = type; }
    void SetDimensions(unsigned int width, unsigned int height);
    void SetActualDimensions(unsigned int width, unsigned int height);
    void SetPosition(int x, int y);
    void SetScale(float scale) { m_scale = scale; }
    void SetCentre(int x, int y);
    void SetOrientation(CanvasOrientation orientation) { m_orientation = orientation; }
    void SetDPI(int dpi) { m_dpi = dpi; }
    void SetPrintAsCard(bool printAsCard) { m_printAsCard = printAsCard; }
    void SetUseCanvasColor(bool use) { m_useCanvasColor = use; }
    void SetCanvasColor(const QColor& color) { m_canvasColor = color; }

    // Canvas to workspace: a canvas point p lands at centre + scale * (p + position). These three
    // take the scale as it can be drawn (drawable::CanvasScale): 1 for one that is not finite or
    // not positive.
    QTransform GetTransform() const;
    // The canvas's bounding rectangle in the workspace.
    QRect GetTransformedRect() const;
    // GetTransform for a canvas rendered at a preview resolution: centre and position are scaled
    // by the factor's size ratio and truncated to whole pixels.
    QTransform WorkspaceTransform(hvn::image::HXDownsampleFactor factor) const;

private:
    LMerr LoadFromXml(QDomElement& project) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    PageSize m_printerPageSize = PageSizeCustom;
    CanvasDimensionType m_dimensionType = CanvasDimensionPreset;
    unsigned int m_width = 0;
    unsigned int m_height = 0;
    unsigned int m_actualWidth = 0;
    unsigned int m_actualHeight = 0;
    int m_positionX = 0;
    int m_positionY = 0;
    float m_scale = 1.0f;
    int m_centreX = 0;
    int m_centreY = 0;
    CanvasOrientation m_orientation = CanvasOrientationPortrait;
    int m_dpi = 1;
    bool m_printAsCard = false;
    bool m_useCanvasColor = false;
    QColor m_canvasColor{Qt::white};
};

} // namespace lumo::app
