#include "TransformItems.h"

#include "DrawableValues.h"
#include "XmlValues.h"

#include <QDomElement>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace lumo::app {

TransformationTransformItem::TransformationTransformItem() : RenderItem(true, false, true) {}

TransformationTransformItem::TransformationTransformItem(double translateX, double translateY, double scaleX,
                                                         double scaleY, double rotation)
    : RenderItem(true, false, true), m_translateX(translateX), m_translateY(translateY), m_scaleX(scaleX),
      m_scaleY(scaleY), m_rotation(rotation)
{
}

LMerr TransformationTransformItem::LoadFromXml(QDomElement& element)
{
    return CatchXml([&] {
        ReadFlags(element, FlagOrder::EnabledFirst);
        m_translateX = ReadXmlTagDouble(element, QStringLiteral("translateX"));
        m_translateY = ReadXmlTagDouble(element, QStringLiteral("translateY"));
        m_scaleX = ReadXmlTagDouble(element, QStringLiteral("scaleX"));
        m_scaleY = ReadXmlTagDouble(element, QStringLiteral("scaleY"));
        m_rotation = ReadXmlTagDouble(element, QStringLiteral("rotation"));
    });
}

LMerr TransformationTransformItem::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        WriteStartAndFlags(writer, QStringLiteral("transformationTransformItem"));
        WriteXmlTagDouble(writer, QStringLiteral("translateX"), m_translateX);
        WriteXmlTagDouble(writer, QStringLiteral("translateY"), m_translateY);
        WriteXmlTagDouble(writer, QStringLiteral("scaleX"), m_scaleX);
        WriteXmlTagDouble(writer, QStringLiteral("scaleY"), m_scaleY);
        WriteXmlTagDouble(writer, QStringLiteral("rotation"), m_rotation);
        writer.writeEndElement();
    });
}

FitTransformItem::FitTransformItem() : RenderItem(true, false, true) {}

FitTransformItem::FitTransformItem(FitTo fit) : RenderItem(true, false, true), m_fit(fit) {}

LMerr FitTransformItem::LoadFromXml(QDomElement& element)
{
    return CatchXml([&] {
        ReadFlags(element, FlagOrder::EnabledFirst);
        const int fit = ReadXmlTagInt(element, QStringLiteral("fit"));
        if (fit < FitToCanvas || fit > FitToNone)
            throw XmlException(LMerrInvalidData, "m_fit is invalid");
        m_fit = static_cast<FitTo>(fit);
    });
}

LMerr FitTransformItem::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        WriteStartAndFlags(writer, QStringLiteral("fitTransformItem"));
        WriteXmlTagInt(writer, QStringLiteral("fit"), m_fit);
        writer.writeEndElement();
    });
}

std::shared_ptr<AbstractTransformItem> CreateTransformItem(const QString& elementName)
{
    if (elementName == QLatin1String("transformationTransformItem"))
        return std::make_shared<TransformationTransformItem>();
    if (elementName == QLatin1String("fitTransformItem"))
        return std::make_shared<FitTransformItem>();
    return nullptr;
}

void ConvertTranslation(const TransformationTransformItem& item, unsigned int canvasWidth, unsigned int canvasHeight,
                        unsigned int layerWidth, unsigned int layerHeight, double& x, double& y)
{
    // As the layer is drawn (CombineLayerTransformation).
    const drawable::Placement placement = drawable::LayerPlacement(item);
    x = placement.translateX *
        drawable::TruncateToInt(std::fabs(placement.scaleX) * layerWidth * 0.5 + canvasWidth * 0.5);
    y = placement.translateY *
        drawable::TruncateToInt(std::fabs(placement.scaleY) * layerHeight * 0.5 + canvasHeight * 0.5);
}

} // namespace lumo::app
