#include "Toolbox/CanvasSizeWidget.h"

#include "Controls/Buttons.h"
#include "Controls/ColorPickerWidget.h"
#include "Controls/Container.h"
#include "Controls/SmallWidgets.h"
#include "Shell/Application.h"
#include "Shell/InterfaceConstants.h"
#include "Shell/Limits.h"
#include "Shell/LumoDocument.h"

#include "Canvas.h"
#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "Project.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace lumo::ui {

namespace {

// The sheet used when the followed photograph is missing: 4 x 6 inches at 300 dpi.
constexpr int DefaultCanvasWidth = 1200;
constexpr int DefaultCanvasHeight = 1800;
constexpr int FallbackResolution = 300;
constexpr int MaximumSide = 6500;

app::ProjectPtr CurrentProject()
{
    return Application::Instance()->GetDocument()->GetProject();
}

void ChangePrinterResolution(int dpi)
{
    Application::Instance()->ChangePrinter(Application::PrinterSetting::Resolution,
                                           [dpi](QPrinter& printer) { printer.setResolution(dpi); });
}

void ChangePrinterPageSize(QPageSize::PageSizeId id)
{
    Application::Instance()->ChangePrinter(Application::PrinterSetting::PageSize,
                                           [id](QPrinter& printer) { printer.setPageSize(QPageSize(id)); });
}

void ChangePrinterOrientation(bool portrait)
{
    Application::Instance()->ChangePrinter(Application::PrinterSetting::PageOrientation, [portrait](QPrinter& printer) {
        printer.setPageOrientation(portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
    });
}

QString DpiText(qint64 dpi)
{
    return QStringLiteral("%1 %2").arg(dpi).arg(CanvasSizeWidget::tr("dpi"));
}

} // namespace

CanvasSizeWidget::CanvasSizeWidget(QWidget* parent)
    : QWidget(parent)
{
    CreateWidgets();
    LayOut();
    Connect();
}

void CanvasSizeWidget::CreateWidgets()
{
    m_sizeComboBox = new ComboBox(this);
    m_portraitButton = new ButtonDefault(QIcon(QStringLiteral(":Icons/Portrait.png")), QString(), this);
    m_portraitButton->setToolTip(tr("Portrait"));
    m_landscapeButton = new ButtonDefault(QIcon(QStringLiteral(":Icons/Landscape.png")), QString(), this);
    m_landscapeButton->setToolTip(tr("Landscape"));
    for (ButtonDefault* button : {m_portraitButton, m_landscapeButton}) {
        button->setCheckable(true);
        button->setAutoExclusive(true);
        button->setFixedWidth(38);
    }
    m_portraitButton->setChecked(true);
    m_resolutionComboBox = new ComboBox(this);
    m_widthEdit = new QLineEdit(this);
    m_heightEdit = new QLineEdit(this);
    for (QLineEdit* edit : {m_widthEdit, m_heightEdit}) {
        edit->setFixedHeight(25);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        edit->setValidator(new QIntValidator(1, MaximumSide, edit));
    }
    m_greetingCardCheck = new CheckBox(tr("Make Greeting Card"), this);
    m_settingsContainer = new Container(tr("Canvas Settings"), ContainerFeatureReset, this);
    m_useColorCheck = new CheckBox(tr("Use Color"), this);
    m_colorPicker = new ColorPickerWidget(DefaultCanvasColor, this);
    m_colorContainer = new Container(tr("Canvas Color"), ContainerFeatureReset, this);
    m_resetButton = new ButtonDefault(QIcon(QStringLiteral(":/Icons/Reset.png")), tr("Reset"), this);

    m_options.Load();

    m_sizeComboBox->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
    m_sizeComboBox->addItems({tr("Custom"), tr("As foreground"), tr("As background")});
    for (const CanvasSizePreset& preset : m_options.Sizes()) {
        m_sizeComboBox->addItem(!preset.description.isEmpty()
                                    ? preset.description
                                    : QStringLiteral("%1 x %2 %3")
                                          .arg(QString::number(preset.width, 'g'), QString::number(preset.height, 'g'),
                                               tr("inch")));
    }
    m_sizeComboBox->setMaxVisibleItems(FirstPresetEntry + int(m_options.Sizes().size()));
    m_resolutionComboBox->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
    for (int resolution : m_options.Resolutions())
        m_resolutionComboBox->addItem(DpiText(resolution));
}

void CanvasSizeWidget::LayOut()
{
    auto* grid = new QGridLayout(m_settingsContainer->Body());
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);
    QWidget* body = m_settingsContainer->Body();
    grid->addWidget(new ToolboxLabel(tr("Preset"), body), 0, 0);
    grid->addWidget(m_sizeComboBox, 0, 1);
    auto* orientationRow = new QHBoxLayout;
    orientationRow->setContentsMargins(0, 0, 0, 0);
    orientationRow->setSpacing(10);
    orientationRow->addWidget(m_portraitButton);
    orientationRow->addWidget(m_landscapeButton);
    orientationRow->addStretch();
    grid->addLayout(orientationRow, 1, 1);
    grid->addWidget(new ToolboxLabel(tr("Resolution"), body), 2, 0);
    grid->addWidget(m_resolutionComboBox, 2, 1);
    grid->addWidget(new ToolboxLabel(tr("Width"), body), 3, 0);
    grid->addWidget(m_widthEdit, 3, 1);
    grid->addWidget(new ToolboxLabel(tr("Height"), body), 4, 0);
    grid->addWidget(m_heightEdit, 4, 1);
    grid->addWidget(m_greetingCardCheck, 5, 0, 1, 2, Qt::AlignLeft);

