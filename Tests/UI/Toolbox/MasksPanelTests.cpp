// The masks panel and the mask properties over the canvas view: adding, naming, ordering,
// switching and removing masks, the refresh each slot asks for (and those that ask none), the
// properties' type, feather, inversion and closing with the canvas signals, and grabs.

#include "ToolboxTest.h"
#include "LayoutCheck.h"

#include "Canvas/MaskGraphicsItems.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"
#include "Toolbox/MaskPropertiesWidget.h"
#include "Toolbox/MasksWidget.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <functional>

namespace lumo::ui::testing {
namespace {

class MasksPanelTest : public ToolboxTest {
protected:
    void SetUp() override
    {
        ToolboxTest::SetUp();
        if (HasFatalFailure())
            return;
        ShowToolset(app::ToolsetSectionMasks);
        panel = Show(new MasksWidget(nullptr));
    }

    app::MaskList& Masks() { return settings->Masks(); }
    TableWidget& Table() { return *panel->Rows().Table(); }
    MaskPropertiesWidget& Properties() { return *panel->Properties(); }

    app::MaskPtr MaskOfRow(int row)
    {
        app::MaskPtr mask;
        Masks().Get(panel->Rows().RowId(row), mask);
        return mask;
    }

    QString NameOfRow(int row) { return Table().item(row, LastFirstTable::NameColumn)->text(); }

    void AddMasks(int count)
    {
        for (int i = 0; i < count; ++i)
            panel->AddButton()->click();
    }

    // Three masks, each a closed triangle on the photograph, the top one shown; every cache drawn
    // and current.
    void AddDrawnMasks()
    {
        AddMasks(3);
        for (auto it = Masks().Begin(); it != Masks().End(); ++it) {
            for (const QPointF& p : {QPointF(20, 20), QPointF(150, 30), QPointF(80, 140)})
                (*it)->Add(std::make_shared<app::MaskHandle>(p));
            (*it)->SetClosed(true);
        }
        ClickCell(Table(), 0, LastFirstTable::NameColumn);
        ASSERT_NO_FATAL_FAILURE(FillCaches());
        MarkCachesCurrent();
        for (int row = 0; row < 3; ++row)
            ASSERT_TRUE(MaskCacheValid(panel->Rows().RowId(row))) << row;
    }

    // The one redraw of the mask refresh: the foreground from its placement, in full.
    void ExpectOneMaskRefresh()
    {
        ASSERT_EQ(layerRefreshes->size(), 1);
        const QList<QVariant> request = layerRefreshes->first();
        EXPECT_EQ(request.at(0).toUuid(), project->GetLayerManager()->LayerList()->StaticForegroundId());
        EXPECT_EQ(request.at(1).value<app::RenderLevel>(), app::RenderLevelPostFilter);
        EXPECT_EQ(request.at(2).value<HXDownsampleFactor>(), HXDownsampleFactor0);
        EXPECT_EQ(canvasRefreshes->size(), 0);
    }

