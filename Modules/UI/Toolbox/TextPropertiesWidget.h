#pragma once

#include "Shell/MetaTypes.h"

#include "TextItem.h"

#include <hvn/image/HXTypes.h>

#include <QUuid>
#include <QWidget>

class QButtonGroup;
class QFontComboBox;

namespace lumo::ui {

class ButtonDefault;
class ColorPickerWidget;
class ComboBox;
class Container;
class DoubleSpinDial;
class SpinSlider;
class TextEdit;

// A text's longest length in characters. A longer text is cut at the last whole character (a
// surrogate pair, or a letter with its combining marks) within it.
inline constexpr int MaximumTextLength = 1000;
QString LimitedText(const QString& text);

// The properties of the text item selected in the text panel: its text, font, decoration,
// alignment, colour, size, transparency and angle. Each change is written into the item and shown
// by its canvas item at once (text is drawn live: nothing is rendered); completed changes of the
// look are remembered in the settings (group "TextItem") and given to the next new item.
class TextPropertiesWidget : public QWidget {
    Q_OBJECT

public:
    explicit TextPropertiesWidget(QWidget* parent);
    ~TextPropertiesWidget() override;

    // Shows the item (and the panel, when show is set); initFromRegistry first gives the item the
    // stored look.
    void SetTextItem(bool show, bool initFromRegistry, const QUuid& id);
    const QUuid& TextItemId() const { return m_textId; }
    // Gives the item's canvas item the font, alignment, colour and opacity shown here.
    void ApplyToCanvas();
    // The canvas scaled or turned the item: the size and angle follow, announcing nothing.
    void SyncFromCanvas(const QUuid& id);
    // The text panel renamed an item: the title follows when it is the one shown.
    void SetTextItemName(const QUuid& id, const QString& name);
    void UpdateTitle();
    // The item shown; null when there is none or the list no longer holds it.
    app::TextItemPtr CurrentTextItem() const;
    void SaveTextDefaults() const;
    void LoadTextDefaults() const;

    Container* GetContainer() const { return m_container; }
    TextEdit* TextBox() const { return m_text; }
    QFontComboBox* FontCombo() const { return m_font; }
    ButtonDefault* BoldButton() const { return m_bold; }
    ButtonDefault* ItalicButton() const { return m_italic; }
    ButtonDefault* UnderlineButton() const { return m_underline; }
    QButtonGroup* AlignmentGroup() const { return m_alignment; }
    ColorPickerWidget* ColorPicker() const { return m_color; }
    SpinSlider* SizeControl() const { return m_size; }
    SpinSlider* TransparencyControl() const { return m_transparency; }
    DoubleSpinDial* AngleControl() const { return m_angle; }

public slots:
    void SlotUseOptionChanged(int index);
    void SlotTextStringChanged();
    void SlotUpdateFont(const QFont& font);
    void SlotSetFontDecoration(const QString& which);
    void SlotSetFontAlignment(int id, bool update = true);
    void SlotFontColorChanged();
    void SlotUpdateFontSize(int size, hvn::image::HXDownsampleFactor factor);
    void SlotUpdateOpacity(int transparency, hvn::image::HXDownsampleFactor factor);
    void SlotUpdateAngle(double angle, hvn::image::HXDownsampleFactor factor);
    void SlotResetWidgetParameters();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The item's text takes the custom option and its canvas item shows it.
    void UseCustomText(app::TextItem& item);
    // The font the controls show, at a size in points.
    QFont ShownFont(double pointSize) const;
    void ApplyFontToCanvas();

    QUuid m_textId;
    QString m_textName;
    Container* m_container = nullptr;
    ComboBox* m_useOption = nullptr;
    TextEdit* m_text = nullptr;
    QFontComboBox* m_font = nullptr;
    ButtonDefault* m_bold = nullptr;
    ButtonDefault* m_italic = nullptr;
    ButtonDefault* m_underline = nullptr;
    QButtonGroup* m_alignment = nullptr;
    ColorPickerWidget* m_color = nullptr;
    SpinSlider* m_size = nullptr;
    SpinSlider* m_transparency = nullptr;
    DoubleSpinDial* m_angle = nullptr;
};

} // namespace lumo::ui
