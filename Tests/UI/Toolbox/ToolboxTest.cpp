#include "ToolboxTest.h"

#include <QTest>

namespace lumo::ui::testing {

void ToolboxTest::SetUp()
{
    CanvasTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(ShowGreenScreenProject(0.05));
    project = CurrentProject();
    const app::LayerManagerPtr manager = project->GetLayerManager();
    settings = manager->GetForegroundSettings();
    foreground = manager->GetForeground(manager->CurrentForegroundId());
    ASSERT_TRUE(settings && foreground);

    host = std::make_unique<QWidget>();
    host->setObjectName(QStringLiteral("PanelHost"));
    host->setAttribute(Qt::WA_StyledBackground);
    host->setStyleSheet(App().ApplicationStyleSheet() + QStringLiteral("#PanelHost { background: #1a1a1a; }"));
    m_hostLayout = new QVBoxLayout(host.get());
    m_hostLayout->setContentsMargins(8, 8, 8, 8);
    host->setFixedWidth(380);
    layerRefreshes = std::make_unique<QSignalSpy>(&App(), kLayerSignal);
    canvasRefreshes = std::make_unique<QSignalSpy>(&App(), kCanvasSignal);
}

void ToolboxTest::TearDown()
{
    layerRefreshes.reset();
    canvasRefreshes.reset();
    host.reset();
    CanvasTest::TearDown();
}

void ToolboxTest::ShowToolset(app::ToolsetSections toolset)
{
    project->SetCurrentToolset(toolset);
    Notify(DataTypeInterface, FieldTypeCurrentToolset);
}

void ToolboxTest::FillCaches()
{
    QImage image;
    ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor0), app::LMerrSuccess);
    ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor3), app::LMerrSuccess);
    forcedResult = app::LMerrSuccess;
}

void ToolboxTest::MarkCachesCurrent()
{
    const auto processor = App().GetRenderProcessor();
    for (const HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3}) {
        for (int level = app::RenderLevelKey; level <= app::RenderLevelFinal; ++level)
            processor->SetCacheValid(foreground, level, factor, true);
        Tables().ShadowValid[factor] = true;
    }
    layerRefreshes->clear();
    canvasRefreshes->clear();
}

StaleState ToolboxTest::Stale() const
{
    const auto processor = App().GetRenderProcessor();
    StaleState state;
    state.shadowFull = !Tables().ShadowValid[HXDownsampleFactor0];
    state.shadowPreview = !Tables().ShadowValid[HXDownsampleFactor3];
    app::RenderLevel level = app::RenderLevelKey;
    state.previewFromPlacement =
        !processor->IsCacheValid(foreground, HXDownsampleFactor3, level) && level == app::RenderLevelPostFilter;
    state.fullStale = !processor->IsCacheValid(foreground, HXDownsampleFactor0, level);
    return state;
}

app::RenderProcessorTestPeer::Tables& ToolboxTest::Tables()
{
    return app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor());
}

bool ToolboxTest::MaskCacheValid(const QUuid& id)
{
    const auto record = Tables().alphaMaskRenderer->Record(id);
    return record && record->fullValid && record->reducedValid;
}

void ToolboxTest::ClickCell(QTableWidget& table, int row, int column)
{
    const QTableWidgetItem* item = table.item(row, column);
    ASSERT_NE(item, nullptr) << "row " << row << " column " << column;
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualItemRect(item).center());
}

std::vector<QUuid> ToolboxTest::RowIds(const LastFirstTable& rows)
{
    std::vector<QUuid> ids;
    for (int row = 0; row < rows.RowCount(); ++row)
        ids.push_back(rows.RowId(row));
    return ids;
}

} // namespace lumo::ui::testing