    MasksWidget* panel = nullptr;
};

TEST_F(MasksPanelTest, NewMasksAreNumberedListedNewestFirstAndDrawnAtOnceUpToTen)
{
    panel->SelectButton()->click();
    ASSERT_EQ(Masks().CurrentMaskMode(), app::MaskModeSelect);
    AddMasks(3);

    EXPECT_EQ(NameOfRow(0), "Mask #3");
    EXPECT_EQ(NameOfRow(1), "Mask #2");
    EXPECT_EQ(NameOfRow(2), "Mask #1");
    EXPECT_EQ(RowIds(panel->Rows()), ListIdsLastFirst(Masks()));
    const QUuid third = panel->Rows().RowId(0);
    EXPECT_EQ(panel->Rows().SelectedRow(), 0);
    EXPECT_EQ(Table().currentRow(), 0);
    EXPECT_EQ(Masks().CurrentlySelectedMask(), third);
    ASSERT_NE(view.MaskShape(), nullptr);
    EXPECT_EQ(view.MaskShape()->MaskId(), third);
    EXPECT_TRUE(panel->CreateButton()->isChecked());
    EXPECT_EQ(Masks().CurrentMaskMode(), app::MaskModeCreate);
    EXPECT_TRUE(Properties().isVisible());
    EXPECT_EQ(Properties().MaskId(), third);
    const app::MaskPtr mask = MaskOfRow(0);
    EXPECT_TRUE(mask->IsRemove() && mask->IsEnabled());
    EXPECT_FALSE(mask->IsInverted() || mask->IsClosed());
    EXPECT_EQ(mask->Feather(), 0);

    AddMasks(7);
    ASSERT_EQ(Masks().Size(), 10u);
    Dialogs().AnswerMessage(QMessageBox::Ok);
    panel->AddButton()->click();
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    const MessageRequest& message = Dialogs().Requests().front().message;
    EXPECT_EQ(message.icon, QMessageBox::Information);
    EXPECT_EQ(message.title, ApplicationName);
    EXPECT_EQ(message.text, "You have already added the maximum number of masks to this project.");
    EXPECT_EQ(message.buttons, QMessageBox::Ok);
    EXPECT_EQ(Masks().Size(), 10u);
    EXPECT_EQ(panel->Rows().RowCount(), 10);
    EXPECT_EQ(Masks().NameSuffix(), 11u);
}

TEST_F(MasksPanelTest, RemovingSelectsTheRowAboveAndEmptyingRestartsTheNumbers)
{
    ASSERT_NO_FATAL_FAILURE(AddDrawnMasks());
    const QUuid third = panel->Rows().RowId(0);
    const QUuid second = panel->Rows().RowId(1);

    panel->RemoveButton()->click();
    EXPECT_EQ(Tables().alphaMaskRenderer->Record(third), nullptr) << "its drawn coverage dropped";
    EXPECT_EQ(panel->Rows().RowCount(), 2);
    EXPECT_EQ(panel->Rows().SelectedRow(), 0);
    EXPECT_EQ(panel->Rows().RowId(0), second);
    EXPECT_EQ(Masks().CurrentlySelectedMask(), second);
    ASSERT_NE(view.MaskShape(), nullptr);
    EXPECT_EQ(view.MaskShape()->MaskId(), second);
    EXPECT_EQ(Properties().MaskId(), second);

    // From the bottom row the row above is selected.
    ClickCell(Table(), 1, LastFirstTable::NameColumn);
    panel->RemoveButton()->click();
    EXPECT_EQ(panel->Rows().SelectedRow(), 0);
    EXPECT_EQ(Masks().CurrentlySelectedMask(), second);

    panel->RemoveButton()->click();
    EXPECT_EQ(Masks().Size(), 0u);
    EXPECT_TRUE(Properties().isHidden());
    EXPECT_EQ(view.MaskShape(), nullptr);
    EXPECT_TRUE(Masks().CurrentlySelectedMask().isNull());
    EXPECT_EQ(panel->Rows().SelectedRow(), -1);
    panel->RemoveButton()->click(); // nothing left: nothing happens
    AddMasks(1);
    EXPECT_EQ(NameOfRow(0), "Mask #1");

    // Both ways of removing every mask ask nothing and restart the numbers.
    const std::vector<std::pair<const char*, std::function<void()>>> removeAll = {
        {"Reset", [this] { panel->ResetButton()->click(); }},
        {"Remove All", [this] { panel->Rows().RemoveAllAction()->trigger(); }},
    };
    for (const auto& [name, trigger] : removeAll) {
        SCOPED_TRACE(name);
        AddMasks(2);
        trigger();
        EXPECT_EQ(Masks().Size(), 0u);
        EXPECT_EQ(panel->Rows().RowCount(), 0);
        EXPECT_TRUE(Properties().isHidden());
        EXPECT_EQ(view.MaskShape(), nullptr);
        AddMasks(1);
        EXPECT_EQ(NameOfRow(0), "Mask #1");
        trigger();
    }
    EXPECT_TRUE(Dialogs().Requests().empty());
}

TEST_F(MasksPanelTest, ARebuildListsTheMasksAndShowsTheSelectedOne)
{
    std::vector<app::MaskPtr> masks;
    for (const char* name : {"Sky", "Hair", "Shadow"}) {
        masks.push_back(std::make_shared<app::Mask>(name, true, false, false, true, 0, 1.0f, 1.0f));
        ASSERT_EQ(Masks().Add(masks.back()), app::LMerrSuccess);
    }
    masks[1]->SetEnabled(false);
    masks[1]->SetRemove(false);
    Masks().SetCurrentlySelectedMask(masks[1]->Id());
    Masks().SetCurrentMaskMode(app::MaskModeSelect);

    panel->UpdateFromModel();
    EXPECT_EQ(NameOfRow(0), "Shadow");
    EXPECT_EQ(NameOfRow(2), "Sky");
    EXPECT_EQ(RowIds(panel->Rows()), ListIdsLastFirst(Masks()));
    EXPECT_FALSE(panel->Rows().IsRowChecked(1));
    EXPECT_EQ(panel->Rows().SelectedRow(), 1);
    EXPECT_EQ(Properties().MaskId(), masks[1]->Id());
    EXPECT_TRUE(Properties().isVisible());
    EXPECT_FALSE(Properties().isEnabled()) << "the selected mask is off";
    EXPECT_EQ(Properties().TypeCombo()->currentIndex(), 1);
    EXPECT_TRUE(panel->SelectButton()->isChecked());

    // With no mask selected no row looks selected: the rows added selecting themselves leave
    // neither a current cell nor a highlight behind.
    Masks().SetCurrentlySelectedMask(QUuid());
    panel->UpdateFromModel();
    EXPECT_EQ(panel->Rows().SelectedRow(), -1);
    EXPECT_EQ(panel->Rows().Table()->currentRow(), -1);
    EXPECT_TRUE(panel->Rows().Table()->selectedItems().isEmpty());

    panel->ClearMaskTable();
    EXPECT_EQ(panel->Rows().RowCount(), 0);
    EXPECT_TRUE(Properties().isHidden());
    EXPECT_TRUE(Properties().MaskId().isNull());

    // An empty list numbers from 1 again.
    for (const app::MaskPtr& mask : masks)
        Masks().Remove(mask->Id());
    Masks().SetNameSuffix(7);
    panel->UpdateFromModel();
    EXPECT_EQ(Masks().NameSuffix(), 1u);
    EXPECT_TRUE(Masks().CurrentlySelectedMask().isNull());
}

// Which slots redraw the masked foreground and which do not: each action starts from three drawn
// masks with the top one shown and every cache current.
TEST_F(MasksPanelTest, TheMaskRefreshFollowsEditsButNotNamingOrShowing)
{
    enum class Coverage { Kept, Stale, Dropped };
    struct Case {
        const char* name;
        std::function<void()> act;
        bool refreshes;
        Coverage shownMask; // what becomes of the shown mask's drawn coverage
        bool arrowAtAnEnd = false; // the order must stay as it was
    };
    const auto click = [this](int row, int column) { return [=, this] { ClickCell(Table(), row, column); }; };
    const std::vector<Case> cases = {
        {"add", [this] { AddMasks(1); }, false, Coverage::Kept},
        {"show another mask", click(1, LastFirstTable::NameColumn), false, Coverage::Kept},
        {"rename", [this] { Table().item(0, LastFirstTable::NameColumn)->setText("Hair"); }, false, Coverage::Kept},
        {"up on the top row", click(0, LastFirstTable::UpColumn), false, Coverage::Kept, true},
        {"down on the bottom row", click(2, LastFirstTable::DownColumn), false, Coverage::Kept, true},
        {"select mode", [this] { panel->SelectButton()->click(); }, false, Coverage::Kept},
        {"an enable click that left the box", [this] { emit Table().cellClicked(1, LastFirstTable::EnableColumn); },
         false, Coverage::Kept},
        {"up", click(1, LastFirstTable::UpColumn), true, Coverage::Kept},
        {"down", click(0, LastFirstTable::DownColumn), true, Coverage::Kept},
        {"enable box", click(1, LastFirstTable::EnableColumn), true, Coverage::Kept},
        {"Disable All", [this] { panel->Rows().DisableAllAction()->trigger(); }, true, Coverage::Kept},
        {"Enable All", [this] { panel->Rows().EnableAllAction()->trigger(); }, true, Coverage::Kept},
        {"remove", [this] { panel->RemoveButton()->click(); }, true, Coverage::Dropped},
        {"Remove All", [this] { panel->Rows().RemoveAllAction()->trigger(); }, true, Coverage::Dropped},
        {"type", [this] { Properties().TypeCombo()->setCurrentIndex(1); }, true, Coverage::Stale},
        {"invert", [this] { Properties().InvertCheckBox()->click(); }, true, Coverage::Stale},
        {"feather in its box", [this] { Properties().FeatherControl()->GetSpinBox()->setValue(12); }, true,
         Coverage::Stale},
        {"open with the button", [this] { Properties().CloseButton()->click(); }, true, Coverage::Stale},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        panel->SlotResetMasks();
        ASSERT_NO_FATAL_FAILURE(AddDrawnMasks());
        const QUuid shown = panel->Rows().RowId(0);
        const std::vector<QUuid> order = ListIdsLastFirst(Masks());
        c.act();
        ProcessEvents();
        if (c.arrowAtAnEnd) {
            EXPECT_EQ(ListIdsLastFirst(Masks()), order);
            EXPECT_EQ(RowIds(panel->Rows()), order);
        }
        if (c.refreshes) {
            EXPECT_EQ(Stale(), kMaskRefreshed);
            ExpectOneMaskRefresh();
        } else {
            EXPECT_EQ(Stale(), kNothingStale);
            EXPECT_EQ(layerRefreshes->size() + canvasRefreshes->size(), 0);
        }
        const auto record = Tables().alphaMaskRenderer->Record(shown);
        const Coverage coverage = !record ? Coverage::Dropped : MaskCacheValid(shown) ? Coverage::Kept : Coverage::Stale;
        EXPECT_EQ(coverage, c.shownMask);
    }
}

TEST_F(MasksPanelTest, ScriptedAddsMovesAndRemovesKeepTheTableLastFirst)
{
    RunTableScript(*panel, Masks(), [this] { return Masks().CurrentlySelectedMask(); });
}

TEST_F(MasksPanelTest, TheEnableBoxSwitchesTheMaskAndItsOutlineTogether)
{
    ASSERT_NO_FATAL_FAILURE(AddDrawnMasks());
    const app::MaskPtr shown = MaskOfRow(0);
    const std::vector<std::pair<const char*, std::function<void(bool)>>> switches = {
        {"its box", [this](bool) { ClickCell(Table(), 0, LastFirstTable::EnableColumn); }},
        {"all", [this](bool on) { (on ? panel->Rows().EnableAllAction() : panel->Rows().DisableAllAction())->trigger(); }},
    };
    for (const auto& [name, toggle] : switches) {
        SCOPED_TRACE(name);
        toggle(false);
        EXPECT_FALSE(shown->IsEnabled());
        EXPECT_FALSE(panel->Rows().IsRowChecked(0));
        EXPECT_FALSE(Properties().isEnabled());
        ASSERT_NE(view.MaskShape(), nullptr);
        EXPECT_FALSE(view.MaskShape()->isVisible());
        // Writing the outline back keeps the mask off.
        view.StoreMaskHandles();
        EXPECT_FALSE(shown->IsEnabled());
        toggle(true);
        EXPECT_TRUE(shown->IsEnabled());
        EXPECT_TRUE(Properties().isEnabled());
        EXPECT_TRUE(view.MaskShape()->isVisible());
    }
    // A click beside the box changes nothing.
    emit Table().cellClicked(0, LastFirstTable::EnableColumn);
    EXPECT_TRUE(shown->IsEnabled());
}

TEST_F(MasksPanelTest, AClearedNameComesBackOnlyWhenItsEditorOpenedByADoubleClick)
{
    AddMasks(2);
    const app::MaskPtr top = MaskOfRow(0);
    QTableWidgetItem* cell = Table().item(0, LastFirstTable::NameColumn);
    const auto clearInEditor = [this] {
        auto* editor = Table().viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr) << "no editor open";
        editor->clear();
        QTest::keyClick(editor, Qt::Key_Return);
        ProcessEvents();
    };

