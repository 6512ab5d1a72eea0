#pragma once

#include "AbstractProjectItem.h"
#include "AppExport.h"

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QString>
#include <QUuid>

#include <memory>
#include <vector>

namespace lumo::app {

enum TextUseOption : int {
    TextUseCustom = 0,   // the item's own text
    TextUseFilename = 1, // the foreground image's file name
    TextUseFilePath = 2, // its full path
};

enum TextAlignmentMethod : int {
    TextAlignmentLeft = 0,
    TextAlignmentCentre = 1,
    TextAlignmentRight = 2,
};

// One line of text laid over the composite. A copy has every field of its source, the id
// included: it is the same item by identity. The id is not stored; every load gives a new one.
class APP_EXPORT TextItem final : public AbstractProjectItem {
public:
    static constexpr int DefaultTextItemSize = 72;

    TextItem();
    TextItem(const TextItem&) = default;
    TextItem& operator=(const TextItem&) = default;
    ~TextItem() override;

    // Every field, the id included; the position by SamePoint, the doubles exactly.
    bool operator==(const TextItem& other) const;
    bool operator!=(const TextItem& other) const { return !(*this == other); }

    const QUuid& Id() const { return m_id; }
    bool IsEnabled() const { return m_enabled; }
    double Zoom() const { return m_zoom; }
    const QString& TextItemName() const { return m_name; }
    TextUseOption UseOption() const { return m_useOption; }
    // The text panel stores the Base64 of the text's UTF-8 form, so these are ASCII bytes.
    const QByteArray& TextString() const { return m_text; }
    const QString& FontName() const { return m_fontName; }
    bool IsBold() const { return m_bold; }
    bool IsItalic() const { return m_italic; }
    bool IsUnderlined() const { return m_underline; }
    TextAlignmentMethod TextAlignment() const { return m_alignment; }
    const QColor& FontColor() const { return m_color; }
    int FontSize() const { return m_fontSize; }
    double Opacity() const { return m_opacity; }
    const QPointF& Position() const { return m_position; }
    double Angle() const { return m_angle; }

    void SetEnabled(bool enabled) { m_enabled = enabled; }
    void SetZoom(double zoom) { m_zoom = zoom; }
    void SetTextItemName(const QString& name) { m_name = name; }
    void SetUseOption(TextUseOption option) { m_useOption = option; }
    void SetTextString(const QByteArray& text) { m_text = text; }
    void SetFontName(const QString& name) { m_fontName = name; }
    void SetBold(bool bold) { m_bold = bold; }
    void SetItalic(bool italic) { m_italic = italic; }
    void SetUnderline(bool underline) { m_underline = underline; }
    void SetTextAlignment(TextAlignmentMethod alignment) { m_alignment = alignment; }
    void SetFontColor(const QColor& color) { m_color = color; }
    void SetFontSize(int size) { m_fontSize = size; }
    void SetOpacity(double opacity) { m_opacity = opacity; }
    void SetPosition(QPointF position) { m_position = position; }
    void SetAngle(double angle) { m_angle = angle; }

private:
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    QUuid m_id;
    bool m_enabled = true;
    double m_zoom = 1.0;
    QString m_name;
    TextUseOption m_useOption = TextUseCustom;
    QByteArray m_text;
    QString m_fontName;
    bool m_bold = false;
    bool m_italic = false;
    bool m_underline = false;
    TextAlignmentMethod m_alignment = TextAlignmentLeft;
    QColor m_color{255, 255, 255, 255};
    int m_fontSize = DefaultTextItemSize;
    double m_opacity = 1.0;
    QPointF m_position;
    double m_angle = 0.0;
};

using TextItemPtr = std::shared_ptr<TextItem>;

// The text items of one foreground's settings in drawing order (the last in front), with the
// selected item and the counter for new item names. Reads from the enclosing settings element
// (its `textList` child); copies are deep (new items with the same ids).
class APP_EXPORT TextList final : public AbstractProjectItem {
public:
    using ConstIterator = std::vector<TextItemPtr>::const_iterator;
    using ConstReverseIterator = std::vector<TextItemPtr>::const_reverse_iterator;

    TextList();
    TextList(const TextList& other);
    TextList& operator=(const TextList& other);
    ~TextList() override;

    // Not checked against the items.
    const QUuid& CurrentlySelectedTextItem() const { return m_selected; }
    void SetCurrentlySelectedTextItem(const QUuid& id) { m_selected = id; }
    unsigned int NameSuffix() const { return m_nameSuffix; }
    void SetNameSuffix(unsigned int suffix) { m_nameSuffix = suffix; }
    void IncrementNameSuffix() { ++m_nameSuffix; }

    // 52 when an item with the same id is present, 4 for a null item (nothing added).
    LMerr Add(TextItemPtr item);
    // 53 when no item has the id (out-parameter untouched).
    LMerr Get(const QUuid& id, TextItemPtr& item) const;
    // The selection is not changed.
    LMerr Remove(const QUuid& id);
    // Swap with the neighbour before / after; nothing moves at the ends.
    LMerr MoveUp(const QUuid& id);
    LMerr MoveDown(const QUuid& id);

    ConstIterator Begin() const { return m_items.cbegin(); }
    ConstIterator End() const { return m_items.cend(); }
    ConstReverseIterator RBegin() const { return m_items.crbegin(); }
    ConstReverseIterator REnd() const { return m_items.crend(); }
    unsigned int Size() const { return static_cast<unsigned int>(m_items.size()); }
    unsigned int EnabledCount() const;
    // Removes every item; selection and suffix stay.
    void Clear() { m_items.clear(); }

private:
    LMerr LoadFromXml(QDomElement& parent) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;
    void DeepCopy(const TextList& other);
    // Positions count from 0 here, as stored in the file; 58 when not in the list.
    LMerr IdToIndex(const QUuid& id, unsigned int& index) const;
    LMerr IndexToID(unsigned int index, QUuid& id) const;

    QUuid m_selected;
    unsigned int m_nameSuffix = 1;
    std::vector<TextItemPtr> m_items;
};

} // namespace lumo::app
