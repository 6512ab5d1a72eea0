#include "TextItem.h"

#include "IdVector.h"
#include "PointEquality.h"
#include "XmlColor.h"
#include "XmlValues.h"

#include <QDomElement>
#include <QXmlStreamWriter>

#include <algorithm>

namespace lumo::app {

namespace {

QString ReadString(const QDomElement& element, const char* name)
{
    return QString::fromStdWString(ReadXmlTagWString(element, QString::fromLatin1(name)));
}

} // namespace

TextItem::TextItem() : m_id(QUuid::createUuid()) {}

TextItem::~TextItem() = default;

bool TextItem::operator==(const TextItem& other) const
{
    return m_id == other.m_id && m_enabled == other.m_enabled && m_zoom == other.m_zoom && m_name == other.m_name &&
           m_useOption == other.m_useOption && m_text == other.m_text && m_fontName == other.m_fontName &&
           m_bold == other.m_bold && m_italic == other.m_italic && m_underline == other.m_underline &&
           m_alignment == other.m_alignment && m_color == other.m_color && m_fontSize == other.m_fontSize &&
           m_opacity == other.m_opacity && SamePoint(m_position, other.m_position) && m_angle == other.m_angle;
}

LMerr TextItem::LoadFromXml(QDomElement& element)
{
    return CatchXml([&] {
        m_enabled = ReadXmlAttributeBool(element, QStringLiteral("isEnabled"));
        m_zoom = ReadXmlTagDouble(element, QStringLiteral("zoom"));
        m_name = ReadString(element, "textItemName");

        const int useOption = ReadXmlTagInt(element, QStringLiteral("useOption"));
        if (useOption < TextUseCustom || useOption > TextUseFilePath)
            throw XmlException(LMerrInvalidData, "Text use option is invalid");
        m_useOption = static_cast<TextUseOption>(useOption);

        m_text = ReadXmlTagBytes(element, QStringLiteral("textString"));
        m_fontName = ReadString(element, "fontName");
        m_bold = ReadXmlTagBool(element, QStringLiteral("isBold"));
        m_italic = ReadXmlTagBool(element, QStringLiteral("isItalic"));
        m_underline = ReadXmlTagBool(element, QStringLiteral("isUnderlined"));

        const int alignment = ReadXmlTagInt(element, QStringLiteral("alignment"));
        if (alignment < TextAlignmentLeft || alignment > TextAlignmentRight)
            throw XmlException(LMerrInvalidData, "Text alignment is invalid");
        m_alignment = static_cast<TextAlignmentMethod>(alignment);

        const QDomElement colorElement = element.firstChildElement(QStringLiteral("color"));
        if (colorElement.isNull())
            throw XmlException(LMerrInvalidData, "Text color element is missing");
        const QColor color = ReadXmlColor(colorElement);
        if (!color.isValid())
            throw XmlException(LMerrInvalidData, "Invalid text color");
        m_color = color;

        m_fontSize = ReadXmlTagInt(element, QStringLiteral("fontSize"));
        m_opacity = ReadXmlTagDouble(element, QStringLiteral("opacity"));
        const double x = ReadXmlTagDouble(element, QStringLiteral("positionX"));
        const double y = ReadXmlTagDouble(element, QStringLiteral("positionY"));
        m_position = QPointF(x, y);
        m_angle = ReadXmlTagDouble(element, QStringLiteral("angle"));
    });
}

LMerr TextItem::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("textItem"));
        WriteXmlAttributeBool(writer, QStringLiteral("isEnabled"), m_enabled);
        WriteXmlTagDouble(writer, QStringLiteral("zoom"), m_zoom);
        WriteXmlTagWString(writer, QStringLiteral("textItemName"), m_name.toStdWString(), true);
        WriteXmlTagInt(writer, QStringLiteral("useOption"), m_useOption);
        WriteXmlTagBytes(writer, QStringLiteral("textString"), m_text);
        WriteXmlTagWString(writer, QStringLiteral("fontName"), m_fontName.toStdWString(), true);
        WriteXmlTagBool(writer, QStringLiteral("isBold"), m_bold);
        WriteXmlTagBool(writer, QStringLiteral("isItalic"), m_italic);
        WriteXmlTagBool(writer, QStringLiteral("isUnderlined"), m_underline);
        WriteXmlTagInt(writer, QStringLiteral("alignment"), m_alignment);
        WriteXmlColor(writer, QStringLiteral("color"), m_color);
        WriteXmlTagInt(writer, QStringLiteral("fontSize"), m_fontSize);
        WriteXmlTagDouble(writer, QStringLiteral("opacity"), m_opacity);
        WriteXmlTagDouble(writer, QStringLiteral("positionX"), m_position.x());
        WriteXmlTagDouble(writer, QStringLiteral("positionY"), m_position.y());
        WriteXmlTagDouble(writer, QStringLiteral("angle"), m_angle);
        writer.writeEndElement();
    });
}

