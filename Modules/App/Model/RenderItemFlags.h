#pragma once

// Template bodies of RenderItem's flag reading and writing.

#include "RenderItems.h"
#include "XmlValues.h"

#include <QDomElement>
#include <QXmlStreamWriter>

namespace lumo::app {

template <class Family, class Derived>
void RenderItem<Family, Derived>::ReadFlags(const QDomElement& element, FlagOrder order)
{
    if (order == FlagOrder::EnabledFirst) {
        m_enabled = ReadXmlAttributeBool(element, QStringLiteral("enabled"));
        m_collapsed = ReadXmlAttributeBool(element, QStringLiteral("collapsed"));
    } else {
        m_collapsed = ReadXmlAttributeBool(element, QStringLiteral("collapsed"));
        m_enabled = ReadXmlAttributeBool(element, QStringLiteral("enabled"));
    }
}

template <class Family, class Derived>
void RenderItem<Family, Derived>::WriteStartAndFlags(QXmlStreamWriter& writer, const QString& elementName) const
{
    writer.writeStartElement(elementName);
    WriteXmlAttributeBool(writer, QStringLiteral("collapsed"), m_collapsed);
    WriteXmlAttributeBool(writer, QStringLiteral("enabled"), m_enabled);
}

} // namespace lumo::app
