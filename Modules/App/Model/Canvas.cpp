#include "Canvas.h"

#include "DrawableValues.h"
#include "XmlColor.h"
#include "XmlValues.h"

#include <QDomElement>
#include <QXmlStreamWriter>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace lumo::app {

namespace {

// Stored page number (the index) to Qt's page size.
constexpr std::array<QPageSize::PageSizeId, PageSizeCustom + 1> kPageSizes{
    QPageSize::A4,     QPageSize::B5,      QPageSize::Letter, QPageSize::Legal,  QPageSize::Executive,
    QPageSize::A0,     QPageSize::A1,      QPageSize::A2,     QPageSize::A3,     QPageSize::A5,
    QPageSize::A6,     QPageSize::A7,      QPageSize::A8,     QPageSize::A9,     QPageSize::B0,
    QPageSize::B1,     QPageSize::B10,     QPageSize::B2,     QPageSize::B3,     QPageSize::B4,
    QPageSize::B6,     QPageSize::B7,      QPageSize::B8,     QPageSize::B9,     QPageSize::C5E,
    QPageSize::Comm10E, QPageSize::DLE,    QPageSize::Folio,  QPageSize::Ledger, QPageSize::Tabloid,
    QPageSize::Custom,
};

// Reads an optional value: a missing element or text that does not convert gives the fallback.
template <class Reader>
auto ReadOptional(Reader&& reader, decltype(reader()) fallback)
{
    try {
        return reader();
    } catch (const XmlException&) {
        return fallback;
    }
}

} // namespace

QPageSize::PageSizeId ToQPageSizeId(PageSize size)
{
    const std::optional<PageSize> known = PageSizeFromNumber(size);
    return known ? kPageSizes[static_cast<std::size_t>(*known)] : QPageSize::Custom;
}

PageSize FromQPageSizeId(QPageSize::PageSizeId id)
{
    for (std::size_t i = 0; i < kPageSizes.size(); ++i) {
        if (kPageSizes[i] == id)
            return static_cast<PageSize>(i);
    }
    return PageSizeCustom;
}

std::optional<PageSize> PageSizeFromNumber(int number)
{
    if (number < 0 || number > PageSizeCustom)
        return std::nullopt;
    return static_cast<PageSize>(number);
}

Canvas::Canvas() = default;

Canvas::~Canvas() = default;

void Canvas::SetDimensions(unsigned int width, unsigned int height)
{
    m_width = width;
    m_height = height;
}

void Canvas::SetActualDimensions(unsigned int width, unsigned int height)
{
    m_actualWidth = width;
    m_actualHeight = height;
}

void Canvas::SetPosition(int x, int y)
{
    m_positionX = x;
    m_positionY = y;
}

void Canvas::SetCentre(int x, int y)
{
    m_centreX = x;
    m_centreY = y;
}

QTransform Canvas::GetTransform() const
{
    // The zoom as it can be drawn; a file or a setter may hold any number.
    const double scale = drawable::CanvasScale(m_scale);
    QTransform transform;
    transform.translate(m_centreX, m_centreY);
    transform.scale(scale, scale);
    transform.translate(m_positionX, m_positionY);
    return transform;
}

QRect Canvas::GetTransformedRect() const
{
    using drawable::TruncateToInt;
    const int width = TruncateToInt(m_width);
    const int height = TruncateToInt(m_height);
    const double left = -TruncateToInt(m_width * 0.5);
    const double top = -TruncateToInt(m_height * 0.5);
    // As QTransform::mapRect maps a QRect (edges and size rounded half away from zero), but in
    // doubles, so that a canvas panned or sized beyond what an int holds is held at its end.
    const QTransform transform = GetTransform();
    double x = transform.m11() * left + transform.dx();
    double y = transform.m22() * top + transform.dy();
    double w = transform.m11() * width;
    double h = transform.m22() * height;
    if (w < 0) {
        w = -w;
        x -= w;
    }
    if (h < 0) {
        h = -h;
        y -= h;
    }
    // Within half of what an int holds, so the right edge (left + width - 1) and whatever a caller
    // adds to it still fit; that far out the canvas is not in the window anyway.
    constexpr double kReach = double(1 << 30) - 1;
    const auto edge = [&](double value) { return drawable::RoundToInt(std::clamp(value, -kReach, kReach)); };
    const auto size = [&](double value) { return drawable::RoundToInt(std::clamp(value, 0.0, kReach)); };
    return QRect(edge(x), edge(y), size(w), size(h));
}

