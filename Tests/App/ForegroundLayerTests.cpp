#include "FilterItems.h"
#include "ForegroundImageLayer.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "Project.h"
#include "TransformItems.h"

#include "ProjectTestUtils.h"

#include <QDomDocument>

#include <gtest/gtest.h>

#include <algorithm>

using namespace lumo::app;
using namespace lumo::test;

namespace {

const QUuid kBackgroundId(QStringLiteral("{b42b335f-1c3c-4d23-bbec-fabd0f39ec9e}"));
const QUuid kOverlayId(QStringLiteral("{fdcc745d-4ce3-4a2c-8e0e-f7defc7776e9}"));
const QUuid kForegroundSlotId(QStringLiteral("{873e2647-0674-4972-ad43-9fc32b7d7267}"));

// A default project with foregrounds added the way an import adds them.
struct ProjectWithForegrounds {
    std::unique_ptr<Project> project = NewProject();
    LayerManagerPtr layers = project->GetLayerManager();

    ForegroundImageLayerPtr Add(const QString& name)
    {
        auto foreground = std::make_shared<ForegroundImageLayer>(name, QStringLiteral("/photos/") + name + ".jpg");
        EXPECT_EQ(layers->AddForegroundLayer(foreground), LMerrSuccess);
        return foreground;
    }
};

double FirstBrightness(const ForegroundImageLayerSettings& settings)
{
    std::shared_ptr<AbstractFilterItem> item;
    EXPECT_EQ(settings.Filters().GetFilterByType(FilterItemTypeBrightness, item), LMerrSuccess);
    return item ? static_cast<BrightnessFilterItem&>(*item).Brightness() : -1.0;
}

void SetFirstBrightness(ForegroundImageLayerSettings& settings, double value)
{
    std::shared_ptr<AbstractFilterItem> item;
    ASSERT_EQ(settings.Filters().GetFilterByType(FilterItemTypeBrightness, item), LMerrSuccess);
    static_cast<BrightnessFilterItem&>(*item).SetBrightness(value);
}

} // namespace

