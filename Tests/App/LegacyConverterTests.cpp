// Projects of the previous generation (fileFormat 2.0) open through the project loader, which
// converts them through a temporary 4.0 file.

#include "CompositeItems.h"
#include "FilterItems.h"
#include "ItemLists.h"
#include "KeyItems.h"
#include "LegacyProjectConverter.h"
#include "Mask.h"
#include "TextItem.h"
#include "TransformItems.h"

#include "ProjectTestUtils.h"

#include <QDir>
#include <QRegularExpression>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace lumo::test {
namespace {

using namespace app;
using namespace hvn::image;

QString LegacyData(const QString& name)
{
    QString root = qEnvironmentVariable("LUMORA_TEST_DATA");
    if (root.isEmpty())
        root = QStringLiteral(LUMORA_SOURCE_TEST_DATA);
    return root + QStringLiteral("/legacy/") + name;
}

// Each test gets a temporary folder of its own, so that whatever the conversion leaves there can
// be seen; the environment and working directory are put back afterwards.
class LegacyConverterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedCurrent = QDir::currentPath();
        m_hadTmpDir = qEnvironmentVariableIsSet("TMPDIR");
        m_savedTmpDir = qgetenv("TMPDIR");
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(QDir(m_root.path()).mkdir(QStringLiteral("tmp")));
        m_temp = QDir(m_root.filePath(QStringLiteral("tmp"))).canonicalPath();
        qputenv("TMPDIR", QFile::encodeName(m_temp));
        ASSERT_EQ(QDir::tempPath(), m_temp);
    }

    void TearDown() override
    {
        if (m_hadTmpDir)
            qputenv("TMPDIR", m_savedTmpDir);
        else
            qunsetenv("TMPDIR");
        QDir::setCurrent(m_savedCurrent);
    }

    QStringList TemporaryFiles() const
    {
        return QDir(m_temp).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    // Opens an old file through the loader; whatever the result, the old file keeps its bytes and
    // no temporary file is left.
    std::unique_ptr<Project> OpenLegacy(const QString& path, LMerr expected)
    {
        const QByteArray before = ReadBytes(path);
        EXPECT_FALSE(before.isEmpty()) << path.toStdString();
        LMerr result = LMerrSuccess;
        auto project = std::make_unique<Project>(path, result);
        EXPECT_EQ(result, expected) << path.toStdString();
        EXPECT_EQ(ReadBytes(path), before) << "the old file changed";
        EXPECT_TRUE(TemporaryFiles().isEmpty()) << TemporaryFiles().join(QStringLiteral(", ")).toStdString();
        return project;
    }

    // A copy of the complete fixture with one piece of text replaced, outside the temporary folder.
    QString DamagedCopy(const QString& from, const QString& to)
    {
        QString text = QString::fromUtf8(ReadBytes(LegacyData(QStringLiteral("complete.lumo"))));
        EXPECT_TRUE(text.contains(from)) << from.toStdString();
        text.replace(from, to);
        const QString path = m_root.filePath(QStringLiteral("damaged.lumo"));
        EXPECT_TRUE(WriteBytes(path, text.toUtf8()));
        return path;
    }

    QTemporaryDir m_root;
    QString m_temp;

private:
    QString m_savedCurrent;
    bool m_hadTmpDir = false;
    QByteArray m_savedTmpDir;
};

TEST_F(LegacyConverterTest, CompleteProjectTakesProjectCanvasAndExportValues)
{
    const auto project = OpenLegacy(LegacyData(QStringLiteral("complete.lumo")), LMerrSuccess);

    EXPECT_EQ(project->FileFormat(), 4);
    // Forced, whatever the old file held.
    EXPECT_EQ(project->CurrentToolset(), ToolsetSectionImport);
    EXPECT_EQ(project->CurrentLayerType(), LayerTypeForeground);
    EXPECT_EQ(project->CurrentThumbnailFolder(), QStringLiteral("thumbs-7f3a"));
    EXPECT_EQ(project->ToolsetPosition(), ToolsetPositionLeft);
    EXPECT_EQ(project->ToolsetState(), ToolsetStateCollapsed);

    const Canvas& canvas = project->GetCanvas();
    EXPECT_EQ(canvas.DimensionType(), CanvasDimensionCustom);
    EXPECT_EQ(canvas.PrinterPageSize(), PageSizeA5);
    EXPECT_EQ(canvas.Width(), 2400u);
    EXPECT_EQ(canvas.Height(), 1600u);
    EXPECT_EQ(canvas.ActualWidth(), 2500u);
    EXPECT_EQ(canvas.ActualHeight(), 1700u);
    EXPECT_EQ(canvas.PositionX(), -12);
    EXPECT_EQ(canvas.PositionY(), 34);
    EXPECT_EQ(canvas.Scale(), 0.5f);
    EXPECT_EQ(canvas.Orientation(), CanvasOrientationLandscape);
    EXPECT_EQ(canvas.DPI(), 200);
    EXPECT_TRUE(canvas.PrintAsCard());
    EXPECT_TRUE(canvas.UseCanvasColor());
    EXPECT_EQ(canvas.CanvasColor(), QColor(10, 20, 30));

    // Format and quality come from the old file; the rest stays as the default project has it.
    const ExportSettings& exportSettings = project->GetExportSettings();
    EXPECT_EQ(exportSettings.Format(), ExportFormatJpg);
    EXPECT_EQ(exportSettings.Quality(), 85);
    EXPECT_TRUE(exportSettings.Path().empty());
    EXPECT_TRUE(exportSettings.IsCodecCollapsed());
    EXPECT_TRUE(exportSettings.IsSelectionCollapsed());
}

