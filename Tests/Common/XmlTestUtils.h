#pragma once

// Small helpers for XML round trips in tests.

#include "AbstractProjectItem.h"

#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <QXmlStreamWriter>

#include <functional>

namespace lumo::test {

// The document element of a text; an empty element when it does not parse.
inline QDomElement ParseElement(const QString& xml)
{
    QDomDocument document;
    document.setContent(xml);
    return document.documentElement();
}

// What a writer body produces, without an XML declaration.
inline QString WriteWith(const std::function<void(QXmlStreamWriter&)>& body)
{
    QString text;
    QXmlStreamWriter writer(&text);
    body(writer);
    return text;
}

inline QString WriteItem(const app::AbstractProjectItem& item)
{
    return WriteWith([&](QXmlStreamWriter& writer) { item.WriteToXml(writer); });
}

// Loads an item (or list) from the document element of the text.
inline app::LMerr LoadItem(app::AbstractProjectItem& item, const QString& xml)
{
    QDomElement element = ParseElement(xml);
    return item.LoadFromXml(element);
}

} // namespace lumo::test