    auto* colorRow = new QHBoxLayout(m_colorContainer->Body());
    colorRow->setContentsMargins(10, 10, 10, 10);
    colorRow->setSpacing(0);
    colorRow->addWidget(m_useColorCheck);
    colorRow->addWidget(m_colorPicker);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(10);
    layout->addWidget(m_settingsContainer);
    layout->addWidget(m_colorContainer);
    layout->addWidget(m_resetButton, 0, Qt::AlignRight);
    layout->addStretch();
}

void CanvasSizeWidget::Connect()
{
    connect(m_sizeComboBox, &QComboBox::currentIndexChanged, this, [this](int idx) { SlotUpdateSize(idx); });
    connect(m_portraitButton, &QPushButton::clicked, this, [this] { SlotUpdateOrientation(); });
    connect(m_landscapeButton, &QPushButton::clicked, this, [this] { SlotUpdateOrientation(); });
    connect(m_resolutionComboBox, &QComboBox::currentIndexChanged, this,
            [this](int idx) { SlotUpdateResolution(idx); });
    connect(m_widthEdit, &QLineEdit::editingFinished, this, [this] { SlotCustomSizeChanged(); });
    connect(m_heightEdit, &QLineEdit::editingFinished, this, [this] { SlotCustomSizeChanged(); });
    connect(m_greetingCardCheck, &QCheckBox::clicked, this, [this] { SlotUpdateGreetingsCard(); });
    connect(m_settingsContainer, &Container::SignalReset, this, [this] { SlotResetCanvasSettings(); });
    connect(m_useColorCheck, &QCheckBox::clicked, this, [this] { SlotUpdateUseColor(); });
    connect(m_colorPicker, &ColorPickerWidget::ColorChanged, this, &CanvasSizeWidget::SlotCanvasColorChanged);
    connect(m_colorContainer, &Container::SignalReset, this, [this] { SlotResetCanvasColor(); });
    connect(m_resetButton, &QPushButton::clicked, this, &CanvasSizeWidget::SlotResetCanvasSection);
}

bool CanvasSizeWidget::CheckCanvasSize(qint64 width, qint64 height)
{
    // Each side is bounded before the product, so the product cannot overflow either.
    const bool sound = width >= 1 && height >= 1 && width <= MaximumCanvasPixels && height <= MaximumCanvasPixels &&
                       width * height <= MaximumCanvasPixels;
    if (!sound) {
        Application::Instance()->Dialogs().Message(
            {.parent = this,
             .icon = QMessageBox::Warning,
             .text = tr("This is an invalid canvas size. Please select a different one.")});
        return false;
    }
    Application::Instance()->SetCanvasDimensions(int(width), int(height));
    m_widthEdit->setText(QString::number(width));
    m_heightEdit->setText(QString::number(height));
    return true;
}

int CanvasSizeWidget::ResolutionOfEntry(int idx) const
{
    return m_options.Resolutions().value(idx, FallbackResolution);
}

