#include "Toolbox/BasicExportWidget.h"

#include "Controls/Buttons.h"
#include "Controls/SmallWidgets.h"
#include "Controls/TitleWidget.h"
#include "Controls/ValueControls.h"
#include "Shell/Application.h"
#include "Shell/ExportImage.h"
#include "Shell/Identity.h"
#include "Shell/LumoDocument.h"
#include "Shell/ProjectFileUse.h"
#include "Shell/Settings.h"

#include "ExportSettings.h"
#include "Project.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <limits>

namespace lumo::ui {

namespace {

const QStringList& FormatTexts()
{
    static const QStringList texts = {QStringLiteral("JPG"), QStringLiteral("PNG"), QStringLiteral("TIFF")};
    return texts;
}

app::ExportFormat FormatOf(int index)
{
    return index == 0 ? app::ExportFormatJpg : index == 1 ? app::ExportFormatPng : app::ExportFormatTiff;
}

app::ProjectPtr CurrentProject()
{
    return Application::Instance()->GetDocument()->GetProject();
}

} // namespace

QString BasicExportWidget::ExtensionOf(int index)
{
    return FormatTexts().value(index, FormatTexts().last()).toLower();
}

BasicExportWidget::BasicExportWidget(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_titleWidget = new TitleWidget(this, tr("Export"), true, true, false, false, false, false);
    m_bodyWidget = new BodyWidget(this);
    layout->addWidget(m_titleWidget);
    layout->addWidget(m_bodyWidget);

    m_formatComboBox = new ComboBox(m_bodyWidget);
    m_formatComboBox->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
    m_formatComboBox->addItems(FormatTexts());
    m_qualitySpinSlider = new SpinSlider(0, 100, 100, m_bodyWidget);
    m_exportButton = new ButtonDefault(QIcon(QStringLiteral(":/Icons/ImageExportedEnabled.png")),
                                       tr("Export", "Export the image"), m_bodyWidget);
    m_exportButton->setMinimumSize(120, 30);
    QFont font(DefaultFontFamily, 8, QFont::Bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    m_exportButton->setFont(font);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonRow->addStretch();
    buttonRow->addWidget(m_exportButton);
    buttonRow->addStretch();

    auto* grid = new QGridLayout(m_bodyWidget);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);
    grid->addWidget(new ToolboxLabel(tr("Format", "Types of image codec"), m_bodyWidget), 0, 0);
    grid->addWidget(m_formatComboBox, 0, 1);
    m_qualityLabel = new ToolboxLabel(tr("Quality", "Image codec quality"), m_bodyWidget);
    grid->addWidget(m_qualityLabel, 1, 0);
    grid->addWidget(m_qualitySpinSlider, 1, 1);
    grid->addLayout(buttonRow, 2, 0, 1, 2);

    connect(m_formatComboBox, &QComboBox::currentIndexChanged, this, &BasicExportWidget::FormatComboBoxIndexChanged);
    connect(m_qualitySpinSlider, &SpinSlider::SliderUpdate, this, [this](int quality) { UpdateQuality(quality); });
    connect(m_exportButton, &QPushButton::clicked, this, &BasicExportWidget::ExportButtonClicked);
    connect(Application::Instance(), &Application::SignalStandardQuickExportClicked, this,
            &BasicExportWidget::ExportButtonClicked);

    ReadStartValues();
}

void BasicExportWidget::ReadStartValues()
{
    ProgramSettings settings;
    settings.beginGroup(QStringLiteral("Export"));
    const auto format =
        ReadIntSetting(settings, QStringLiteral("Format"), std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    const auto quality = ReadIntSetting(settings, QStringLiteral("Quality"), 0, 100);
    settings.endGroup();

    int index = 0;
    if (!format || !quality) {
        index = 1;
    } else if (*format == app::ExportFormatJpg) {
        m_qualitySpinSlider->SetValue(*quality);
    } else if (*format == app::ExportFormatPng) {
        index = 1;
    } else if (*format == app::ExportFormatTiff) {
        index = 2;
    }
    // Applied even when the combo stays at its first entry, so the project and the quality
    // controls always agree with what the combo shows.
    {
        const QSignalBlocker blocker(m_formatComboBox);
        m_formatComboBox->setCurrentIndex(index);
    }
    FormatComboBoxIndexChanged(index);
}

void BasicExportWidget::FormatComboBoxIndexChanged(int index)
{
    m_qualityLabel->setEnabled(index == 0);
    m_qualitySpinSlider->setEnabled(index == 0);
    if (const app::ProjectPtr project = CurrentProject())
        project->GetExportSettings().SetFormat(FormatOf(index));
}

void BasicExportWidget::UpdateQuality(int quality)
{
    if (const app::ProjectPtr project = CurrentProject())
        project->GetExportSettings().SetQuality(quality);
}

void BasicExportWidget::ExportButtonClicked()
{
    Application* app = Application::Instance();
    const int index = m_formatComboBox->currentIndex();
    const QString ext = ExtensionOf(index);
    const QString filter = QStringLiteral("*.%1").arg(ext);

    const QString folder = SaveDialogFolder(ReadSetting(QStringLiteral("RecentFolders"), QStringLiteral("export")));
    const QString foregroundPath = app->CurrentForegroundPath();
    // baseName stops at the first dot: portrait.final.tif proposes portrait.png.
    const QString name =
        foregroundPath.isEmpty() ? QString() : QStringLiteral("%1.%2").arg(QFileInfo(foregroundPath).baseName(), ext);
    QString proposal = QFileInfo(QDir(folder), name).absoluteFilePath();

    QString path;
    for (;;) {
        // The dialog adds the extension to a typed name, so its own overwrite question names the
        // file that is written.
        path = app->Dialogs().SaveFileName(this, tr("Save As"), proposal, filter, ext);
        if (path.isEmpty())
            return;
        // The format's other usual spelling (a.tif, a.jpeg) is its own extension too.
        const QString other = ext == QLatin1String("tiff") ? QStringLiteral("tif")
                              : ext == QLatin1String("jpg") ? QStringLiteral("jpeg")
                                                            : QString();
        const QString suffix = QFileInfo(path).suffix().toLower();
        const bool appended = suffix != ext && (other.isEmpty() || suffix != other);
        if (appended)
            path += QLatin1Char('.') + ext;
        // A photograph or the project file of the open project is never replaced by the composite.
        if (RefuseOverwritingProjectFile(this, path)) {
            proposal = path;
            continue;
        }
        // A name with another image extension (a.png with TIFF chosen) still gets the format's own;
        // the dialog asked about the name without it, so the file really written is asked about here.
        if (appended && QFileInfo::exists(path)) {
            const auto answer = app->Dialogs().Message(
                {.parent = this,
                 .icon = QMessageBox::Warning,
                 .text = tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName()),
                 .buttons = QMessageBox::Yes | QMessageBox::No,
                 .defaultButton = QMessageBox::No,
                 .guardsData = true});
            if (answer != QMessageBox::Yes)
                return;
        }
        break;
    }
    WriteSetting(QStringLiteral("RecentFolders"), QStringLiteral("export"), QFileInfo(path).absolutePath());

    // The quality applies to JPEG only: PNG and TIFF take the writer's default (a PNG quality of
    // 100 would mean no compression at all).
    const int quality = index == 0 ? m_qualitySpinSlider->GetSlider()->value() : -1;
    if (ExportCurrentForeground(path, ext, quality)) {
        app->Dialogs().Message({.parent = this, .icon = QMessageBox::Information, .text = tr("Finished exporting.\t")});
    } else {
        // The file is written through a temporary one: a failure leaves any earlier file untouched.
        app->Dialogs().Message({.parent = this,
                                .icon = QMessageBox::Warning,
                                .text = tr("The following image could not be saved:\n\n%1").arg(path)});
    }
}

} // namespace lumo::ui
