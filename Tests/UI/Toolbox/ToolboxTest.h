#pragma once

// The toolbox panels over an opened green-screen project shown in the canvas view (CanvasTest):
// a host window under the program's style sheet takes the panel, the foreground's render caches
// and the shadow's can be marked current before an action and read afterwards, and clicks go to
// the panels' tables as a user gives them.

#include "CanvasTest.h"
#include "Grabs.h"
#include "RefreshSignals.h"
#include "RenderProcessorTestPeer.h"

#include "Controls/TableWidget.h"
#include "Toolbox/LastFirstTable.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "LayerSettings.h"

#include <QColor>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <functional>
#include <memory>
#include <vector>

// Readable colours in failure messages.
inline void PrintTo(const QColor& colour, std::ostream* out)
{
    *out << colour.name(QColor::HexArgb).toStdString();
}

namespace lumo::ui::testing {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

// What a mask edit left stale, read after the caches were marked current.
struct StaleState {
    bool shadowFull = false;
    bool shadowPreview = false;
    // The foreground's preview from its placement on (and nothing before it); its full render.
    bool previewFromPlacement = false;
    bool fullStale = false;
    bool operator==(const StaleState&) const = default;
};

inline void PrintTo(const StaleState& s, std::ostream* out)
{
    *out << "{shadow " << s.shadowFull << "/" << s.shadowPreview << ", preview from placement "
         << s.previewFromPlacement << ", full " << s.fullStale << "}";
}

// The mask refresh: both shadows, the foreground's preview from its placement; the full render is
// left to the requested redraw.
inline constexpr StaleState kMaskRefreshed{true, true, true, false};
inline constexpr StaleState kNothingStale{};

class ToolboxTest : public CanvasTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the panel into the shown host (which takes it) under the program's style sheet.
    template <class Panel>
    Panel* Show(Panel* panel)
    {
        m_hostLayout->addWidget(panel);
        host->show();
        ProcessEvents();
        return panel;
    }

    void ShowToolset(app::ToolsetSections toolset);

    // Renders both factors (masks drawn) and stops the scene from rendering again, so that the
    // caches stay as the panels leave them.
    void FillCaches();
    // Every stage of the foreground and both shadows current.
    void MarkCachesCurrent();
    StaleState Stale() const;
    static app::RenderProcessorTestPeer::Tables& Tables();
    // Both factors of the mask's drawn coverage are current; false without a record.
    static bool MaskCacheValid(const QUuid& id);

    // A left click in the middle of a cell, as the user gives it.
    static void ClickCell(QTableWidget& table, int row, int column);
    // The ids of the table's rows, top first.
    static std::vector<QUuid> RowIds(const LastFirstTable& rows);
    template <class List>
    static std::vector<QUuid> ListIdsLastFirst(const List& list)
    {
        std::vector<QUuid> ids;
        for (auto it = list.Begin(); it != list.End(); ++it)
            ids.insert(ids.begin(), (*it)->Id());
        return ids;
    }

    // A fixed run of adds, arrow clicks, name clicks and removals through a panel's buttons and
    // table: after every step the table lists the list last-first, a move leaves the selection on
    // its item, and the list's selected item is the selected row's. At most four items at once.
    template <class Panel, class List>
    void RunTableScript(Panel& panel, const List& list, const std::function<QUuid()>& listSelection)
    {
        enum Kind { Add, Remove, Up, Down, Show };
        struct Step {
            Kind kind;
            int row = 0; // taken modulo the row count
        };
        const std::vector<Step> script = {
            {Add},     {Add},     {Add},     {Up, 2},   {Up, 1},   {Down, 0}, {Show, 2}, {Up, 2},  {Down, 1},
            {Add},     {Remove},  {Add},     {Show, 3}, {Up, 3},   {Down, 0}, {Remove},  {Up, 0},  {Down, 2},
            {Add},     {Show, 1}, {Remove},  {Remove},  {Up, 1},   {Remove},  {Remove},  {Add},    {Remove},
        };
        QTableWidget& table = *panel.Rows().Table();
        for (std::size_t index = 0; index < script.size(); ++index) {
            const Step& step = script[index];
            SCOPED_TRACE(::testing::Message() << "step " << index);
            const int rows = panel.Rows().RowCount();
            const int row = rows > 0 ? step.row % rows : 0;
            const QUuid selectedBefore = panel.Rows().SelectedId();
            switch (step.kind) {
            case Add:
                panel.AddButton()->click();
                break;
            case Remove:
                panel.RemoveButton()->click();
                break;
            case Up:
            case Down:
                ASSERT_NO_FATAL_FAILURE(ClickCell(table, row,
                                                  step.kind == Up ? LastFirstTable::UpColumn : LastFirstTable::DownColumn));
                EXPECT_EQ(panel.Rows().SelectedId(), selectedBefore);
                break;
            case Show:
                ASSERT_NO_FATAL_FAILURE(ClickCell(table, row, LastFirstTable::NameColumn));
                break;
            }
            ASSERT_EQ(RowIds(panel.Rows()), ListIdsLastFirst(list));
            if (panel.Rows().SelectedRow() >= 0) {
                EXPECT_EQ(listSelection(), panel.Rows().SelectedId());
            }
        }
    }

    app::ProjectPtr project;
    app::ForegroundImageLayerSettingsPtr settings;
    app::ImageLayerPtr foreground;
    std::unique_ptr<QWidget> host;
    std::unique_ptr<QSignalSpy> layerRefreshes;
    std::unique_ptr<QSignalSpy> canvasRefreshes;

private:
    QVBoxLayout* m_hostLayout = nullptr;
};

} // namespace lumo::ui::testing