QSize CanvasSizeWidget::PresetPixels(const CanvasSizePreset& preset, int resolution, bool portrait) const
{
    // The resolution as a float times the inches, rounded: A4 at 300 dpi is 2480 x 3508.
    const auto pixels = [resolution](float inches) {
        const double value = double(float(resolution)) * double(inches);
        return std::isfinite(value) ? qint64(std::llround(std::clamp(value, -1e12, 1e12))) : qint64(0);
    };
    const qint64 a = pixels(preset.width);
    const qint64 b = pixels(preset.height);
    const qint64 small = std::min(a, b);
    const qint64 large = std::max(a, b);
    // Sides beyond int are refused anyway; clamped so the size check sees them as too large.
    const auto side = [](qint64 v) { return int(std::clamp<qint64>(v, -1, MaximumCanvasPixels + 1)); };
    return portrait ? QSize(side(small), side(large)) : QSize(side(large), side(small));
}

void CanvasSizeWidget::RestoreResolutionTexts()
{
    for (int i = 0; i < m_resolutionComboBox->count(); ++i)
        m_resolutionComboBox->setItemText(i, DpiText(ResolutionOfEntry(i)));
}

void CanvasSizeWidget::ShowPhotographResolution(int dpi)
{
    RestoreResolutionTexts();
    if (m_resolutionComboBox->currentIndex() >= 0)
        m_resolutionComboBox->setItemText(m_resolutionComboBox->currentIndex(), DpiText(dpi));
    if (dpi > 0)
        ChangePrinterResolution(dpi);
}

void CanvasSizeWidget::SetFollowingControls(bool following, bool custom)
{
    m_portraitButton->setEnabled(!following);
    m_landscapeButton->setEnabled(!following);
    m_resolutionComboBox->setEnabled(!following);
    m_widthEdit->setEnabled(custom);
    m_heightEdit->setEnabled(custom);
    m_greetingCardCheck->setEnabled(!following);
    if (following) {
        // The sheet is the photograph's: a folded card would cut it.
        if (const app::ProjectPtr project = CurrentProject())
            project->GetCanvas().SetPrintAsCard(false);
        m_greetingCardCheck->setChecked(false);
    }
}

bool CanvasSizeWidget::FollowPhotograph(const QSize& dimensions, int dpi, bool present)
{
    if (present) {
        if (!CheckCanvasSize(dimensions.width(), dimensions.height()))
            return false;
        ShowPhotographResolution(dpi);
        return true;
    }
    if (!CheckCanvasSize(DefaultCanvasWidth, DefaultCanvasHeight))
        return false;
    if (const int idx = int(m_options.Resolutions().indexOf(FallbackResolution)); idx >= 0) {
        {
            const QSignalBlocker blocker(m_resolutionComboBox);
            m_resolutionComboBox->setCurrentIndex(idx);
        }
        SlotUpdateResolution(idx, false);
    }
    return true;
}

void CanvasSizeWidget::SlotUpdateSize(int idx, bool update)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project || idx < 0)
        return;
    app::Canvas& canvas = project->GetCanvas();
    const app::LayerManagerPtr layers = project->GetLayerManager();
    const int resolution = ResolutionOfEntry(m_resolutionComboBox->currentIndex());
    const auto refuse = [this] { m_sizeComboBox->setCurrentIndex(m_lastSizeIndex); };

    if (idx == 0) {
        canvas.SetDimensionType(app::CanvasDimensionCustom);
        RestoreResolutionTexts();
        (canvas.ActualHeight() < canvas.ActualWidth() ? m_landscapeButton : m_portraitButton)->setChecked(true);
        SlotUpdateOrientation(false);
        SetFollowingControls(false, true);
    } else if (idx == 1 || idx == 2) {
        canvas.SetDimensionType(idx == 1 ? app::CanvasDimensionForeground : app::CanvasDimensionBackground);
        app::ImageLayerPtr layer;
        if (idx == 1 && !layers->CurrentForegroundId().isNull())
            layer = layers->GetForeground(layers->CurrentForegroundId());
        else if (idx == 2)
            layer = layers->GetBackground();
        const bool present = layer && (idx == 1 || layer->IsValid());
        // The card flag goes before the size, so the sheet is not laid out as a card.
        const bool card = canvas.PrintAsCard();
        canvas.SetPrintAsCard(false);
        if (!FollowPhotograph(present ? layer->Dimensions() : QSize(), present ? int(layer->DpiX()) : 0, present)) {
            canvas.SetPrintAsCard(card);
            refuse();
            return;
        }
        SetFollowingControls(true, false);
    } else {
        const int preset = idx - FirstPresetEntry;
        if (preset >= m_options.Sizes().size())
            return;
        canvas.SetDimensionType(app::CanvasDimensionPreset);
        const QSize pixels = PresetPixels(m_options.Sizes()[preset], resolution, m_portraitButton->isChecked());
        if (!CheckCanvasSize(pixels.width(), pixels.height())) {
            refuse();
            return;
        }
        SetFollowingControls(false, false);
        RestoreResolutionTexts();
    }
    m_lastSizeIndex = idx;
    UpdatePrinterPageSize();
    ApplyPageSizeToPrinter();
    if (update)
        emit SignalFocusCanvas();
}

