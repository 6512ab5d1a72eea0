#pragma once

// Colours stored as an element whose `red`, `green` and `blue` attributes hold the channels.

#include "XmlValues.h"

#include <QColor>
#include <QDomElement>
#include <QXmlStreamWriter>

namespace lumo::app {

// An opaque colour; invalid when a channel lies outside 0 to 255. A missing attribute or one
// that does not convert raises XmlException with code 4.
inline QColor ReadXmlColor(const QDomElement& element)
{
    const int red = ReadXmlAttributeUInt(element, QStringLiteral("red"));
    const int green = ReadXmlAttributeUInt(element, QStringLiteral("green"));
    const int blue = ReadXmlAttributeUInt(element, QStringLiteral("blue"));
    // Checked here: QColor would also refuse them, but with a warning on the console.
    if (red > 255 || green > 255 || blue > 255)
        return QColor();
    return QColor(red, green, blue);
}

// The element with the three channels and no content.
inline void WriteXmlColor(QXmlStreamWriter& writer, const QString& name, const QColor& color)
{
    writer.writeStartElement(name);
    WriteXmlAttributeUInt(writer, QStringLiteral("red"), color.red());
    WriteXmlAttributeUInt(writer, QStringLiteral("green"), color.green());
    WriteXmlAttributeUInt(writer, QStringLiteral("blue"), color.blue());
    writer.writeEndElement();
}

} // namespace lumo::app