QTransform Canvas::WorkspaceTransform(hvn::image::HXDownsampleFactor factor) const
{
    using drawable::TruncateToInt;
    const double ratio = hvn::image::DownsampleValue(factor);
    const double scale = drawable::CanvasScale(m_scale);
    QTransform transform;
    transform.translate(TruncateToInt(ratio * m_centreX), TruncateToInt(ratio * m_centreY));
    transform.scale(scale, scale);
    transform.translate(TruncateToInt(ratio * m_positionX), TruncateToInt(ratio * m_positionY));
    return transform;
}

LMerr Canvas::LoadFromXml(QDomElement& project)
{
    return CatchXml([&] {
        const QDomElement canvas = project.firstChildElement(QStringLiteral("canvas"));

        const int dimensionType = ReadXmlTagInt(canvas, QStringLiteral("canvasDimensionType"));
        if (dimensionType < CanvasDimensionPreset || dimensionType > CanvasDimensionCustom)
            throw XmlException(LMerrInvalidData, "Canvas dimension type data is invalid");
        m_dimensionType = static_cast<CanvasDimensionType>(dimensionType);
        m_width = ReadXmlTagUInt(canvas, QStringLiteral("width"));
        m_height = ReadXmlTagUInt(canvas, QStringLiteral("height"));
        m_positionX = ReadXmlTagInt(canvas, QStringLiteral("positionX"));
        m_positionY = ReadXmlTagInt(canvas, QStringLiteral("positionY"));
        m_scale = ReadXmlTagFloat(canvas, QStringLiteral("scale"));
        const int orientation = ReadXmlTagInt(canvas, QStringLiteral("orientation"));
        if (orientation != CanvasOrientationLandscape && orientation != CanvasOrientationPortrait)
            throw XmlException(LMerrInvalidData, "Orientation data is invalid");
        m_orientation = static_cast<CanvasOrientation>(orientation);
        m_dpi = ReadXmlTagInt(canvas, QStringLiteral("dpi"));

        // Older files lack the values below.
        m_printAsCard = ReadOptional([&] { return ReadXmlTagBool(canvas, QStringLiteral("printAsCard")); }, false);
        // Stored as read, so a number this program does not know survives a save; it prints on a
        // custom page (ToQPageSizeId).
        m_printerPageSize = static_cast<PageSize>(
            ReadOptional([&] { return ReadXmlTagInt(canvas, QStringLiteral("printerPageSize")); }, int(PageSizeCustom)));
        m_actualWidth = ReadOptional([&] { return ReadXmlTagUInt(canvas, QStringLiteral("actualWidth")); }, m_width);
        m_actualHeight =
            ReadOptional([&] { return ReadXmlTagUInt(canvas, QStringLiteral("actualHeight")); }, m_height);
        m_useCanvasColor =
            ReadOptional([&] { return ReadXmlTagBool(canvas, QStringLiteral("useCanvasColor")); }, false);

        const QDomElement colorElement = canvas.firstChildElement(QStringLiteral("canvasColor"));
        const QColor color = ReadOptional([&] { return ReadXmlColor(colorElement); }, QColor(Qt::white));
        if (!color.isValid())
            throw XmlException(LMerrInvalidData, "Invalid canvas color");
        m_canvasColor = color;
    });
}

LMerr Canvas::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("canvas"));
        WriteXmlTagInt(writer, QStringLiteral("canvasDimensionType"), m_dimensionType);
        WriteXmlTagInt(writer, QStringLiteral("printerPageSize"), m_printerPageSize);
        WriteXmlTagUInt(writer, QStringLiteral("width"), m_width);
        WriteXmlTagUInt(writer, QStringLiteral("height"), m_height);
        WriteXmlTagUInt(writer, QStringLiteral("actualWidth"), m_actualWidth);
        WriteXmlTagUInt(writer, QStringLiteral("actualHeight"), m_actualHeight);
        WriteXmlTagInt(writer, QStringLiteral("positionX"), m_positionX);
        WriteXmlTagInt(writer, QStringLiteral("positionY"), m_positionY);
        WriteXmlTagFloat(writer, QStringLiteral("scale"), m_scale);
        WriteXmlTagInt(writer, QStringLiteral("orientation"), m_orientation);
        WriteXmlTagInt(writer, QStringLiteral("dpi"), m_dpi);
        WriteXmlTagBool(writer, QStringLiteral("printAsCard"), m_printAsCard);
        WriteXmlTagBool(writer, QStringLiteral("useCanvasColor"), m_useCanvasColor);
        WriteXmlColor(writer, QStringLiteral("canvasColor"), m_canvasColor);
        writer.writeEndElement();
    });
}

} // namespace lumo::app