void CanvasSizeWidget::UpdatePrinterPageSize()
{
    const int idx = m_sizeComboBox->currentIndex();
    if (idx < FirstPresetEntry)
        return;
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const QString description = m_options.Sizes().value(idx - FirstPresetEntry).description;
    app::PageSize size = app::PageSizeCustom;
    if (description == QLatin1String("A4"))
        size = app::PageSizeA4;
    else if (description == QLatin1String("A5"))
        size = app::PageSizeA5;
    else if (description == QLatin1String("US Letter"))
        size = app::PageSizeLetter;
    project->GetCanvas().SetPrinterPageSize(size);
}

void CanvasSizeWidget::ApplyPageSizeToPrinter()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project || project->GetCanvas().PrinterPageSize() == app::PageSizeCustom)
        return;
    const QPageSize::PageSizeId id = app::ToQPageSizeId(project->GetCanvas().PrinterPageSize());
    if (id != QPageSize::Custom)
        ChangePrinterPageSize(id);
}

void CanvasSizeWidget::SlotUpdateOrientation(bool update)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    app::Canvas& canvas = project->GetCanvas();
    const qint64 small = std::min(canvas.ActualWidth(), canvas.ActualHeight());
    const qint64 large = std::max(canvas.ActualWidth(), canvas.ActualHeight());
    const bool portrait = m_portraitButton->isChecked();
    const app::CanvasOrientation before = canvas.Orientation();
    canvas.SetOrientation(portrait ? app::CanvasOrientationPortrait : app::CanvasOrientationLandscape);
    if (!(portrait ? CheckCanvasSize(small, large) : CheckCanvasSize(large, small))) {
        canvas.SetOrientation(before);
        (before == app::CanvasOrientationPortrait ? m_portraitButton : m_landscapeButton)->setChecked(true);
        return;
    }
    ChangePrinterOrientation(portrait);
    if (update)
        emit SignalFocusCanvas();
}

void CanvasSizeWidget::SlotUpdateResolution(int idx, bool update)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project || idx < 0 || idx >= m_options.Resolutions().size())
        return;
    app::Canvas& canvas = project->GetCanvas();
    const int resolution = ResolutionOfEntry(idx);
    if (resolution < 1) {
        m_resolutionComboBox->setCurrentIndex(m_lastResolutionIndex);
        return;
    }
    if (canvas.DimensionType() == app::CanvasDimensionPreset) {
        // Real inches: an A4 sheet is 8.27 inches wide, not 8.
        const double dpi = canvas.DPI() > 0 ? double(canvas.DPI()) : 1.0;
        const double width = double(resolution) * (canvas.ActualWidth() / dpi);
        const double height = double(resolution) * (canvas.ActualHeight() / dpi);
        const auto side = [](double v) { return v < 1e12 ? qint64(std::llround(v)) : qint64(1e12); };
        if (!CheckCanvasSize(side(width), side(height))) {
            m_resolutionComboBox->setCurrentIndex(m_lastResolutionIndex);
            return;
        }
    }
    m_lastResolutionIndex = idx;
    canvas.SetDPI(resolution);
    ChangePrinterResolution(resolution);
    if (update && canvas.DimensionType() == app::CanvasDimensionPreset)
        emit SignalFocusCanvas();
}

