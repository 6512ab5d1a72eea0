#include "Shell/StoredProjectDefaults.h"

#include "Shell/Limits.h"
#include "Shell/Settings.h"

#include <optional>

namespace lumo::ui {

namespace {

// The highest resolution a stored canvas may have, in dots per inch.
constexpr int kMaximumDpi = 10'000;

bool IsCanvasSize(int width, int height)
{
    return static_cast<qint64>(width) * height <= MaximumCanvasPixels;
}

void ApplyExportDefaults(ProgramSettings& settings, app::ExportSettings& exportSettings)
{
    settings.beginGroup(QStringLiteral("Export"));
    const auto format = ReadIntSetting(settings, QStringLiteral("Format"), app::ExportFormatTiff, app::ExportFormatJpg);
    const auto quality = ReadIntSetting(settings, QStringLiteral("Quality"), 0, 100);
    settings.endGroup();
    if (!format || !quality)
        return;
    exportSettings.SetFormat(static_cast<app::ExportFormat>(*format));
    exportSettings.SetQuality(*quality);
}

void ApplyCanvasDefaults(ProgramSettings& settings, app::Canvas& canvas)
{
    constexpr int kMaximumSide = static_cast<int>(MaximumCanvasPixels);
    settings.beginGroup(QStringLiteral("Canvas"));
    const auto actualWidth = ReadIntSetting(settings, QStringLiteral("ActualWidth"), 1, kMaximumSide);
    const auto actualHeight = ReadIntSetting(settings, QStringLiteral("ActualHeight"), 1, kMaximumSide);
    const auto width = ReadIntSetting(settings, QStringLiteral("Width"), 1, kMaximumSide);
    const auto height = ReadIntSetting(settings, QStringLiteral("Height"), 1, kMaximumSide);
    const auto orientation = ReadIntSetting(settings, QStringLiteral("Orientation"), app::CanvasOrientationLandscape,
                                     app::CanvasOrientationPortrait);
    const auto dpi = ReadIntSetting(settings, QStringLiteral("DPI"), 1, kMaximumDpi);
    const auto printAsCard = ReadBoolSetting(settings, QStringLiteral("PrintAsCard"));
    settings.endGroup();
    if (!actualWidth || !actualHeight || !width || !height || !orientation || !dpi || !printAsCard)
        return;
    if (!IsCanvasSize(*actualWidth, *actualHeight) || !IsCanvasSize(*width, *height))
        return;
    canvas.SetActualDimensions(static_cast<unsigned int>(*actualWidth), static_cast<unsigned int>(*actualHeight));
    canvas.SetDimensions(static_cast<unsigned int>(*width), static_cast<unsigned int>(*height));
    canvas.SetOrientation(static_cast<app::CanvasOrientation>(*orientation));
    canvas.SetDPI(*dpi);
    canvas.SetPrintAsCard(*printAsCard);
}

} // namespace

void ApplyStoredDefaults(app::Project& project)
{
    ProgramSettings settings;
    ApplyExportDefaults(settings, project.GetExportSettings());
    ApplyCanvasDefaults(settings, project.GetCanvas());
}

} // namespace lumo::ui