TEST(DefaultProjectTest, HoldsTheDefaultValues)
{
    const auto project = NewProject();
    EXPECT_EQ(project->FileFormat(), 4);
    EXPECT_EQ(project->CurrentToolset(), ToolsetSectionCanvasSize);
    EXPECT_EQ(project->CurrentLayerType(), LayerTypeForeground);
    EXPECT_EQ(project->ToolsetPosition(), ToolsetPositionRight);
    EXPECT_EQ(project->ToolsetState(), ToolsetStateExpanded);
    EXPECT_TRUE(project->CurrentThumbnailFolder().isEmpty());

    const Canvas& canvas = project->GetCanvas();
    EXPECT_EQ(canvas.DimensionType(), CanvasDimensionPreset);
    EXPECT_EQ(canvas.PrinterPageSize(), PageSizeCustom);
    EXPECT_EQ(canvas.Width(), 1200u);
    EXPECT_EQ(canvas.Height(), 1800u);
    EXPECT_EQ(canvas.ActualWidth(), 1200u);
    EXPECT_EQ(canvas.ActualHeight(), 1800u);
    EXPECT_EQ(canvas.PositionX(), 0);
    EXPECT_EQ(canvas.PositionY(), 0);
    EXPECT_EQ(canvas.Scale(), 1.0f);
    EXPECT_EQ(canvas.Orientation(), CanvasOrientationPortrait);
    EXPECT_EQ(canvas.DPI(), 300);
    EXPECT_FALSE(canvas.PrintAsCard());
    EXPECT_FALSE(canvas.UseCanvasColor());
    EXPECT_EQ(canvas.CanvasColor(), QColor(255, 255, 255));

    const ExportSettings& exportSettings = project->GetExportSettings();
    EXPECT_EQ(exportSettings.Format(), ExportFormatPng);
    EXPECT_EQ(exportSettings.Quality(), 100);
    EXPECT_TRUE(exportSettings.Path().empty() && exportSettings.Prefix().empty() && exportSettings.Suffix().empty());
    EXPECT_TRUE(exportSettings.IsCodecCollapsed());
    EXPECT_TRUE(exportSettings.IsSelectionCollapsed());

    const LayerManagerPtr layers = project->GetLayerManager();
    EXPECT_TRUE(layers->CurrentForegroundId().isNull());
    EXPECT_EQ(layers->Count(LayerTypeForeground), 0);
    const auto layerList = layers->LayerList();
    EXPECT_EQ(layerList->StaticForegroundId(), kForegroundSlotId);
    EXPECT_EQ(layerList->CompositeOrder(), (QList<QUuid>{kBackgroundId, kForegroundSlotId}));
    EXPECT_EQ(layerList->LayerSuffix(), 1u);
    EXPECT_EQ(layerList->Size(), 2u);
    for (const auto& [layer, id, type] : {std::tuple{layers->GetBackground(), kBackgroundId, LayerTypeBackground},
                                          std::tuple{layers->GetOverlay(), kOverlayId, LayerTypeOverlay}}) {
        ASSERT_TRUE(layer);
        EXPECT_EQ(layer->Id(), id);
        EXPECT_EQ(layer->Type(), type);
        EXPECT_TRUE(layer->Path().isEmpty());
        EXPECT_EQ(layer->Dimensions(), QSize(0, 0));
        EXPECT_TRUE(layer->IsEnabled());
        EXPECT_TRUE(layer->IsCollapsed());
    }
    const auto foregrounds = layers->ForegroundLayerList();
    EXPECT_TRUE(foregrounds->IsEnabled());
    EXPECT_TRUE(foregrounds->IsCollapsed());

    const ForegroundImageLayerSettingsPtr settings = layers->GetForegroundSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(TypesOf(settings->Keys()), (std::vector<int>{0, 1, 8, 6, 7, 3, 2, 4}));
    EXPECT_EQ(EnabledOf(settings->Keys()), (std::vector<int>{0, 1, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(TypesOf(settings->Filters()), (std::vector<int>{8, 0, 1, 2, 3, 4, 5, 6, 9, 12}));
    EXPECT_EQ(settings->Filters().EnabledCount(), 0u);
    EXPECT_EQ(TypesOf(settings->Compositors()), (std::vector<int>{1, 0}));
    EXPECT_EQ(settings->Compositors().EnabledCount(), 0u);
    EXPECT_EQ(TypesOf(settings->Transforms()), (std::vector<int>{0}));
    EXPECT_EQ(settings->Masks().Size(), 0u);
    EXPECT_EQ(settings->TextItems().Size(), 0u);

    std::shared_ptr<AbstractKeyItem> key;
    ASSERT_EQ(settings->Keys().GetFilterByType(KeyItemTypeAutoColorDifference, key), LMerrSuccess);
    EXPECT_EQ(static_cast<AutoColorDifferenceKeyItem&>(*key).GreyThreshold(), 0.33);
    ASSERT_EQ(settings->Keys().GetFilterByType(KeyItemTypeLightSpill, key), LMerrSuccess);
    EXPECT_EQ(static_cast<LightSpillKeyItem&>(*key).Blur(), 10.0);

    const ImageLayerSettingsPtr background = layers->GetLayerSettings(LayerTypeBackground);
    ASSERT_TRUE(background);
    EXPECT_EQ(TypesOf(background->Filters()), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 9}));
    EXPECT_EQ(TypesOf(background->Transforms()), (std::vector<int>{0}));
    EXPECT_EQ(background->Transforms().EnabledCount(), 0u);
    const ImageLayerSettingsPtr overlay = layers->GetLayerSettings(LayerTypeOverlay);
    ASSERT_TRUE(overlay);
    EXPECT_EQ(overlay->Filters().Count(), 0u);
    EXPECT_EQ(TypesOf(overlay->Transforms()), (std::vector<int>{0, 1}));
    std::shared_ptr<AbstractTransformItem> fit;
    ASSERT_EQ(overlay->Transforms().GetFilterByType(TransformItemTypeFit, fit), LMerrSuccess);
    EXPECT_EQ(static_cast<FitTransformItem&>(*fit).Fit(), FitToCanvas);
}

TEST(ForegroundLayerTest, SharedForegroundsUseTheDefaultSettingsObject)
{
    ProjectWithForegrounds p;
    const auto first = p.Add(QStringLiteral("one"));
    const auto second = p.Add(QStringLiteral("two"));
    ASSERT_TRUE(first->ForegroundSettings());
    EXPECT_EQ(first->ForegroundSettings(), second->ForegroundSettings());
    EXPECT_EQ(first->ForegroundSettings(), p.layers->GetForegroundSettings(QUuid::createUuid()));
    EXPECT_EQ(first->LayerSettings(kBackgroundId), p.layers->GetLayerSettings(kBackgroundId, second->Id()));

    SetFirstBrightness(*first->ForegroundSettings(), 0.5);
    EXPECT_EQ(FirstBrightness(*second->ForegroundSettings()), 0.5);
    EXPECT_EQ(p.layers->AddForegroundLayer(first), LMerrForegroundPresent);
}

TEST(ForegroundLayerTest, UniqueForegroundWorksOnItsOwnCopies)
{
    ProjectWithForegrounds p;
    const auto unique = p.Add(QStringLiteral("unique"));
    const auto shared = p.Add(QStringLiteral("shared"));
    const ForegroundImageLayerSettingsPtr defaults = shared->ForegroundSettings();
    const QString defaultsBefore = Written(*defaults);

    ASSERT_EQ(unique->SetUnique(true), LMerrSuccess);
    const ForegroundImageLayerSettingsPtr own = unique->ForegroundSettings();
    ASSERT_TRUE(own);
    EXPECT_NE(own, defaults);
    EXPECT_EQ(Written(*own), defaultsBefore);
    EXPECT_NE(unique->LayerSettings(kBackgroundId), shared->LayerSettings(kBackgroundId));
    EXPECT_EQ(Written(*unique->LayerSettings(kBackgroundId)), Written(*shared->LayerSettings(kBackgroundId)));
    // The copies keep the item ids, so panels find the same items.
    EXPECT_EQ((*own->Filters().Begin())->Id(), (*defaults->Filters().Begin())->Id());

    p.layers->SetCurrentForegroundId(unique->Id());
    EXPECT_TRUE(p.layers->IsCurrentForegroundUnique());
    EXPECT_EQ(p.layers->GetForegroundSettings(), own);

    SetFirstBrightness(*own, 0.25);
    EXPECT_EQ(Written(*defaults), defaultsBefore);
    ASSERT_EQ(unique->SetUnique(true), LMerrSuccess);
    EXPECT_EQ(unique->ForegroundSettings(), own) << "a second SetUnique(true) makes no new copy";

    ASSERT_EQ(unique->SetUnique(false), LMerrSuccess);
    EXPECT_EQ(unique->ForegroundSettings(), defaults);
    EXPECT_EQ(unique->LayerSettings(kBackgroundId), shared->LayerSettings(kBackgroundId));
    EXPECT_EQ(FirstBrightness(*unique->ForegroundSettings()), 0.0);
}

TEST(ForegroundLayerTest, BecomingUniqueWithoutDefaultsFails)
{
    ForegroundImageLayer loose(QStringLiteral("loose"), QStringLiteral("/photos/loose.jpg"));
    EXPECT_EQ(loose.SetUnique(true), LMerrNoForegroundSettings);
    EXPECT_FALSE(loose.IsUnique());
    EXPECT_FALSE(loose.ForegroundSettings());
}

TEST(LayerManagerTest, AddedLayerGetsSettingsInDefaultsAndEveryForeground)
{
    ProjectWithForegrounds p;
    const auto shared = p.Add(QStringLiteral("shared"));
    const auto unique = p.Add(QStringLiteral("unique"));
    ASSERT_EQ(unique->SetUnique(true), LMerrSuccess);
    const QList<QUuid> order = p.layers->LayerList()->CompositeOrder();

    auto layer = std::make_shared<ImageLayer>(LayerTypeImage, QStringLiteral("Layer 1"), QStringLiteral("/logo.png"));
    ASSERT_EQ(p.layers->AddLayer(layer), LMerrSuccess);
    EXPECT_EQ(p.layers->GetLayer(layer->Id()), layer);
    EXPECT_EQ(p.layers->Count(LayerTypeImage), 1);
    const ImageLayerSettingsPtr defaults = p.layers->GetLayerSettings(layer->Id(), QUuid());
    ASSERT_TRUE(defaults);
    EXPECT_EQ(shared->LayerSettings(layer->Id()), defaults);
    const ImageLayerSettingsPtr own = unique->LayerSettings(layer->Id());
    ASSERT_TRUE(own);
    EXPECT_NE(own, defaults);
    EXPECT_EQ(TypesOf(own->Transforms()), (std::vector<int>{0, 1}));
    std::shared_ptr<AbstractTransformItem> fit;
    ASSERT_EQ(own->Transforms().GetFilterByType(TransformItemTypeFit, fit), LMerrSuccess);
    EXPECT_EQ(static_cast<FitTransformItem&>(*fit).Fit(), FitToNone);
    EXPECT_EQ(p.layers->LayerList()->CompositeOrder(), order) << "the caller sets the order";

    EXPECT_EQ(p.layers->AddLayer(layer), LMerrLayerPresent);
    EXPECT_EQ(shared->LayerSettings(layer->Id()), defaults);

    ASSERT_EQ(p.layers->RemoveLayer(layer->Id()), LMerrSuccess);
    EXPECT_FALSE(p.layers->GetLayer(layer->Id()));
    EXPECT_FALSE(p.layers->GetLayerSettings(layer->Id(), QUuid()));
    EXPECT_FALSE(shared->LayerSettings(layer->Id()));
    EXPECT_FALSE(unique->LayerSettings(layer->Id()));
}

TEST(LayerManagerTest, ForegroundHandedToAddLayerIsRefusedAndNotKept)
{
    ProjectWithForegrounds p;
    auto foreground = std::make_shared<ImageLayer>(LayerTypeForeground, QStringLiteral("f"), QStringLiteral("/f.jpg"));
    EXPECT_EQ(p.layers->AddLayer(foreground), LMerrInvalidData);
    EXPECT_FALSE(p.layers->GetLayer(foreground->Id()));
    EXPECT_EQ(p.layers->AddLayer(nullptr), LMerrInvalidData);
}

TEST(LayerManagerTest, RemovingLayers)
{
    ProjectWithForegrounds p;
    const auto background = p.layers->GetBackground();
    background->SetPath(QStringLiteral("/photos/beach.jpg"));
    background->SetDimensions(QSize(40, 30));
    ASSERT_EQ(p.layers->RemoveLayer(kBackgroundId), LMerrSuccess);
    EXPECT_EQ(p.layers->GetBackground(), background) << "the background keeps its slot";
    EXPECT_TRUE(background->Path().isEmpty());
    EXPECT_EQ(background->Dimensions(), QSize(0, 0));
    EXPECT_EQ(p.layers->RemoveLayer(QUuid::createUuid()), LMerrLayerMissing);

    const auto current = p.Add(QStringLiteral("Photo"));
    p.layers->SetCurrentForegroundId(current->Id());
    EXPECT_EQ(p.layers->RemoveForegroundLayerFromPath(QStringLiteral("/photos/photo.jpg")), LMerrForegroundMissing)
        << "paths compare case-sensitively";
    EXPECT_TRUE(p.layers->ForegroundExistsFromPath(QStringLiteral("/photos/Photo.jpg")));
    EXPECT_EQ(p.layers->RemoveForegroundLayerFromPath(QStringLiteral("/photos/Photo.jpg")), LMerrSuccess);
    EXPECT_TRUE(p.layers->CurrentForegroundId().isNull());
    EXPECT_FALSE(p.layers->IsCurrentForegroundUnique());
    EXPECT_EQ(p.layers->RemoveForegroundLayer(current->Id()), LMerrForegroundMissing);

    // Removing the current foreground by the current id itself (a reference to what is cleared).
    const auto other = p.Add(QStringLiteral("Other"));
    p.layers->SetCurrentForegroundId(other->Id());
    EXPECT_EQ(p.layers->RemoveForegroundLayer(p.layers->CurrentForegroundId()), LMerrSuccess);
    EXPECT_FALSE(p.layers->GetForeground(other->Id()));
    EXPECT_TRUE(p.layers->CurrentForegroundId().isNull());
}

TEST(LayerManagerTest, LookupsByType)
{
    ProjectWithForegrounds p;
    const auto foreground = p.Add(QStringLiteral("a"));
    EXPECT_TRUE(p.layers->Exists(LayerTypeBackground, kOverlayId)) << "only type 1 chooses the other list";
    EXPECT_FALSE(p.layers->Exists(LayerTypeForeground, kOverlayId));
    EXPECT_TRUE(p.layers->Exists(LayerTypeForeground, foreground->Id()));
    EXPECT_FALSE(p.layers->GetLayer(foreground->Id()));
    EXPECT_EQ(p.layers->GetForegroundFromPath(QStringLiteral("/photos/a.jpg")), foreground);
    EXPECT_EQ(p.layers->Count(LayerTypeBackground), 1);
    EXPECT_EQ(p.layers->Count(LayerTypeForeground), 1);
    EXPECT_FALSE(p.layers->GetLayerSettings(LayerTypeImage));
    EXPECT_FALSE(p.layers->GetLayerSettings(LayerTypeForeground));

    p.layers->SetCurrentForegroundId(foreground->Id());
    p.layers->Clear(LayerTypeForeground);
    EXPECT_EQ(p.layers->Count(LayerTypeForeground), 0);
    EXPECT_TRUE(p.layers->CurrentForegroundId().isNull());
    EXPECT_TRUE(p.layers->GetForegroundSettings()) << "the defaults stay";
}

class LayerFileOrderTest : public TempDirTest {};

TEST_F(LayerFileOrderTest, ForegroundsAndLayerSettingsAreWrittenInAscendingIdOrder)
{
    ProjectWithForegrounds p;
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(p.Add(QStringLiteral("f%1").arg(i))->SetUnique(i % 2 == 0), LMerrSuccess);
    ASSERT_EQ(p.layers->AddLayer(std::make_shared<ImageLayer>(LayerTypeImage, "x", "/x.png")), LMerrSuccess);

    QDomDocument document;
    ASSERT_TRUE(document.setContent(SavedBytes(*p.project, QStringLiteral("order.lumo4"))));
    const auto ascending = [](const QDomElement& parent, const QString& child, const QString& idTag) {
        std::vector<QUuid> ids;
        for (QDomElement e = parent.firstChildElement(child); !e.isNull(); e = e.nextSiblingElement(child))
            ids.push_back(QUuid(e.firstChildElement(idTag).text()));
        return ids.size() > 1 && std::is_sorted(ids.begin(), ids.end());
    };
    const QDomElement list = document.documentElement().firstChildElement(QStringLiteral("foregroundImageLayerList"));
    EXPECT_TRUE(ascending(list, QStringLiteral("foregroundImageLayer"), QStringLiteral("id")));
    EXPECT_TRUE(ascending(list.firstChildElement(QStringLiteral("defaultImageSettings"))
                              .firstChildElement(QStringLiteral("layerSettings")),
                          QStringLiteral("layerSetting"), QStringLiteral("parentId")));
    const QDomElement unique = list.firstChildElement(QStringLiteral("foregroundImageLayer"));
    for (QDomElement e = unique; !e.isNull(); e = e.nextSiblingElement(QStringLiteral("foregroundImageLayer"))) {
        if (e.attribute(QStringLiteral("unique")) == QLatin1String("1")) {
            EXPECT_TRUE(ascending(e.firstChildElement(QStringLiteral("layerSettings")), QStringLiteral("layerSetting"),
                                  QStringLiteral("parentId")));
        }
    }
}

TEST(ForegroundLayerTest, ReadsItsElement)
{
    const QString valid = QStringLiteral(
        "<foregroundImageLayer enabled='0' collapsed='1' viewed='1' batched='1' unique='0' exported='1'>"
        "<id>{aaaaaaaa-1111-4111-8111-111111111111}</id><type>1</type><name>Alpha</name><path>/a.jpg</path>"
        "<dpiX>300</dpiX><dpiY>240</dpiY><thumbnailFilename>a.png</thumbnailFilename></foregroundImageLayer>");
    ForegroundImageLayer loaded({}, {});
    ASSERT_EQ(LoadItem(loaded, valid), LMerrSuccess);
    EXPECT_EQ(loaded.Id(), QUuid(QStringLiteral("{aaaaaaaa-1111-4111-8111-111111111111}")));
    EXPECT_FALSE(loaded.IsEnabled());
    EXPECT_TRUE(loaded.IsCollapsed() && loaded.IsViewed() && loaded.IsBatched() && loaded.IsExported());
    EXPECT_FALSE(loaded.IsUnique());
    EXPECT_EQ(loaded.Name(), QStringLiteral("Alpha"));
    EXPECT_TRUE(loaded.IsValid()) << "a path makes the layer valid";
    EXPECT_EQ(loaded.DpiY(), 240u);
    EXPECT_EQ(Written(loaded),
              QStringLiteral("<foregroundImageLayer enabled=\"0\" collapsed=\"1\" viewed=\"1\" batched=\"1\" "
                             "unique=\"0\" exported=\"1\"><id><![CDATA[{aaaaaaaa-1111-4111-8111-111111111111}]]></id>"
                             "<type>1</type><name><![CDATA[Alpha]]></name><path><![CDATA[/a.jpg]]></path><dpiX>300</dpiX>"
                             "<dpiY>240</dpiY><thumbnailFilename><![CDATA[a.png]]></thumbnailFilename>"
                             "</foregroundImageLayer>"));

    struct Case {
        const char* name;
        QString from;
        QString to;
        LMerr expected;
    };
    const Case cases[] = {
        {"id that is no uuid", "{aaaaaaaa-1111-4111-8111-111111111111}", "abc", LMerrInvalidLayerId},
        {"type outside 0..3", "<type>1</type>", "<type>5</type>", LMerrInvalidLayerType},
        {"negative type", "<type>1</type>", "<type>-1</type>", LMerrInvalidLayerType},
        {"no viewed", " viewed='1'", "", LMerrInvalidData},
        {"no dpiX", "<dpiX>300</dpiX>", "", LMerrInvalidData},
        {"negative dpi", "<dpiX>300</dpiX>", "<dpiX>-3</dpiX>", LMerrInvalidData},
        {"unique without settings", "unique='0'", "unique='1'", LMerrInvalidData},
    };
    for (const Case& c : cases) {
        ForegroundImageLayer layer({}, {});
        EXPECT_EQ(LoadItem(layer, QString(valid).replace(c.from, c.to)), c.expected) << c.name;
    }
    // Another layer type is taken and given back on saving, but the layer stays a foreground:
    // the render pipeline goes by Type().
    for (const int type : {0, 2, 3}) {
        ForegroundImageLayer other({}, {});
        ASSERT_EQ(LoadItem(other, QString(valid).replace("<type>1<", QStringLiteral("<type>%1<").arg(type))),
                  LMerrSuccess) << type;
        EXPECT_EQ(other.Type(), LayerTypeForeground);
        EXPECT_TRUE(Written(other).contains(QStringLiteral("<type>%1</type>").arg(type))) << type;
    }
    ForegroundImageLayer older({}, {});
    ASSERT_EQ(LoadItem(older, QString(valid).replace(" exported='1'", "")), LMerrSuccess);
    EXPECT_FALSE(older.IsExported());
}