void CanvasSizeWidget::SlotCustomSizeChanged(bool update)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const app::Canvas& canvas = project->GetCanvas();
    bool widthRead = false;
    bool heightRead = false;
    const uint width = m_widthEdit->text().toUInt(&widthRead, 10);
    const uint height = m_heightEdit->text().toUInt(&heightRead, 10);
    if (!widthRead || !heightRead)
        return;
    if ((width != canvas.ActualWidth() || height != canvas.ActualHeight()) && CheckCanvasSize(width, height)) {
        if (update)
            emit SignalFocusCanvas();
        if (auto* edit = qobject_cast<QLineEdit*>(sender()))
            edit->clearFocus();
    }
}

void CanvasSizeWidget::SlotUpdateGreetingsCard(bool update)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    app::Canvas& canvas = project->GetCanvas();
    canvas.SetPrintAsCard(m_greetingCardCheck->isChecked());
    if (CheckCanvasSize(canvas.ActualWidth(), canvas.ActualHeight()) && update)
        emit SignalFocusCanvas();
}

void CanvasSizeWidget::SlotUpdateUseColor(bool update)
{
    if (const app::ProjectPtr project = CurrentProject())
        project->GetCanvas().SetUseCanvasColor(m_useColorCheck->isChecked());
    if (update)
        emit Application::Instance()->SignalCanvasRefreshRequested(hvn::image::HXDownsampleFactor0);
}

void CanvasSizeWidget::SlotCanvasColorChanged()
{
    ApplyCanvasColor(m_colorPicker->Color(), true);
}

void CanvasSizeWidget::ApplyCanvasColor(const QColor& colour, bool update)
{
    if (const app::ProjectPtr project = CurrentProject())
        project->GetCanvas().SetCanvasColor(colour);
    if (update)
        emit Application::Instance()->SignalCanvasRefreshRequested(hvn::image::HXDownsampleFactor0);
}

void CanvasSizeWidget::SlotResetCanvasSettings(bool update)
{
    const int size = m_sizeComboBox->findText(QStringLiteral("4 x 6 %1").arg(tr("inch")), Qt::MatchFixedString);
    if (size >= 0) {
        {
            const QSignalBlocker blocker(m_sizeComboBox);
            m_sizeComboBox->setCurrentIndex(size);
        }
        SlotUpdateSize(size, false);
    }
    m_portraitButton->setChecked(true);
    SlotUpdateOrientation(false);
    if (const int resolution = int(m_options.Resolutions().indexOf(FallbackResolution)); resolution >= 0) {
        {
            const QSignalBlocker blocker(m_resolutionComboBox);
            m_resolutionComboBox->setCurrentIndex(resolution);
        }
        SlotUpdateResolution(resolution, false);
    }
    {
        const QSignalBlocker blocker(m_greetingCardCheck);
        m_greetingCardCheck->setChecked(false);
    }
    SlotUpdateGreetingsCard(false);
    if (update)
        emit SignalFocusCanvas();
}

void CanvasSizeWidget::SlotResetCanvasColor(bool update)
{
    {
        const QSignalBlocker blocker(m_useColorCheck);
        m_useColorCheck->setChecked(false);
    }
    SlotUpdateUseColor(false);
    {
        const QSignalBlocker blocker(m_colorPicker);
        m_colorPicker->SetColor(DefaultCanvasColor);
    }
    ApplyCanvasColor(DefaultCanvasColor, false);
    if (update)
        emit Application::Instance()->SignalCanvasRefreshRequested(hvn::image::HXDownsampleFactor0);
}

void CanvasSizeWidget::SlotResetCanvasSection()
{
    SlotResetCanvasSettings(false);
    SlotResetCanvasColor(false);
    emit SignalFocusCanvas();
}