TEST_F(LegacyConverterTest, OnlyTheFirstForegroundConvertsAndIsCurrentByPath)
{
    const auto project = OpenLegacy(LegacyData(QStringLiteral("complete.lumo")), LMerrSuccess);
    const LayerManagerPtr layers = project->GetLayerManager();

    ASSERT_EQ(layers->Count(LayerTypeForeground), 1);
    const ForegroundImageLayerPtr foreground = layers->GetForegroundFromPath(QStringLiteral("/photos/anna.jpg"));
    ASSERT_TRUE(foreground);
    EXPECT_EQ(foreground->Name(), QStringLiteral("anna.jpg"));
    EXPECT_FALSE(foreground->IsEnabled());
    EXPECT_EQ(foreground->ThumbnailFilename(), QStringLiteral("fg-anna.png"));
    // Its own flags and settings in the old file are not taken: it uses the shared defaults.
    EXPECT_FALSE(foreground->IsUnique());
    EXPECT_FALSE(foreground->IsViewed());
    EXPECT_EQ(layers->CurrentForegroundId(), foreground->Id());
    EXPECT_EQ(foreground->ForegroundSettings(), layers->GetForegroundSettings(QUuid()));

    const ForegroundImageLayerList& list = *layers->ForegroundLayerList();
    EXPECT_FALSE(list.IsEnabled());
    EXPECT_FALSE(list.IsCollapsed());

    const ImageLayerPtr background = layers->GetBackground();
    ASSERT_TRUE(background);
    EXPECT_EQ(background->Name(), QStringLiteral("beach.jpg"));
    EXPECT_EQ(background->Path(), QStringLiteral("/photos/beach.jpg"));
    EXPECT_EQ(background->ThumbnailFilename(), QStringLiteral("bg-beach.png"));
    EXPECT_FALSE(background->IsEnabled());
    EXPECT_FALSE(background->IsCollapsed());
    // The size is found again from the image, not taken from the old file.
    EXPECT_EQ(background->Dimensions(), QSize(0, 0));

    const ImageLayerPtr overlay = layers->GetOverlay();
    ASSERT_TRUE(overlay);
    EXPECT_EQ(overlay->Name(), QStringLiteral("frame.png"));
    EXPECT_EQ(overlay->Path(), QStringLiteral("/photos/frame.png"));
    EXPECT_EQ(overlay->ThumbnailFilename(), QStringLiteral("ov-frame.png"));
    EXPECT_TRUE(overlay->IsEnabled());
    EXPECT_FALSE(overlay->IsCollapsed());
}

TEST_F(LegacyConverterTest, CompleteProjectFillsThePerLayerDefaults)
{
    const auto project = OpenLegacy(LegacyData(QStringLiteral("complete.lumo")), LMerrSuccess);
    const auto fresh = NewProject();
    const LayerManagerPtr layers = project->GetLayerManager();
    const ImageLayerSettingsPtr background = layers->GetLayerSettings(layers->GetBackground()->Id(), QUuid());
    const ImageLayerSettingsPtr overlay = layers->GetLayerSettings(layers->GetOverlay()->Id(), QUuid());
    ASSERT_TRUE(background && overlay);
    const LayerManagerPtr freshLayers = fresh->GetLayerManager();
    const ImageLayerSettingsPtr freshBackground =
        freshLayers->GetLayerSettings(freshLayers->GetBackground()->Id(), QUuid());

    // The transformation takes the old values but keeps the new flags.
    const auto transform =
        FindItemOfType<TransformationTransformItem>(background->Transforms(), TransformItemTypeTransformation);
    ASSERT_TRUE(transform);
    EXPECT_EQ(transform->TranslateX(), 0.25);
    EXPECT_EQ(transform->TranslateY(), -0.5);
    EXPECT_EQ(transform->ScaleX(), 1.5);
    EXPECT_EQ(transform->ScaleY(), 2.0);
    EXPECT_EQ(transform->Rotation(), 30.0);
    EXPECT_FALSE(transform->IsEnabled());
    EXPECT_TRUE(transform->IsCollapsed());

    const FilterList& filters = background->Filters();
    const auto brightness = FindItemOfType<BrightnessFilterItem>(filters, FilterItemTypeBrightness);
    ASSERT_TRUE(brightness);
    EXPECT_TRUE(brightness->IsEnabled());
    EXPECT_TRUE(brightness->IsCollapsed());
    EXPECT_EQ(brightness->Brightness(), 0.125);
    EXPECT_EQ(brightness->ColorOrAlpha(), HXChannelsColorAndAlpha);
    EXPECT_EQ(FindItemOfType<ContrastFilterItem>(filters, FilterItemTypeContrast)->Contrast(), 1.25);
    EXPECT_EQ(FindItemOfType<SaturationFilterItem>(filters, FilterItemTypeSaturation)->Saturation(), 0.75);
    const auto superContrast = FindItemOfType<SuperContrastFilterItem>(filters, FilterItemTypeSuperContrast);
    EXPECT_EQ(superContrast->BlackLevel(), 0.0625);
    EXPECT_EQ(superContrast->WhiteLevel(), 0.875);
    EXPECT_EQ(superContrast->ColorOrAlpha(), HXChannelsAlpha);
    EXPECT_EQ(FindItemOfType<ColorTemperatureFilterItem>(filters, FilterItemTypeColorTemperature)->TemperatureShift(), 7200.0);
    const auto balance = FindItemOfType<ColorBalanceFilterItem>(filters, FilterItemTypeColorBalance);
    EXPECT_EQ(balance->Red(), 1.5);
    EXPECT_EQ(balance->Green(), 0.5);
    EXPECT_EQ(balance->Blue(), 0.25);
    const auto colorize = FindItemOfType<HueColorizeFilterItem>(filters, FilterItemTypeHueColorize);
    EXPECT_EQ(colorize->Hue(), 120.0);
    EXPECT_EQ(colorize->Strength(), 0.5);
    EXPECT_EQ(FindItemOfType<BlurFilterItem>(filters, FilterItemTypeBlur)->Radius(), 3.5);
    // Hue shift, sharpen, transparency, silhouette and depth of field have no place here.
    EXPECT_EQ(TypesOf(filters), TypesOf(freshBackground->Filters()));

    const auto overlayTransform =
        FindItemOfType<TransformationTransformItem>(overlay->Transforms(), TransformItemTypeTransformation);
    ASSERT_TRUE(overlayTransform);
    EXPECT_EQ(overlayTransform->TranslateX(), -0.125);
    EXPECT_EQ(overlayTransform->TranslateY(), 0.375);
    EXPECT_EQ(overlayTransform->ScaleX(), 0.5);
    EXPECT_EQ(overlayTransform->Rotation(), -90.0);
    const auto fit = FindItemOfType<FitTransformItem>(overlay->Transforms(), TransformItemTypeFit);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->Fit(), FitToForeground);
    EXPECT_FALSE(fit->IsEnabled());
    EXPECT_FALSE(fit->IsCollapsed());
    // The overlay's old filters are not converted.
    EXPECT_EQ(overlay->Filters().Count(), 0u);
}

