#pragma once

// The body of the export section: the image format (JPG, PNG or TIFF), the JPEG quality and the
// button that writes the current foreground's composed picture to a file. The quick-export
// command of the menu and the canvas bar runs the same export.

#include <QWidget>

class QLabel;

namespace lumo::ui {

class BodyWidget;
class ButtonDefault;
class ComboBox;
class SpinSlider;
class TitleWidget;

class BasicExportWidget : public QWidget {
    Q_OBJECT

public:
    explicit BasicExportWidget(QWidget* parent);

    ComboBox* FormatComboBox() const { return m_formatComboBox; }
    SpinSlider* QualitySpinSlider() const { return m_qualitySpinSlider; }
    QLabel* QualityLabel() const { return m_qualityLabel; }
    ButtonDefault* ExportButton() const { return m_exportButton; }

    // The extension of a combo index in lower case: "jpg", "png", anything else "tiff".
    static QString ExtensionOf(int index);

public slots:
    void FormatComboBoxIndexChanged(int index);
    void UpdateQuality(int quality);
    void ExportButtonClicked();

private:
    void ReadStartValues();

    TitleWidget* m_titleWidget;
    BodyWidget* m_bodyWidget;
    ComboBox* m_formatComboBox;
    QLabel* m_qualityLabel;
    SpinSlider* m_qualitySpinSlider;
    ButtonDefault* m_exportButton;
};

} // namespace lumo::ui