void CanvasSizeWidget::UpdateFromModel()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const app::Canvas& canvas = project->GetCanvas();
    const app::LayerManagerPtr layers = project->GetLayerManager();
    const auto select = [](ComboBox* combo, int idx) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(idx);
    };
    const int dpiEntry = int(m_options.Resolutions().indexOf(canvas.DPI()));
    const auto selectDpiEntry = [&] {
        RestoreResolutionTexts();
        if (dpiEntry >= 0) {
            select(m_resolutionComboBox, dpiEntry);
            m_lastResolutionIndex = dpiEntry;
        }
    };
    switch (canvas.DimensionType()) {
    case app::CanvasDimensionPreset: {
        // A stored preset is the one giving the same sides at the canvas's resolution, whichever
        // way the sheet lies.
        const QSize sheet(std::min(canvas.ActualWidth(), canvas.ActualHeight()),
                          std::max(canvas.ActualWidth(), canvas.ActualHeight()));
        for (int i = 0; i < m_options.Sizes().size(); ++i) {
            if (PresetPixels(m_options.Sizes()[i], canvas.DPI(), true) == sheet) {
                select(m_sizeComboBox, FirstPresetEntry + i);
                m_lastSizeIndex = FirstPresetEntry + i;
                break;
            }
        }
        selectDpiEntry();
        if (canvas.DPI() > 0)
            ChangePrinterResolution(canvas.DPI());
        SetFollowingControls(false, false);
        break;
    }
    case app::CanvasDimensionBackground:
    case app::CanvasDimensionForeground: {
        const bool background = canvas.DimensionType() == app::CanvasDimensionBackground;
        select(m_sizeComboBox, background ? 2 : 1);
        m_lastSizeIndex = background ? 2 : 1;
        selectDpiEntry();
        app::ImageLayerPtr layer;
        if (background)
            layer = layers->GetBackground();
        else if (!layers->CurrentForegroundId().isNull())
            layer = layers->GetForeground(layers->CurrentForegroundId());
        if (layer && (!background || layer->IsValid()))
            ShowPhotographResolution(int(layer->DpiX()));
        SetFollowingControls(true, false);
        break;
    }
    case app::CanvasDimensionCustom:
        select(m_sizeComboBox, 0);
        m_lastSizeIndex = 0;
        selectDpiEntry();
        if (canvas.DPI() > 0)
            ChangePrinterResolution(canvas.DPI());
        SetFollowingControls(false, true);
        break;
    default:
        return;
    }
    const bool portrait = canvas.Orientation() == app::CanvasOrientationPortrait;
    (portrait ? m_portraitButton : m_landscapeButton)->setChecked(true);
    ChangePrinterOrientation(portrait);
    m_widthEdit->setText(QString::number(canvas.ActualWidth()));
    m_heightEdit->setText(QString::number(canvas.ActualHeight()));
    m_greetingCardCheck->setChecked(canvas.PrintAsCard());
    m_useColorCheck->setChecked(canvas.UseCanvasColor());
    {
        const QSignalBlocker blocker(m_colorPicker);
        m_colorPicker->SetColor(canvas.CanvasColor());
    }
    UpdatePrinterPageSize();
    ApplyPageSizeToPrinter();
}

void CanvasSizeWidget::UpdateLayerDimensions(const QUuid& layerId)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const app::Canvas& canvas = project->GetCanvas();
    const app::LayerManagerPtr layers = project->GetLayerManager();
    app::ImageLayerPtr layer;
    if (canvas.DimensionType() == app::CanvasDimensionBackground) {
        const app::ImageLayerPtr changed = layers->GetLayer(layerId);
        if (!changed || changed->Type() != app::LayerTypeBackground)
            return;
        if (changed->IsValid())
            layer = changed;
    } else if (canvas.DimensionType() == app::CanvasDimensionForeground) {
        if (layerId != layers->LayerList()->StaticForegroundId())
            return;
        if (!layers->CurrentForegroundId().isNull())
            layer = layers->GetForeground(layers->CurrentForegroundId());
    } else {
        return;
    }
    if (!FollowPhotograph(layer ? layer->Dimensions() : QSize(), layer ? int(layer->DpiX()) : 0, bool(layer))) {
        m_sizeComboBox->setCurrentIndex(m_lastSizeIndex);
        return;
    }
    emit SignalFocusCanvas();
}

void CanvasSizeWidget::UpdateGreetingsCardState()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const app::Canvas& canvas = project->GetCanvas();
    if (canvas.DimensionType() == app::CanvasDimensionBackground ||
        canvas.DimensionType() == app::CanvasDimensionForeground)
        return;
    m_greetingCardCheck->setChecked(canvas.PrintAsCard());
    if (CheckCanvasSize(canvas.ActualWidth(), canvas.ActualHeight()))
        emit SignalFocusCanvas();
}

} // namespace lumo::ui