TEST_F(LegacyConverterTest, CompleteProjectFillsTheForegroundEffects)
{
    const auto project = OpenLegacy(LegacyData(QStringLiteral("complete.lumo")), LMerrSuccess);
    const auto fresh = NewProject();
    const ForegroundImageLayerSettingsPtr settings = project->GetLayerManager()->GetForegroundSettings(QUuid());
    const ForegroundImageLayerSettingsPtr defaults = fresh->GetLayerManager()->GetForegroundSettings(QUuid());
    ASSERT_TRUE(settings && defaults);

    const auto transform = FindItemOfType<TransformationTransformItem>(settings->Transforms(), TransformItemTypeTransformation);
    ASSERT_TRUE(transform);
    EXPECT_EQ(transform->TranslateX(), 0.5);
    EXPECT_EQ(transform->TranslateY(), 0.25);
    EXPECT_EQ(transform->ScaleX(), -1.0);
    EXPECT_EQ(transform->ScaleY(), 1.25);
    EXPECT_EQ(transform->Rotation(), 12.5);
    EXPECT_TRUE(transform->IsEnabled());

    const FilterList& filters = settings->Filters();
    const auto brightness = FindItemOfType<BrightnessFilterItem>(filters, FilterItemTypeBrightness);
    EXPECT_EQ(brightness->Brightness(), -0.25);
    EXPECT_EQ(brightness->ColorOrAlpha(), HXChannelsAlpha);
    EXPECT_EQ(FindItemOfType<ContrastFilterItem>(filters, FilterItemTypeContrast)->Contrast(), 0.5);
    EXPECT_EQ(FindItemOfType<ColorTemperatureFilterItem>(filters, FilterItemTypeColorTemperature)->TemperatureShift(), 4300.0);
    EXPECT_EQ(FindItemOfType<BlurFilterItem>(filters, FilterItemTypeBlur)->Radius(), 1.5);
    const auto transparency = FindItemOfType<TransparencyFilterItem>(filters, FilterItemTypeTransparency);
    EXPECT_EQ(transparency->Transparency(), 0.375);
    EXPECT_TRUE(transparency->IsEnabled());
    EXPECT_EQ(FindItemOfType<SilhouetteFilterItem>(filters, FilterItemTypeSilhouette)->Color(), QColor(200, 100, 50));

    const KeyList& keys = settings->Keys();
    const auto yuv = FindItemOfType<YuvBlurKeyItem>(keys, KeyItemTypeYuvBlur);
    // The defaults' value, not the one stored inside the foreground element.
    EXPECT_EQ(yuv->Radius(), 2.5);
    EXPECT_EQ(yuv->BlurType(), HXYUVBlurBox);
    EXPECT_TRUE(yuv->IsEnabled());
    EXPECT_FALSE(yuv->IsCollapsed());
    const auto keyer = FindItemOfType<AutoColorDifferenceKeyItem>(keys, KeyItemTypeAutoColorDifference);
    EXPECT_FALSE(keyer->IsEnabled());
    EXPECT_EQ(keyer->KeyColor(), HXKeyColorBlue);
    EXPECT_EQ(keyer->KeyDetail(), 0.75);
    EXPECT_EQ(keyer->GreyDetail(), 0.25);
    EXPECT_EQ(keyer->GreyThreshold(), 0.5);
    EXPECT_EQ(keyer->AutoKeyColor(), HXKeyColorGreen);
    const auto crop = FindItemOfType<CropKeyItem>(keys, KeyItemTypeCrop);
    EXPECT_EQ(crop->Left(), 0.125);
    EXPECT_EQ(crop->Right(), 0.25);
    EXPECT_EQ(crop->Top(), 0.0625);
    EXPECT_EQ(crop->Bottom(), 0.375);
    const auto spill = FindItemOfType<SpillSuppressionKeyItem>(keys, KeyItemTypeSpillSuppression);
    EXPECT_FALSE(spill->IsEnabled());
    EXPECT_EQ(spill->SpillType(), HXSpillTypeStandard);
    EXPECT_EQ(spill->Opacity(), 0.75);
    // The 4.0 format does not store the bias: it is back at neutral once the file is read.
    EXPECT_EQ(spill->AdvancedBias(), 1.0);
    const auto lightSpill = FindItemOfType<LightSpillKeyItem>(keys, KeyItemTypeLightSpill);
    EXPECT_FALSE(lightSpill->IsEnabled());
    EXPECT_EQ(lightSpill->Blur(), 12.5);
    EXPECT_EQ(lightSpill->BlendMode(), HXBlendModeScreen);
    // Old key items the new program has no reading for leave the defaults' as they are.
    EXPECT_EQ(Written(*FindItemOfType<ErodeKeyItem>(keys, KeyItemTypeErode)),
              Written(*FindItemOfType<ErodeKeyItem>(defaults->Keys(), KeyItemTypeErode)));

    const CompositeList& composites = settings->Compositors();
    const auto vignette = FindItemOfType<VignetteCompositeItem>(composites, CompositeItemTypeVignette);
    EXPECT_TRUE(vignette->IsEnabled());
    EXPECT_EQ(vignette->Color(), QColor(5, 6, 7));
    EXPECT_EQ(vignette->VignetteType(), HXVignetteTypeBold);
    EXPECT_EQ(vignette->HorizontalStretch(), 1.25);
    EXPECT_EQ(vignette->VerticalStretch(), 0.75);
    EXPECT_EQ(vignette->Softness(), 0.5);
    EXPECT_EQ(vignette->Curvature(), 2.0);
    EXPECT_EQ(vignette->Opacity(), 0.625);
    const auto tint = FindItemOfType<TintCompositeItem>(composites, CompositeItemTypeTint);
    EXPECT_TRUE(tint->IsEnabled());
    EXPECT_EQ(tint->TintType(), HXTintBlackAndWhite);
    EXPECT_EQ(tint->Strength(), 0.5);

    // Hue shift, sharpen, shadow cast, depth of field, soft focus and the fit have no place in
    // the default lists: no item is added for them.
    EXPECT_EQ(TypesOf(settings->Filters()), TypesOf(defaults->Filters()));
    EXPECT_EQ(TypesOf(settings->Keys()), TypesOf(defaults->Keys()));
    EXPECT_EQ(TypesOf(settings->Compositors()), TypesOf(defaults->Compositors()));
    EXPECT_EQ(TypesOf(settings->Transforms()), TypesOf(defaults->Transforms()));
}