// TextList

TextList::TextList() = default;

TextList::TextList(const TextList& other) : AbstractProjectItem(other)
{
    DeepCopy(other);
}

TextList& TextList::operator=(const TextList& other)
{
    if (this != &other)
        DeepCopy(other);
    return *this;
}

TextList::~TextList() = default;

void TextList::DeepCopy(const TextList& other)
{
    idvector::DeepCopy(m_items, other.m_items);
    m_selected = other.m_selected;
    m_nameSuffix = other.m_nameSuffix;
}

LMerr TextList::Add(TextItemPtr item)
{
    // A null item would be dereferenced at the next save or render.
    if (!item)
        return LMerrInvalidData;
    if (idvector::Contains(m_items, item->Id()))
        return LMerrTextItemPresent;
    m_items.push_back(std::move(item));
    return LMerrSuccess;
}

LMerr TextList::Get(const QUuid& id, TextItemPtr& item) const
{
    return idvector::Get(m_items, id, item) ? LMerrSuccess : LMerrTextItemMissing;
}

LMerr TextList::Remove(const QUuid& id)
{
    return idvector::Remove(m_items, id) ? LMerrSuccess : LMerrTextItemMissing;
}

LMerr TextList::MoveUp(const QUuid& id)
{
    return idvector::MoveUp(m_items, id) ? LMerrSuccess : LMerrTextItemMissing;
}

LMerr TextList::MoveDown(const QUuid& id)
{
    return idvector::MoveDown(m_items, id) ? LMerrSuccess : LMerrTextItemMissing;
}

unsigned int TextList::EnabledCount() const
{
    return idvector::EnabledCount(m_items);
}

LMerr TextList::IdToIndex(const QUuid& id, unsigned int& index) const
{
    const auto position = idvector::IndexOf(m_items, id);
    if (!position)
        return LMerrIndexOutOfRange;
    index = *position;
    return LMerrSuccess;
}

LMerr TextList::IndexToID(unsigned int index, QUuid& id) const
{
    if (index >= m_items.size())
        return LMerrIndexOutOfRange;
    id = m_items[index]->Id();
    return LMerrSuccess;
}

LMerr TextList::LoadFromXml(QDomElement& parent)
{
    return CatchXml([&] {
        const QDomElement list = parent.firstChildElement(QStringLiteral("textList"));
        if (list.isNull())
            return;
        const unsigned int selectedIndex = ReadXmlTagUInt(list, QStringLiteral("currentSelectedTextIndex"));
        m_nameSuffix = ReadXmlTagUInt(list, QStringLiteral("nameSuffix"));

        for (QDomElement child = list.firstChildElement(QStringLiteral("textItem")); !child.isNull();
             child = child.nextSiblingElement(QStringLiteral("textItem"))) {
            auto item = std::make_shared<TextItem>();
            AbstractProjectItem& stored = *item;
            if (stored.LoadFromXml(child) != LMerrSuccess)
                throw XmlException(LMerrInvalidData, "Text item failed to load");
            m_items.push_back(std::move(item));
        }

        if (m_items.empty())
            return;
        if (IndexToID(selectedIndex, m_selected) != LMerrSuccess)
            throw XmlException(LMerrCannotWrite, "Text item index has gone out of bounds of the text list");
    });
}

LMerr TextList::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        // The first item stands in for a selection that names no item.
        unsigned int selectedIndex = 0;
        IdToIndex(m_selected, selectedIndex);
        writer.writeStartElement(QStringLiteral("textList"));
        WriteXmlTagUInt(writer, QStringLiteral("currentSelectedTextIndex"), selectedIndex);
        WriteXmlTagUInt(writer, QStringLiteral("nameSuffix"), m_nameSuffix);
        for (const TextItemPtr& item : m_items)
            WriteChild(*item, writer);
        writer.writeEndElement();
    });
}

} // namespace lumo::app