    // A user's double-click: a click, then the second press that arrives as the double-click.
    const QPoint centre = Table().visualItemRect(cell).center();
    QTest::mouseClick(Table().viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(Table().viewport(), Qt::LeftButton, {}, centre);
    ASSERT_NO_FATAL_FAILURE(clearInEditor());
    EXPECT_EQ(cell->text(), "Mask #2");
    EXPECT_EQ(top->MaskName(), "Mask #2");

    Table().editItem(cell);
    auto* editor = Table().viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("Sky");
    QTest::keyClick(editor, Qt::Key_Return);
    ProcessEvents();
    EXPECT_EQ(top->MaskName(), "Sky");
    EXPECT_EQ(Properties().GetContainer()->Title()->TitleLabel()->text(), "Sky Properties");

    Table().editItem(cell);
    ASSERT_NO_FATAL_FAILURE(clearInEditor());
    EXPECT_EQ(cell->text(), "");
    EXPECT_EQ(top->MaskName(), "");
}

TEST_F(MasksPanelTest, TheContextMenuOffersTheListActionsOnlyWithRows)
{
    EXPECT_TRUE(panel->Rows().CreateContextMenu()->actions().isEmpty());
    AddMasks(1);
    const std::unique_ptr<QMenu> menu = panel->Rows().CreateContextMenu();
    QStringList entries;
    for (const QAction* action : menu->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(entries, QStringList({"Enable All", "Disable All", "-", "Remove All"}));
}

// ---- Mask properties

TEST_F(MasksPanelTest, AFeatherDragMovesTheOutlineAndTheReleaseRendersOnce)
{
    ASSERT_NO_FATAL_FAILURE(AddDrawnMasks());
    const app::MaskPtr mask = MaskOfRow(0);
    QSlider* slider = Properties().FeatherControl()->GetSlider();
    const QPoint from(slider->width() / 4, slider->height() / 2);
    const QPoint to(slider->width() * 3 / 4, slider->height() / 2);

    QTest::mousePress(slider, Qt::LeftButton, {}, from);
    QTest::mouseMove(slider, to);
    EXPECT_GT(slider->sliderPosition(), 60);
    EXPECT_EQ(view.MaskShape()->Feather(), slider->sliderPosition());
    EXPECT_EQ(Stale(), kNothingStale);
    EXPECT_EQ(layerRefreshes->size(), 0);
    EXPECT_TRUE(MaskCacheValid(mask->Id()));

    QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
    EXPECT_EQ(mask->Feather(), slider->value());
    EXPECT_EQ(view.MaskShape()->Feather(), slider->value());
    EXPECT_EQ(Stale(), kMaskRefreshed);
    ExpectOneMaskRefresh();
    EXPECT_FALSE(MaskCacheValid(mask->Id()));
}

TEST_F(MasksPanelTest, OpeningAClosedInvertedMaskClearsAndDisablesInvert)
{
    ASSERT_NO_FATAL_FAILURE(AddDrawnMasks());
    const app::MaskPtr mask = MaskOfRow(0);
    CheckBox* invert = Properties().InvertCheckBox();
    ButtonDefault* button = Properties().CloseButton();
    ASSERT_TRUE(invert->isEnabled() && button->isEnabled());
    EXPECT_EQ(button->text(), "Open Mask");
    invert->click();
    ASSERT_TRUE(mask->IsInverted() && view.MaskShape()->IsInverted());
    MarkCachesCurrent();

    button->click();
    EXPECT_FALSE(mask->IsClosed());
    EXPECT_FALSE(mask->IsInverted());
    EXPECT_FALSE(invert->isChecked());
    EXPECT_FALSE(invert->isEnabled());
    EXPECT_EQ(button->text(), "Close Mask");
    EXPECT_FALSE(view.MaskShape()->IsClosed());
    EXPECT_FALSE(view.MaskShape()->IsInverted());
    ExpectOneMaskRefresh();

    MarkCachesCurrent();
    button->click();
    EXPECT_TRUE(mask->IsClosed());
    EXPECT_TRUE(invert->isEnabled());
    EXPECT_FALSE(mask->IsInverted());
    EXPECT_EQ(button->text(), "Open Mask");
    EXPECT_TRUE(view.MaskShape()->IsClosed());
    ExpectOneMaskRefresh();
}

TEST_F(MasksPanelTest, TheCanvasSaysWhenTheOutlineCanCloseAndWhenItClosed)
{
    AddMasks(1);
    const app::MaskPtr mask = MaskOfRow(0);
    ButtonDefault* button = Properties().CloseButton();
    EXPECT_FALSE(button->isEnabled()) << "a new mask has no points";
    emit App().SignalMaskEnableClosed(true);
    EXPECT_TRUE(button->isEnabled());
    emit App().SignalMaskEnableClosed(false);
    EXPECT_FALSE(button->isEnabled());

    MarkCachesCurrent();
    emit App().SignalMaskDragDropClosed(true);
    EXPECT_TRUE(mask->IsClosed());
    EXPECT_EQ(button->text(), "Open Mask");
    EXPECT_TRUE(Properties().InvertCheckBox()->isEnabled());
    ExpectOneMaskRefresh();
}

TEST_F(MasksPanelTest, WithoutAMaskThePropertiesChangeNothing)
{
    ASSERT_NO_FATAL_FAILURE(AddDrawnMasks());
    const app::MaskPtr shown = MaskOfRow(0);
    const app::Mask before(*shown);
    MaskPropertiesWidget& loose = *Show(new MaskPropertiesWidget(nullptr));
    ASSERT_TRUE(loose.MaskId().isNull());
    MarkCachesCurrent();

    loose.TypeCombo()->setCurrentIndex(1);
    loose.FeatherControl()->GetSpinBox()->setValue(40);
    loose.SlotUpdateMaskInvert(Qt::Checked);
    loose.SlotUpdateMaskClose();
    loose.SlotUpdateMaskFeather(30, HXDownsampleFactor0);
    // The canvas signals reach the panel too; only the panel showing the mask acts on them.
    Properties().ClearMask();
    emit App().SignalMaskDragDropClosed(false);

    EXPECT_TRUE(*shown == before);
    EXPECT_TRUE(view.MaskShape()->IsClosed());
    EXPECT_EQ(view.MaskShape()->Feather(), 0);
    EXPECT_EQ(Stale(), kNothingStale);
    EXPECT_EQ(layerRefreshes->size(), 0);
}

TEST_F(MasksPanelTest, ShowingAMaskOfTheOtherTypeKeepsItsTypeAndRendersOnce)
{
    AddMasks(2);
    MaskOfRow(1)->SetRemove(false);
    MarkCachesCurrent();
    ClickCell(Table(), 1, LastFirstTable::NameColumn);
    EXPECT_EQ(Properties().TypeCombo()->currentIndex(), 1);
    EXPECT_FALSE(MaskOfRow(1)->IsRemove());
    EXPECT_TRUE(MaskOfRow(0)->IsRemove());
    ExpectOneMaskRefresh();
}

// The two handle buttons turn the handles selected on the canvas, and only those, into straight or
// curved ones in the stored mask, and redraw it.
TEST_F(MasksPanelTest, TheHandleButtonsTurnTheSelectedHandlesStraightOrCurved)
{
    ASSERT_NO_FATAL_FAILURE(AddDrawnMasks());
    const app::MaskPtr mask = MaskOfRow(0);
    const auto types = [&mask] {
        std::vector<app::MaskHandleType> seen;
        for (auto it = mask->Begin(); it != mask->End(); ++it)
            seen.push_back((*it)->Type());
        return seen;
    };
    ASSERT_NE(view.MaskShape(), nullptr);
    ASSERT_EQ(view.MaskShape()->Handles().size(), 3);
    for (MaskHandleGraphicsItem* handle : view.MaskShape()->Handles())
        handle->setSelected(true);
    layerRefreshes->clear();
    panel->CurvedButton()->click();
    EXPECT_EQ(types(), std::vector<app::MaskHandleType>(3, app::MaskHandleTypeDualControl));
    ExpectOneMaskRefresh();

    // Only the first handle selected: it alone turns straight again.
    for (MaskHandleGraphicsItem* handle : view.MaskShape()->Handles())
        handle->setSelected(false);
    view.MaskShape()->Handles().first()->setSelected(true);
    layerRefreshes->clear();
    panel->StraightButton()->click();
    EXPECT_EQ(types(), (std::vector<app::MaskHandleType>{app::MaskHandleTypeNoControl, app::MaskHandleTypeDualControl,
                                                         app::MaskHandleTypeDualControl}));
    ExpectOneMaskRefresh();
}

TEST_F(MasksPanelTest, ALongNameIsCutInTheTitleWhereTheWidthEnds)
{
    AddMasks(1);
    const QString name = QString("Shadow under the left shoulder and the hair ").repeated(3);
    Table().item(0, LastFirstTable::NameColumn)->setText(name);
    QLabel* title = Properties().GetContainer()->Title()->TitleLabel();
    QString narrow = title->text();
    EXPECT_TRUE(narrow.endsWith(QString::fromUtf8("… Properties"))) << narrow.toStdString();
    const QFontMetrics metrics(title->font());
    EXPECT_LE(metrics.horizontalAdvance(narrow), Properties().width());

    host->setFixedWidth(700);
    ProcessEvents();
    EXPECT_GT(title->text().size(), narrow.size());
    EXPECT_LE(metrics.horizontalAdvance(title->text()), Properties().width());
    ASSERT_NO_FATAL_FAILURE(SaveGrab(host->grab().toImage(), "MasksPanelLongName"));
}

TEST_F(MasksPanelTest, GrabOfThePanel)
{
    ASSERT_NO_FATAL_FAILURE(AddDrawnMasks());
    AddMasks(1);
    Table().item(0, LastFirstTable::NameColumn)->setText("Background window");
    ClickCell(Table(), 1, LastFirstTable::EnableColumn);
    ClickCell(Table(), 2, LastFirstTable::NameColumn);
    Properties().InvertCheckBox()->click();
    Properties().FeatherControl()->SetValue(25);
    ProcessEvents();
    ExpectSoundLayout(*host, "masks panel");
    const QString path = SaveGrab(host->grab().toImage(), "MasksPanel");
    EXPECT_FALSE(path.isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