TEST_F(LegacyConverterTest, CompleteProjectConvertsMasksAndTextItems)
{
    const auto project = OpenLegacy(LegacyData(QStringLiteral("complete.lumo")), LMerrSuccess);
    const ForegroundImageLayerSettingsPtr settings = project->GetLayerManager()->GetForegroundSettings(QUuid());
    ASSERT_TRUE(settings);

    const MaskList& masks = settings->Masks();
    EXPECT_EQ(masks.NameSuffix(), 3u);
    EXPECT_EQ(masks.CurrentMaskMode(), MaskModeSelect);
    ASSERT_EQ(masks.Size(), 2u);
    const MaskPtr hair = *masks.Begin();
    EXPECT_EQ(masks.CurrentlySelectedMask(), hair->Id());
    EXPECT_EQ(hair->MaskName(), QStringLiteral("Hair"));
    EXPECT_TRUE(hair->IsEnabled());
    EXPECT_TRUE(hair->IsClosed());
    EXPECT_TRUE(hair->IsInverted());
    EXPECT_FALSE(hair->IsRemove());
    EXPECT_EQ(hair->Feather(), 8);
    EXPECT_EQ(hair->Scale(), 0.5f);
    EXPECT_EQ(hair->Zoom(), 2.0f);

    // The handle of type 3 is dropped; the others keep their order, class and points.
    std::vector<MaskHandlePtr> handles(hair->Begin(), hair->End());
    ASSERT_EQ(handles.size(), 3u);
    EXPECT_EQ(handles[0]->Type(), MaskHandleTypeNoControl);
    EXPECT_EQ(handles[0]->Position(), QPointF(10, 20));
    const auto mono = std::dynamic_pointer_cast<MonoControlMaskHandle>(handles[1]);
    ASSERT_TRUE(mono);
    EXPECT_EQ(mono->Position(), QPointF(30, 40));
    EXPECT_EQ(mono->ControlPosition(), QPointF(35, 45));
    const auto dual = std::dynamic_pointer_cast<DualControlMaskHandle>(handles[2]);
    ASSERT_TRUE(dual);
    EXPECT_EQ(dual->Position().x(), 50.5);
    EXPECT_EQ(dual->Position().y(), 60.25);
    EXPECT_EQ(dual->LeftControlPosition(), QPointF(-5, 0));
    EXPECT_EQ(dual->RightControlPosition().y(), 0.5);

    const MaskPtr edge = *(masks.Begin() + 1);
    EXPECT_EQ(edge->MaskName(), QStringLiteral("Edge"));
    EXPECT_FALSE(edge->IsEnabled());
    EXPECT_TRUE(edge->IsRemove());
    EXPECT_EQ(edge->Size(), 0u);

    const TextList& texts = settings->TextItems();
    EXPECT_EQ(texts.NameSuffix(), 2u);
    ASSERT_EQ(texts.Size(), 1u);
    const TextItemPtr caption = *texts.Begin();
    EXPECT_FALSE(caption->IsEnabled());
    EXPECT_EQ(caption->Zoom(), 1.5);
    EXPECT_EQ(caption->TextItemName(), QStringLiteral("Caption"));
    EXPECT_EQ(caption->UseOption(), TextUseCustom);
    EXPECT_EQ(caption->TextString(), QStringLiteral("Grüße aus Köln").toUtf8());
    EXPECT_EQ(caption->FontName(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(caption->FontSize(), 48);
    EXPECT_EQ(caption->FontColor(), QColor(250, 240, 230));
    EXPECT_TRUE(caption->IsBold());
    EXPECT_FALSE(caption->IsItalic());
    EXPECT_TRUE(caption->IsUnderlined());
    EXPECT_EQ(caption->TextAlignment(), TextAlignmentRight);
    EXPECT_EQ(caption->Opacity(), 0.5);
    EXPECT_EQ(caption->Angle(), -15.0);
    EXPECT_EQ(caption->Position().x(), 100.5);
    EXPECT_EQ(caption->Position().y(), -20.25);
}

TEST_F(LegacyConverterTest, ConvertedProjectSavesAsFormat4AndReopensEqual)
{
    const auto project = OpenLegacy(LegacyData(QStringLiteral("complete.lumo")), LMerrSuccess);
    const QString first = m_root.filePath(QStringLiteral("first.lumo4"));
    const QString second = m_root.filePath(QStringLiteral("second.lumo4"));
    ASSERT_EQ(project->SaveToXml(first, QStringLiteral("4.1.0004"), QStringLiteral("4.0")), LMerrSuccess);
    EXPECT_TRUE(ReadBytes(first).contains("<fileFormat><![CDATA[4.0]]></fileFormat>"));

    LMerr result = LMerrFileOpen;
    Project reopened(first, result);
    ASSERT_EQ(result, LMerrSuccess);
    EXPECT_EQ(reopened.FileFormat(), 4);
    ASSERT_EQ(reopened.SaveToXml(second, QStringLiteral("4.1.0004"), QStringLiteral("4.0")), LMerrSuccess);
    EXPECT_EQ(ReadBytes(second), ReadBytes(first));
    EXPECT_TRUE(project->IsEqualToSavedProject(first));
}

TEST_F(LegacyConverterTest, ConverterWritesOneFormat4FileInTheTemporaryFolder)
{
    const QString old = LegacyData(QStringLiteral("complete.lumo"));
    const QByteArray before = ReadBytes(old);

    const QString converted = ConvertFileFormat2Project(old);

    ASSERT_FALSE(converted.isEmpty());
    EXPECT_EQ(ReadBytes(old), before);
    EXPECT_EQ(QFileInfo(converted).absolutePath(), m_temp);
    EXPECT_TRUE(QFileInfo(converted).fileName().startsWith(QStringLiteral("LM4_")));
    EXPECT_EQ(QFileInfo(converted).suffix(), QStringLiteral("lumo4"));
    EXPECT_EQ(TemporaryFiles(), QStringList{QFileInfo(converted).fileName()});
    const QByteArray bytes = ReadBytes(converted);
    EXPECT_TRUE(bytes.contains("<applicationVersion><![CDATA[4.0.0000]]></applicationVersion>"));
    EXPECT_TRUE(bytes.contains("<fileFormat><![CDATA[4.0]]></fileFormat>"));
    EXPECT_TRUE(QFile::remove(converted));
}

TEST_F(LegacyConverterTest, ValuesMissingFromTheOldFileKeepTheDefaults)
{
    const auto project = OpenLegacy(LegacyData(QStringLiteral("partial.lumo")), LMerrSuccess);
    const auto fresh = NewProject();
    const LayerManagerPtr layers = project->GetLayerManager();
    const ForegroundImageLayerSettingsPtr settings = layers->GetForegroundSettings(QUuid());
    const ForegroundImageLayerSettingsPtr defaults = fresh->GetLayerManager()->GetForegroundSettings(QUuid());
    ASSERT_TRUE(settings && defaults);

    EXPECT_EQ(project->ToolsetState(), ToolsetStateCollapsed);
    EXPECT_EQ(project->ToolsetPosition(), fresh->ToolsetPosition());
    EXPECT_EQ(project->GetExportSettings().Quality(), 70);
    EXPECT_EQ(project->GetExportSettings().Format(), fresh->GetExportSettings().Format());

    // Negative, unreadable and non-finite values are as good as missing; a channel outside
    // 0..255 keeps the default's.
    const Canvas& canvas = project->GetCanvas();
    EXPECT_EQ(canvas.Width(), 1200u);
    EXPECT_EQ(canvas.Height(), 1800u);
    EXPECT_EQ(canvas.Scale(), 1.0f);
    EXPECT_EQ(canvas.DPI(), 150);
    EXPECT_EQ(canvas.CanvasColor(), QColor(255, 40, 255));
    EXPECT_EQ(canvas.Orientation(), fresh->GetCanvas().Orientation());

    // The background and overlay keep the default project's layers.
    EXPECT_EQ(Written(*layers->GetBackground()), Written(*fresh->GetLayerManager()->GetBackground()));
    EXPECT_EQ(Written(*layers->GetOverlay()), Written(*fresh->GetLayerManager()->GetOverlay()));

    // The first foreground converts enabled; the current one named the second, which is not
    // converted, so no foreground is current.
    ASSERT_EQ(layers->Count(LayerTypeForeground), 1);
    const ForegroundImageLayerPtr foreground = layers->GetForegroundFromPath(QStringLiteral("/photos/anna.jpg"));
    ASSERT_TRUE(foreground);
    EXPECT_TRUE(foreground->IsEnabled());
    EXPECT_TRUE(layers->CurrentForegroundId().isNull());

    // Absent items and unreadable values stay as the default project has them; a flag missing
    // from an item that is there counts as "1", an unreadable one as 0.
    const auto itemText = [](const auto& list, auto type) {
        typename std::remove_reference_t<decltype(list)>::Pointer item;
        EXPECT_EQ(list.GetFilterByType(type, item), LMerrSuccess);
        return item ? Written(*item) : QString();
    };
    EXPECT_EQ(itemText(settings->Transforms(), TransformItemTypeTransformation),
              itemText(defaults->Transforms(), TransformItemTypeTransformation));
    EXPECT_EQ(itemText(settings->Filters(), FilterItemTypeContrast),
              itemText(defaults->Filters(), FilterItemTypeContrast));
    EXPECT_EQ(Written(settings->Compositors()), Written(defaults->Compositors()));
    const auto brightness = FindItemOfType<BrightnessFilterItem>(settings->Filters(), FilterItemTypeBrightness);
    const auto defaultBrightness = FindItemOfType<BrightnessFilterItem>(defaults->Filters(), FilterItemTypeBrightness);
    EXPECT_EQ(brightness->Brightness(), 0.5);
    EXPECT_EQ(brightness->ColorOrAlpha(), defaultBrightness->ColorOrAlpha());
    EXPECT_FALSE(defaultBrightness->IsEnabled());
    EXPECT_TRUE(brightness->IsEnabled());
    EXPECT_TRUE(brightness->IsCollapsed());
    const auto crop = FindItemOfType<CropKeyItem>(settings->Keys(), KeyItemTypeCrop);
    const auto defaultCrop = FindItemOfType<CropKeyItem>(defaults->Keys(), KeyItemTypeCrop);
    EXPECT_FALSE(crop->IsEnabled()) << "enabled=\"yes\" is no number";
    EXPECT_FALSE(crop->IsCollapsed());
    EXPECT_EQ(crop->Left(), defaultCrop->Left());
    EXPECT_EQ(crop->Right(), 0.25);
    EXPECT_EQ(crop->Top(), defaultCrop->Top());
    EXPECT_EQ(TypesOf(settings->Filters()), TypesOf(defaults->Filters()));

    // A mask without flags has all four set; a handle without a type is a plain corner.
    ASSERT_EQ(settings->Masks().Size(), 1u);
    const MaskPtr mask = *settings->Masks().Begin();
    const Mask plain;
    EXPECT_EQ(mask->MaskName(), QStringLiteral("Outline"));
    EXPECT_TRUE(mask->IsEnabled() && mask->IsRemove() && mask->IsClosed() && mask->IsInverted());
    EXPECT_EQ(mask->Zoom(), plain.Zoom());
    std::vector<MaskHandlePtr> handles(mask->Begin(), mask->End());
    ASSERT_EQ(handles.size(), 2u);
    EXPECT_EQ(handles[1]->Type(), MaskHandleTypeNoControl);
    EXPECT_EQ(handles[1]->Position(), QPointF(3, 4));

    ASSERT_EQ(settings->TextItems().Size(), 1u);
    const TextItemPtr text = *settings->TextItems().Begin();
    TextItem expected;
    expected.SetTextItemName(QStringLiteral("Plain"));
    // Every field but the id, which no file holds.
    EXPECT_EQ(Written(*text), Written(expected));
}

TEST_F(LegacyConverterTest, MinimalFileOpensAsTheDefaultProject)
{
    const auto project = OpenLegacy(LegacyData(QStringLiteral("minimal.lumo")), LMerrSuccess);
    const auto fresh = NewProject();

    EXPECT_EQ(project->CurrentToolset(), ToolsetSectionImport);
    EXPECT_EQ(Written(project->GetCanvas()), Written(fresh->GetCanvas()));
    EXPECT_EQ(Written(project->GetExportSettings()), Written(fresh->GetExportSettings()));
    EXPECT_EQ(Written(*project->GetLayerManager()), Written(*fresh->GetLayerManager()));
}

TEST_F(LegacyConverterTest, DamagedFilesFailWithTheLoadersCodeAndLeaveNoTemporaryFile)
{
    struct Case {
        const char* what;
        const char* from;
        const char* to;
        LMerr expected;
    };
    const Case cases[] = {
        {"not well-formed", "</project>", "", LMerrXmlParse},
        {"another format", "<fileFormat>2.0<", "<fileFormat>3.0<", LMerrUnsupportedFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenLegacy(DamagedCopy(QString::fromUtf8(c.from), QString::fromUtf8(c.to)), c.expected);
    }
}

TEST_F(LegacyConverterTest, EnumerationsOutOfRangeTakeTheDefaultInsteadOfFailingTheProject)
{
    // Every enumeration of the fixture at once, each beyond what the 4.0 reader takes.
    QString text = QString::fromUtf8(ReadBytes(LegacyData(QStringLiteral("complete.lumo"))));
    const struct {
        const char* pattern;
        const char* replacement;
    } mutations[] = {
        {"<toolsetPosition>0<", "<toolsetPosition>3<"}, {"<toolsetState>1<", "<toolsetState>-2<"},
        {"<canvasDimensionType>3<", "<canvasDimensionType>-1<"}, {"<orientation>0<", "<orientation>7<"},
        {"<format>4<", "<format>9<"}, {"<colorOrAlpha>[0-9]<", "<colorOrAlpha>8<"},
        {"<blurType>[0-9]<", "<blurType>9<"}, {"<keyColor>2<", "<keyColor>4<"}, {"<spillType>0<", "<spillType>5<"},
        {"<fit>[0-9]<", "<fit>8<"}, {"<blendMode>11<", "<blendMode>13<"}, {"<type>2</type>\\s*<horizontal", "<type>3</type><horizontal"},
        {"<type>0</type>\\s*<strength>", "<type>2</type><strength>"}, {"<useOption>0<", "<useOption>3<"},
        {"<alignment>2<", "<alignment>5<"}, {"<currentMaskMode>1<", "<currentMaskMode>-1<"},
    };
    for (const auto& m : mutations) {
        const QRegularExpression pattern(QString::fromLatin1(m.pattern));
        EXPECT_TRUE(text.contains(pattern)) << m.pattern;
        text.replace(pattern, QString::fromLatin1(m.replacement));
    }
    const QString path = m_root.filePath(QStringLiteral("enumerations.lumo"));
    ASSERT_TRUE(WriteBytes(path, text.toUtf8()));

    const auto project = OpenLegacy(path, LMerrSuccess);
    const auto fresh = NewProject();
    EXPECT_EQ(project->ToolsetPosition(), fresh->ToolsetPosition());
    EXPECT_EQ(project->ToolsetState(), fresh->ToolsetState());
    EXPECT_EQ(project->GetCanvas().DimensionType(), fresh->GetCanvas().DimensionType());
    EXPECT_EQ(project->GetCanvas().Orientation(), fresh->GetCanvas().Orientation());
    EXPECT_EQ(project->GetExportSettings().Format(), fresh->GetExportSettings().Format());

    const ForegroundImageLayerSettingsPtr settings = project->GetLayerManager()->GetForegroundSettings(QUuid());
    const ForegroundImageLayerSettingsPtr defaults = fresh->GetLayerManager()->GetForegroundSettings(QUuid());
    const auto brightness = FindItemOfType<BrightnessFilterItem>(settings->Filters(), FilterItemTypeBrightness);
    EXPECT_EQ(brightness->ColorOrAlpha(),
              FindItemOfType<BrightnessFilterItem>(defaults->Filters(), FilterItemTypeBrightness)->ColorOrAlpha());
    EXPECT_EQ(FindItemOfType<YuvBlurKeyItem>(settings->Keys(), KeyItemTypeYuvBlur)->BlurType(),
              FindItemOfType<YuvBlurKeyItem>(defaults->Keys(), KeyItemTypeYuvBlur)->BlurType());
    EXPECT_EQ(FindItemOfType<AutoColorDifferenceKeyItem>(settings->Keys(), KeyItemTypeAutoColorDifference)->KeyColor(),
              FindItemOfType<AutoColorDifferenceKeyItem>(defaults->Keys(), KeyItemTypeAutoColorDifference)->KeyColor());
    EXPECT_EQ(FindItemOfType<LightSpillKeyItem>(settings->Keys(), KeyItemTypeLightSpill)->BlendMode(),
              FindItemOfType<LightSpillKeyItem>(defaults->Keys(), KeyItemTypeLightSpill)->BlendMode());
    EXPECT_EQ(FindItemOfType<VignetteCompositeItem>(settings->Compositors(), CompositeItemTypeVignette)->VignetteType(),
              HXVignetteTypeNormal);
    EXPECT_EQ(FindItemOfType<TintCompositeItem>(settings->Compositors(), CompositeItemTypeTint)->TintType(),
              FindItemOfType<TintCompositeItem>(defaults->Compositors(), CompositeItemTypeTint)->TintType());
    EXPECT_EQ(settings->Masks().CurrentMaskMode(), MaskModeCreate);
    ASSERT_GT(settings->TextItems().Size(), 0u);
    const TextItemPtr text0 = *settings->TextItems().Begin();
    EXPECT_EQ(text0->UseOption(), TextUseCustom);
    EXPECT_EQ(text0->TextAlignment(), TextAlignmentLeft);
}

TEST_F(LegacyConverterTest, UnwritableTemporaryFolderGivesCannotWrite)
{
    {
        // A full temporary folder: every write past the limit fails.
        const FileSizeLimit full(1024);
        ASSERT_TRUE(full.IsActive());
        OpenLegacy(LegacyData(QStringLiteral("complete.lumo")), LMerrCannotWrite);
    }

    // An unusable temporary folder must not send the file to the root folder instead.
    const QStringList rootBefore = QDir(QStringLiteral("/")).entryList({QStringLiteral("LM4_*")});
    ASSERT_TRUE(QDir(m_temp).removeRecursively());
    qputenv("TMPDIR", QFile::encodeName(m_temp));

    LMerr result = LMerrSuccess;
    Project project(LegacyData(QStringLiteral("complete.lumo")), result);

    EXPECT_EQ(result, LMerrCannotWrite);
    LMerr converted = LMerrSuccess;
    EXPECT_EQ(ConvertFileFormat2Project(LegacyData(QStringLiteral("complete.lumo")), converted), QString());
    EXPECT_EQ(converted, LMerrCannotWrite);
    EXPECT_EQ(QDir(QStringLiteral("/")).entryList({QStringLiteral("LM4_*")}), rootBefore);
    EXPECT_FALSE(QFileInfo::exists(m_temp));
}

TEST_F(LegacyConverterTest, ConverterAnswersEmptyForWhatItCannotRead)
{
    const QString notXml = m_root.filePath(QStringLiteral("not-xml.lumo"));
    ASSERT_TRUE(WriteBytes(notXml, "<project><fileFormat>2.0</fileFormat>"));
    const QString paths[] = {m_root.filePath(QStringLiteral("absent.lumo")), m_root.path(), notXml, QString()};
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(ConvertFileFormat2Project(path), QString());
    }
    EXPECT_TRUE(TemporaryFiles().isEmpty());
}

TEST(LegacyReaders, FallBackWhenAValueIsMissingOrUnreadable)
{
    const QDomElement element = ParseElement(
        QStringLiteral("<item><padded> 12 </padded><word>abc</word><negative>-5</negative><huge>1e50</huge>"
                       "<nan>nan</nan><infinite>inf</infinite><half>0.5</half><empty/></item>"));
    struct Case {
        const char* name;
        int asInt;
        unsigned int asUInt;
        float asFloat;
        double asDouble;
    };
    // 9 is the fallback.
    const Case cases[] = {
        {"padded", 12, 12u, 12.0f, 12.0}, {"word", 9, 9u, 9.0f, 9.0},  {"negative", -5, 9u, -5.0f, -5.0},
        {"huge", 9, 9u, 9.0f, 1e50},      {"nan", 9, 9u, 9.0f, 9.0},   {"infinite", 9, 9u, 9.0f, 9.0},
        {"half", 9, 9u, 0.5f, 0.5},       {"empty", 9, 9u, 9.0f, 9.0}, {"missing", 9, 9u, 9.0f, 9.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name);
        EXPECT_EQ(ReadLegacyTagInt(element, name, 9), c.asInt);
        EXPECT_EQ(ReadLegacyTagUInt(element, name, 9u), c.asUInt);
        EXPECT_EQ(ReadLegacyTagFloat(element, name, 9.0f), c.asFloat);
        EXPECT_EQ(ReadLegacyTagDouble(element, name, 9.0), c.asDouble);
    }
    // Without a parent element everything is missing.
    EXPECT_EQ(ReadLegacyTagInt(QDomElement(), QStringLiteral("padded"), 9), 9);
    EXPECT_EQ(ReadLegacyTagString(QDomElement(), QStringLiteral("padded"), QStringLiteral("kept")),
              QStringLiteral("kept"));
    // A present but empty text is a value; only a missing element falls back.
    EXPECT_EQ(ReadLegacyTagString(element, QStringLiteral("empty"), QStringLiteral("kept")), QString());
    EXPECT_EQ(ReadLegacyTagString(element, QStringLiteral("word")), QStringLiteral("abc"));
}

TEST(LegacyReaders, ColourChannelsAndItemFlags)
{
    const QDomElement element = ParseElement(QStringLiteral("<item><color red=\"7\" green=\"x\"/></item>"));
    EXPECT_EQ(ReadLegacyChildAttributeInt(element, QStringLiteral("color"), QStringLiteral("red"), 1), 7);
    EXPECT_EQ(ReadLegacyChildAttributeInt(element, QStringLiteral("color"), QStringLiteral("green"), 1), 1);
    EXPECT_EQ(ReadLegacyChildAttributeInt(element, QStringLiteral("color"), QStringLiteral("blue"), 1), 1);
    EXPECT_EQ(ReadLegacyChildAttributeInt(element, QStringLiteral("shade"), QStringLiteral("red"), 1), 1);

    struct Case {
        const char* xml;
        bool enabled;
        bool collapsed;
    };
    // The item starts disabled and not collapsed: an absent flag is "1", an unreadable one 0.
    const Case cases[] = {
        {"<old enabled=\"0\" collapsed=\"2\"/>", false, true},
        {"<old/>", true, true},
        {"<old enabled=\"off\" collapsed=\"\"/>", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        BlurFilterItem item;
        item.SetEnabled(false);
        item.SetCollapsed(false);
        ReadLegacyItemFlags(ParseElement(QString::fromLatin1(c.xml)), item);
        EXPECT_EQ(item.IsEnabled(), c.enabled);
        EXPECT_EQ(item.IsCollapsed(), c.collapsed);
    }
}

} // namespace
} // namespace lumo::test
