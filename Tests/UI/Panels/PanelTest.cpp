#include "PanelTest.h"

#include "Controls/ValueControls.h"

#include "Project.h"

#include <QAbstractSlider>

namespace lumo::ui::testing {

void PanelTest::SetUp()
{
    UiTest::SetUp();
    ASSERT_TRUE(folder.isValid());
    const GreenScreenProject written = WriteGreenScreenProject(folder.path(), 0.05);
    ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
    LoadLayerImages(App());
    const app::ProjectPtr project = CurrentProject();
    project->SetCurrentToolset(app::ToolsetSectionFilters);
    project->SetCurrentLayerType(app::LayerTypeForeground);
    const app::LayerManagerPtr manager = project->GetLayerManager();
    foreground = manager->GetForeground(manager->CurrentForegroundId());
    background = manager->GetBackground();
    ASSERT_TRUE(foreground && background);
    // A project may keep a transparency for the background too; the default one does not.
    Filters(app::LayerTypeBackground).Add(std::make_shared<app::TransparencyFilterItem>(0.0));
    QImage image;
    for (const HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3})
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, factor), app::LMerrSuccess);

    host = std::make_unique<QWidget>();
    host->setObjectName(QStringLiteral("PanelHost"));
    host->setAttribute(Qt::WA_StyledBackground);
    host->setStyleSheet(App().ApplicationStyleSheet() + QStringLiteral("#PanelHost { background: #1a1a1a; }"));
    m_hostLayout = new QVBoxLayout(host.get());
    m_hostLayout->setContentsMargins(8, 8, 8, 8);
    m_hostLayout->setSpacing(4);
    host->setFixedWidth(380);

    m_connections.push_back(QObject::connect(
        &App(), qOverload<const QUuid&, app::RenderLevel, HXDownsampleFactor>(&Application::SignalCanvasRefreshRequested),
        [this](const QUuid& id, app::RenderLevel level, HXDownsampleFactor factor) {
            const app::LayerManagerPtr layers = CurrentProject()->GetLayerManager();
            const app::LayerType layer =
                id == layers->LayerList()->StaticForegroundId() ? app::LayerTypeForeground
                : id == background->Id()                       ? app::LayerTypeBackground
                                                                : app::LayerTypeImage;
            refreshes.push_back(LayerRefresh(layer, level, factor));
        }));
    m_connections.push_back(QObject::connect(&App(), qOverload<HXDownsampleFactor>(&Application::SignalCanvasRefreshRequested),
                                             [this](HXDownsampleFactor factor) { refreshes.push_back(CanvasRefresh(factor)); }));
}

void PanelTest::TearDown()
{
    for (const QMetaObject::Connection& connection : m_connections)
        QObject::disconnect(connection);
    host.reset();
    UiTest::TearDown();
}

app::FilterList& PanelTest::Filters(app::LayerType list)
{
    const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
    if (list == app::LayerTypeForeground)
        return manager->GetForegroundSettings()->Filters();
    return manager->GetLayerSettings(app::LayerTypeBackground)->Filters();
}

app::CompositeList& PanelTest::Compositors()
{
    return CurrentProject()->GetLayerManager()->GetForegroundSettings()->Compositors();
}

std::shared_ptr<app::AbstractFilterItem> PanelTest::FilterItem(app::FilterItemType type, app::LayerType list)
{
    std::shared_ptr<app::AbstractFilterItem> item;
    Filters(list).GetFilterByType(type, item);
    return item;
}

std::shared_ptr<app::AbstractCompositeItem> PanelTest::CompositeItem(app::CompositeItemType type)
{
    std::shared_ptr<app::AbstractCompositeItem> item;
    Compositors().GetFilterByType(type, item);
    return item;
}

void PanelTest::MarkCachesCurrent()
{
    const auto processor = App().GetRenderProcessor();
    for (const app::ImageLayerPtr& layer : {foreground, background})
        for (const HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3})
            for (int level = app::RenderLevelKey; level <= app::RenderLevelFinal; ++level)
                processor->SetCacheValid(layer, level, factor, true);
    refreshes.clear();
}

std::vector<StaleCache> PanelTest::StaleCaches() const
{
    std::vector<StaleCache> stale;
    const auto processor = App().GetRenderProcessor();
    for (const app::ImageLayerPtr& layer : {foreground, background})
        for (const HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3}) {
            app::RenderLevel level = app::RenderLevelKey;
            if (!processor->IsCacheValid(layer, factor, level))
                stale.push_back({layer == foreground ? app::LayerTypeForeground : app::LayerTypeBackground,
                                 static_cast<int>(factor), static_cast<int>(level)});
        }
    return stale;
}

QAbstractSpinBox* SpinBoxOf(AbstractEffectWidget& panel, int row)
{
    if (auto* pair = panel.RowControlAs<SpinSlider>(row))
        return pair->GetSpinBox();
    if (auto* pair = panel.RowControlAs<DoubleSpinSlider>(row))
        return pair->GetSpinBox();
    return nullptr;
}

QAbstractSlider* SliderOf(AbstractEffectWidget& panel, int row)
{
    if (auto* pair = panel.RowControlAs<SpinSlider>(row))
        return pair->GetSlider();
    if (auto* pair = panel.RowControlAs<DoubleSpinSlider>(row))
        return pair->GetSlider();
    return nullptr;
}

void TypeInto(AbstractEffectWidget& panel, int row, const QString& text)
{
    QAbstractSpinBox* box = SpinBoxOf(panel, row);
    ASSERT_NE(box, nullptr) << "row " << row << " has no spin box";
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

} // namespace lumo::ui::testing
