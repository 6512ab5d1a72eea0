#pragma once

// The body of the canvas-size section: the printed sheet of the project from a print size and a
// resolution, from the background or foreground photograph, or typed in pixels; its orientation,
// the greeting card and the canvas colour. Every change is written to the canvas at once, mirrored
// into the application's printer and announced with SignalFocusCanvas (colour changes re-render
// the canvas instead).

#include "Toolbox/CanvasOptions.h"

#include <QColor>
#include <QUuid>
#include <QWidget>

class QLineEdit;

namespace lumo::ui {

class ButtonDefault;
class CheckBox;
class ColorPickerWidget;
class ComboBox;
class Container;

class CanvasSizeWidget : public QWidget {
    Q_OBJECT

public:
    // Reads the presets (throws std::runtime_error when canvas.xml cannot be read).
    explicit CanvasSizeWidget(QWidget* parent);

    // A project was opened or reset: the controls show its canvas.
    void UpdateFromModel();
    // An image was added or replaced: a canvas following it takes its size.
    void UpdateLayerDimensions(const QUuid& layerId);
    // The greeting-card flag was changed elsewhere.
    void UpdateGreetingsCardState();

    // The size entries: 0 "Custom", 1 "As foreground", 2 "As background", then the presets.
    static constexpr int FirstPresetEntry = 3;

    const CanvasOptions& Options() const { return m_options; }
    ComboBox* SizeComboBox() const { return m_sizeComboBox; }
    ComboBox* ResolutionComboBox() const { return m_resolutionComboBox; }
    ButtonDefault* PortraitButton() const { return m_portraitButton; }
    ButtonDefault* LandscapeButton() const { return m_landscapeButton; }
    QLineEdit* WidthEdit() const { return m_widthEdit; }
    QLineEdit* HeightEdit() const { return m_heightEdit; }
    CheckBox* GreetingCardCheck() const { return m_greetingCardCheck; }
    CheckBox* UseColorCheck() const { return m_useColorCheck; }
    ColorPickerWidget* ColorPicker() const { return m_colorPicker; }
    Container* SettingsContainer() const { return m_settingsContainer; }
    Container* ColorContainer() const { return m_colorContainer; }
    ButtonDefault* ResetButton() const { return m_resetButton; }

signals:
    void SignalFocusCanvas();

public slots:
    void SlotUpdateSize(int idx, bool update = true);
    void SlotUpdateOrientation(bool update = true);
    void SlotUpdateResolution(int idx, bool update = true);
    void SlotCustomSizeChanged(bool update = true);
    void SlotUpdateGreetingsCard(bool update = true);
    void SlotUpdateUseColor(bool update = true);
    void SlotCanvasColorChanged();
    void SlotResetCanvasSettings(bool update = true);
    void SlotResetCanvasColor(bool update = true);
    void SlotResetCanvasSection();

private:
    void CreateWidgets();
    void LayOut();
    void Connect();

    // Sets the sheet when it has sides of at least 1 and at most MaximumCanvasPixels pixels;
    // otherwise warns and changes nothing.
    bool CheckCanvasSize(qint64 width, qint64 height);
    void ApplyCanvasColor(const QColor& colour, bool update);
    // The printer page size of the chosen preset (A4, A5, US Letter, else custom) into the canvas.
    void UpdatePrinterPageSize();
    // The canvas's page size onto the printer, unless it is custom.
    void ApplyPageSizeToPrinter();
    // Follows a photograph: its size and resolution, or without one the default sheet at 300 dpi.
    // False when its size was refused.
    bool FollowPhotograph(const QSize& dimensions, int dpi, bool present);
    // The preset's sheet at a resolution in the current orientation.
    QSize PresetPixels(const CanvasSizePreset& preset, int resolution, bool portrait) const;
    int ResolutionOfEntry(int idx) const;
    // Every resolution entry shows its own number again (a followed photograph shows its own).
    void RestoreResolutionTexts();
    void ShowPhotographResolution(int dpi);
    void SetFollowingControls(bool following, bool custom);

    CanvasOptions m_options;
    int m_lastResolutionIndex = 0;
    int m_lastSizeIndex = 0;
    ComboBox* m_sizeComboBox = nullptr;
    ButtonDefault* m_portraitButton = nullptr;
    ButtonDefault* m_landscapeButton = nullptr;
    ComboBox* m_resolutionComboBox = nullptr;
    QLineEdit* m_widthEdit = nullptr;
    QLineEdit* m_heightEdit = nullptr;
    CheckBox* m_greetingCardCheck = nullptr;
    Container* m_settingsContainer = nullptr;
    CheckBox* m_useColorCheck = nullptr;
    ColorPickerWidget* m_colorPicker = nullptr;
    Container* m_colorContainer = nullptr;
    ButtonDefault* m_resetButton = nullptr;
};

} // namespace lumo::ui
