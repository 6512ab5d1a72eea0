// The layers panel over the default project: the fixed rows, adding, ordering, switching, renaming
// and removing further layers, drops, missing files and their relink, the table after a reopened
// project, and the table always the composite order reversed.

#include "ImagePanelTest.h"
#include "LayoutCheck.h"

#include "Controls/Buttons.h"
#include "Controls/TableWidget.h"
#include "Toolbox/LayerPropertiesWidget.h"
#include "Toolbox/LayersWidget.h"
#include "Toolbox/SingleImport.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

namespace lumo::ui::testing {
namespace {

class LayersPanelTest : public ImagePanelTest {
protected:
    void SetUp() override
    {
        ImagePanelTest::SetUp();
        if (HasFatalFailure())
            return;
        CurrentProject()->SetCurrentToolset(app::ToolsetSectionLayers);
        panel = Show(new LayersWidget(nullptr));
        panel->UpdateFromModel();
    }

    TableWidget& Table() { return *panel->Table(); }

    // Whether the cell shows the program's image at that resource path.
    bool CellShows(int row, int column, const QString& path)
    {
        const QTableWidgetItem* item = Table().item(row, column);
        const QImage expected(path);
        if (item == nullptr || expected.isNull())
            return false;
        return item->icon().pixmap(expected.size()).toImage().convertToFormat(QImage::Format_ARGB32) ==
               expected.convertToFormat(QImage::Format_ARGB32);
    }
    QString NameOfRow(int row) { return Table().item(row, LayersWidget::NameColumn)->text(); }

    std::vector<QString> Names()
    {
        std::vector<QString> names;
        for (int row = 0; row < Table().rowCount(); ++row)
            names.push_back(NameOfRow(row));
        return names;
    }

    // The table read bottom-up: the order the canvas draws.
    QList<QUuid> TableOrder()
    {
        QList<QUuid> ids;
        for (int row = Table().rowCount() - 1; row >= 0; --row)
            ids.append(panel->RowLayerId(row));
        return ids;
    }

    void ClickCell(int row, int column)
    {
        const QTableWidgetItem* item = Table().item(row, column);
        ASSERT_NE(item, nullptr) << "row " << row << " column " << column;
        QTest::mouseClick(Table().viewport(), Qt::LeftButton, {}, Table().visualItemRect(item).center());
    }

    // Sends a drag of the files over the table and, when accepted, drops them.
    bool DragAndDrop(const QStringList& paths)
    {
        const std::unique_ptr<QMimeData> data = Drop(paths);
        const QPoint at = Table().viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Table().viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Table().viewport(), &drop);
        return true;
    }

    // A further layer with an image, added through the panel.
    QUuid AddLayerWithImage(const QString& path)
    {
        const QUuid id = panel->SlotAddNewLayer();
        EXPECT_TRUE(panel->Properties()->SetImage(path));
        return id;
    }

    LayersWidget* panel = nullptr;
};

TEST_F(LayersPanelTest, ANewProjectListsTheForegroundAboveTheBackgroundInItalics)
{
    ASSERT_EQ(Table().rowCount(), 2);
    EXPECT_EQ(Names(), (std::vector<QString>{"Foreground", "Background"}));
    EXPECT_EQ(panel->RowType(0), app::LayerTypeForeground);
    EXPECT_EQ(panel->RowLayerId(0), manager->LayerList()->StaticForegroundId());
    EXPECT_EQ(panel->RowLayerId(1), manager->GetBackground()->Id());
    for (int row = 0; row < 2; ++row) {
        EXPECT_TRUE(Table().item(row, LayersWidget::NameColumn)->font().italic());
        EXPECT_EQ(Table().item(row, LayersWidget::EnableColumn)->checkState(), Qt::Checked);
        // Their arrow and marker cells keep an icon's room, empty.
        for (const int column : {LayersWidget::UpColumn, LayersWidget::DownColumn, LayersWidget::OfflineColumn})
            EXPECT_TRUE(CellShows(row, column, ":/Icons/BlankIcon.png")) << "row " << row << " column " << column;
    }
    EXPECT_FALSE(panel->Properties()->isVisible());
    EXPECT_EQ(panel->SelectedRow(), -1);
    EXPECT_EQ(TableOrder(), manager->LayerList()->CompositeOrder());
}

TEST_F(LayersPanelTest, NewLayersGoOnTopOrJustAboveTheSelectedOneUpToFive)
{
    const QUuid first = panel->SlotAddNewLayer();
    panel->ClearLayerSelection();
    const QUuid second = panel->SlotAddNewLayer();
    EXPECT_EQ(Names(), (std::vector<QString>{"Layer #2", "Layer #1", "Foreground", "Background"}));
    EXPECT_EQ(panel->SelectedRow(), 0);
    EXPECT_EQ(manager->LayerList()->CurrentlySelectedLayer(), second);
    EXPECT_TRUE(panel->Properties()->isVisible());
    EXPECT_EQ(panel->Properties()->LayerId(), second);

    ClickCell(1, LayersWidget::NameColumn);
    EXPECT_EQ(manager->LayerList()->CurrentlySelectedLayer(), first);
    panel->AddButton()->click();
    EXPECT_EQ(Names(), (std::vector<QString>{"Layer #2", "Layer #3", "Layer #1", "Foreground", "Background"}));
    EXPECT_EQ(panel->SelectedRow(), 1);
    EXPECT_EQ(TableOrder(), manager->LayerList()->CompositeOrder());

    panel->AddButton()->click();
    panel->AddButton()->click();
    ASSERT_EQ(Table().rowCount(), LayersWidget::MaximumRows);
    Dialogs().AnswerMessage(QMessageBox::Ok);
    panel->AddButton()->click();
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    const MessageRequest& told = Dialogs().Requests()[0].message;
    EXPECT_EQ(told.icon, QMessageBox::Information);
    EXPECT_EQ(told.text, "You have already added the maximum number of layers to this project.");
    EXPECT_EQ(Table().rowCount(), LayersWidget::MaximumRows);
    EXPECT_FALSE(DragAndDrop({WriteImage("sixth.png")}));
    EXPECT_EQ(Table().rowCount(), LayersWidget::MaximumRows);
}

TEST_F(LayersPanelTest, ArrowsMoveFurtherLayersPastTheForegroundButNeverBelowTheBackground)
{
    // Rows: Layer #2, Layer #1, Foreground, Background.
    const QUuid one = panel->SlotAddNewLayer();
    const QUuid two = panel->SlotAddNewLayer();
    const QUuid fg = manager->LayerList()->StaticForegroundId();
    const QUuid bg = manager->GetBackground()->Id();
    struct Move {
        int row;
        LayersWidget::Column arrow;
        QList<QUuid> topDown;
    };
    const std::vector<Move> moves = {
        {0, LayersWidget::UpColumn, {two, one, fg, bg}},   // the top row stays
        {1, LayersWidget::DownColumn, {two, fg, one, bg}}, // below the foreground
        {2, LayersWidget::DownColumn, {two, fg, one, bg}}, // never below the background
        {2, LayersWidget::UpColumn, {two, one, fg, bg}},
        {0, LayersWidget::DownColumn, {one, two, fg, bg}},
        {1, LayersWidget::DownColumn, {one, fg, two, bg}},
        {1, LayersWidget::UpColumn, {one, fg, two, bg}},   // the foreground row has no arrows
        {3, LayersWidget::UpColumn, {one, fg, two, bg}},   // nor the background row
    };
    for (std::size_t i = 0; i < moves.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "move " << i);
        const QUuid selected = manager->LayerList()->CurrentlySelectedLayer();
        canvasRefreshes->clear();
        ClickCell(moves[i].row, moves[i].arrow);
        QList<QUuid> expected = moves[i].topDown;
        std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(TableOrder(), expected);
        EXPECT_EQ(manager->LayerList()->CompositeOrder(), expected);
        // The selection stays on its layer.
        EXPECT_EQ(manager->LayerList()->CurrentlySelectedLayer(), selected);
        EXPECT_EQ(panel->RowLayerId(panel->SelectedRow()), selected);
    }
}

TEST_F(LayersPanelTest, TheFixedRowsOnlySwitchAndTellTheirSection)
{
    QSignalSpy foreground(panel, &LayersWidget::SignalForegroundEnabled);
    QSignalSpy background(panel, &LayersWidget::SignalBackgroundEnabled);
    const QUuid layer = panel->SlotAddNewLayer();
    ClickCell(1, LayersWidget::NameColumn);
    QTest::mouseDClick(Table().viewport(), Qt::LeftButton, {},
                       Table().visualItemRect(Table().item(1, LayersWidget::NameColumn)).center());
    EXPECT_EQ(manager->LayerList()->CurrentlySelectedLayer(), layer);
    EXPECT_EQ(Table().findChild<QLineEdit*>(), nullptr);

    ClickCell(1, LayersWidget::EnableColumn);
    EXPECT_FALSE(manager->ForegroundLayerList()->IsEnabled());
    EXPECT_EQ(foreground.count(), 1);
    ClickCell(2, LayersWidget::EnableColumn);
    EXPECT_FALSE(manager->GetBackground()->IsEnabled());
    EXPECT_EQ(background.count(), 1);
    EXPECT_EQ(panel->SelectedRow(), 0);

    // The section turns the box's switch into the notice that reaches the table.
    manager->ForegroundLayerList()->SetEnabled(true);
    panel->UpdateLayerEnabledState(app::LayerTypeForeground);
    EXPECT_EQ(Table().item(1, LayersWidget::EnableColumn)->checkState(), Qt::Checked);
}

TEST_F(LayersPanelTest, RemovingSelectsTheLayerBelowAndTheLastRestartsTheNames)
{
    panel->SlotAddNewLayer();
    panel->SlotAddNewLayer();
    panel->SlotAddNewLayer();
    // Layer #3, #2, #1: removing #2 selects #1 below it.
    ClickCell(1, LayersWidget::NameColumn);
    Dialogs().AnswerMessage(QMessageBox::Yes);
    panel->RemoveButton()->click();
    EXPECT_EQ(Names(), (std::vector<QString>{"Layer #3", "Layer #1", "Foreground", "Background"}));
    EXPECT_EQ(panel->SelectedRow(), 1);
    EXPECT_EQ(panel->Properties()->LayerId(), panel->RowLayerId(1));
    // The lowest further layer: the one above is selected next.
    Dialogs().AnswerMessage(QMessageBox::Yes);
    panel->RemoveButton()->click();
    EXPECT_EQ(panel->SelectedRow(), 0);
    Dialogs().AnswerMessage(QMessageBox::Cancel);
    panel->RemoveButton()->click();
    EXPECT_EQ(Table().rowCount(), 3);
    Dialogs().AnswerMessage(QMessageBox::Yes);
    panel->RemoveButton()->click();
    EXPECT_EQ(Table().rowCount(), 2);
    EXPECT_FALSE(panel->Properties()->isVisible());
    EXPECT_TRUE(manager->LayerList()->CurrentlySelectedLayer().isNull());
    EXPECT_EQ(manager->LayerList()->SizeByType(app::LayerTypeImage), 0u);
    panel->AddButton()->click();
    EXPECT_EQ(NameOfRow(0), "Layer #1");
    EXPECT_EQ(TableOrder(), manager->LayerList()->CompositeOrder());
}

TEST_F(LayersPanelTest, AnEmptiedNameGetsTheOldOneBack)
{
    const QUuid id = panel->SlotAddNewLayer();
    QTableWidgetItem* name = Table().item(0, LayersWidget::NameColumn);
    name->setText("Clouds");
    EXPECT_EQ(manager->GetLayer(id)->Name(), "Clouds");
    panel->SlotLayerItemDoubleClicked(name);
    name->setText(QString());
    EXPECT_EQ(name->text(), "Clouds");
    EXPECT_EQ(manager->GetLayer(id)->Name(), "Clouds");
}

TEST_F(LayersPanelTest, UnreadableAndOversizedDropsAreRefusedWithTheirMessages)
{
    QImage huge(6501, 6500, QImage::Format_Mono);
    huge.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    huge.fill(1);
    const QString tooLarge = files.filePath("huge.png");
    ASSERT_TRUE(huge.save(tooLarge));
    struct Case {
        QString path;
        QString message;
    };
    const std::vector<Case> cases = {
        {WriteNotAnImage("notes.png"),
         "The following file could not be loaded because it isn't a compatible image file."},
        {tooLarge, "This image cannot be imported because its dimensions exceed the maximum that is supported."},
    };
    for (const Case& c : cases) {
        Dialogs().AnswerMessage(QMessageBox::Ok);
        EXPECT_TRUE(DragAndDrop({c.path}));
        EXPECT_EQ(Dialogs().Requests().back().message.text, c.message);
        EXPECT_EQ(Table().rowCount(), 2);
    }
    // A folder, or two files, are not taken at all.
    EXPECT_FALSE(DragAndDrop({files.path()}));
    EXPECT_FALSE(DragAndDrop({WriteImage("a.png"), WriteImage("b.png")}));

    const QString photo = WriteImage("clouds.png");
    EXPECT_TRUE(DragAndDrop({photo}));
    ASSERT_EQ(Table().rowCount(), 3);
    EXPECT_EQ(manager->GetLayer(panel->RowLayerId(0))->Path(), photo);
}

TEST_F(LayersPanelTest, RelinkingOneOfTwoMovedFilesRelinksBoth)
{
    const QUuid first = AddLayerWithImage(WriteImage("one.png"));
    const QUuid second = AddLayerWithImage(WriteImage("two.png"));
    ASSERT_TRUE(QDir().mkpath(files.filePath("moved")));
    for (const QString name : {"one.png", "two.png"})
        ASSERT_TRUE(QFile::rename(files.filePath(name), files.filePath("moved/" + name)));
    EXPECT_TRUE(CellShows(panel->FindRow(first), LayersWidget::OfflineColumn, ":/Icons/ImageOffline.png"));
    emit App().SignalCheckOfflineImages();
    EXPECT_TRUE(manager->GetLayer(first)->IsOffline());
    EXPECT_TRUE(manager->GetLayer(second)->IsOffline());
    EXPECT_FALSE(Table().isColumnHidden(LayersWidget::OfflineColumn));
    EXPECT_TRUE(CellShows(panel->FindRow(first), LayersWidget::OfflineColumn, ":/Icons/ImageOfflineEnabled.png"));

    Dialogs().AnswerMessage(QMessageBox::Yes).AnswerFiles({files.filePath("moved/two.png")});
    ClickCell(panel->FindRow(second), LayersWidget::OfflineColumn);
    ASSERT_EQ(Dialogs().Requests().size(), 2u);
    EXPECT_EQ(Dialogs().Requests()[0].message.title, "Image not found");
    EXPECT_EQ(Dialogs().Requests()[0].message.text,
              QStringLiteral("The image cannot be found in its original location.\n\n%1\n\n"
                             "Would you like to relocate it?")
                  .arg(files.filePath("two.png")));
    EXPECT_EQ(Dialogs().Requests()[1].file.folder, files.path());
    for (const QUuid& id : {first, second}) {
        EXPECT_FALSE(manager->GetLayer(id)->IsOffline());
        EXPECT_TRUE(manager->GetLayer(id)->Path().contains("/moved/"));
        EXPECT_TRUE(CellShows(panel->FindRow(id), LayersWidget::OfflineColumn, ":/Icons/ImageOffline.png"));
    }
    EXPECT_TRUE(Table().isColumnHidden(LayersWidget::OfflineColumn));
}

TEST_F(LayersPanelTest, AFileMissingAtOpeningIsLoadedWhenItComesBack)
{
    const QString path = WriteImage("late.png");
    const QUuid id = AddLayerWithImage(path);
    const QString projectPath = files.filePath("late.lumo4");
    ASSERT_EQ(CurrentProject()->SaveToXml(projectPath, ApplicationVersion, "4.0"), app::LMerrSuccess);
    ASSERT_TRUE(QFile::rename(path, path + ".away"));
    ASSERT_EQ(App().OpenProject(projectPath), app::LMerrSuccess);
    manager = CurrentProject()->GetLayerManager();
    // The opening lists it, once; the checks at each activation say nothing more.
    Dialogs().AnswerMessage(QMessageBox::Ok);
    EXPECT_FALSE(App().LoadProjectImages());
    panel->UpdateFromModel();
    emit App().SignalCheckOfflineImages();
    EXPECT_TRUE(manager->GetLayer(id)->IsOffline());
    EXPECT_FALSE(Table().isColumnHidden(LayersWidget::OfflineColumn));

    ASSERT_TRUE(QFile::rename(path + ".away", path));
    emit App().SignalCheckOfflineImages();
    EXPECT_FALSE(manager->GetLayer(id)->IsOffline());
    EXPECT_TRUE(App().GetThumbnail(id));
    EXPECT_TRUE(Table().isColumnHidden(LayersWidget::OfflineColumn));
    EXPECT_EQ(Dialogs().Requests().size(), 1u);
}

TEST_F(LayersPanelTest, EnableNoticesOnAnEmptyOrStaleTableAreSkipped)
{
    panel->ClearLayerTable();
    panel->UpdateLayerEnabledState(app::LayerTypeForeground);
    panel->UpdateLayerEnabledState(app::LayerTypeBackground);
    EXPECT_EQ(panel->FindRow(manager->GetBackground()->Id()), -1);

    // At an open the import boxes rebuild first; their switches reach the emptied table.
    SingleImport foreground(QStringLiteral("Foreground"), app::LayerTypeForeground, nullptr);
    SingleImport background(QStringLiteral("Background"), app::LayerTypeBackground, nullptr);
    QObject::connect(&foreground, &SingleImport::SignalForegroundEnabled, panel,
            [this] { panel->UpdateLayerEnabledState(app::LayerTypeForeground); });
    QObject::connect(&background, &SingleImport::SignalBackgroundEnabled, panel,
            [this] { panel->UpdateLayerEnabledState(app::LayerTypeBackground); });
    foreground.UpdateFromModel();
    background.UpdateFromModel();
    EXPECT_EQ(Table().rowCount(), 0);

    // The table of the previous project, as at an open before the layers section rebuilds.
    panel->UpdateFromModel();
    ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
    manager = CurrentProject()->GetLayerManager();
    panel->UpdateLayerEnabledState(app::LayerTypeForeground);
    panel->UpdateLayerEnabledState(app::LayerTypeBackground);
    EXPECT_EQ(Table().rowCount(), 2);
}

TEST_F(LayersPanelTest, AReopenedProjectKeepsItsSelectedLayerAndStaysUnmodified)
{
    const QUuid lower = AddLayerWithImage(WriteImage("lower.png"));
    AddLayerWithImage(WriteImage("upper.png"));
    ClickCell(panel->FindRow(lower), LayersWidget::NameColumn);
    const QString projectPath = files.filePath("layers.lumo4");
    ASSERT_EQ(CurrentProject()->SaveToXml(projectPath, ApplicationVersion, "4.0"), app::LMerrSuccess);

    ASSERT_EQ(App().OpenProject(projectPath), app::LMerrSuccess);
    manager = CurrentProject()->GetLayerManager();
    ASSERT_TRUE(App().LoadProjectImages());
    panel->ClearLayerTable();
    panel->UpdateFromModel();
    EXPECT_EQ(manager->LayerList()->CurrentlySelectedLayer(), lower);
    EXPECT_EQ(panel->RowLayerId(panel->SelectedRow()), lower);
    EXPECT_EQ(panel->Properties()->LayerId(), lower);
    EXPECT_EQ(Names(), (std::vector<QString>{"Layer #2", "Layer #1", "Foreground", "Background"}));
    EXPECT_TRUE(CurrentProject()->IsEqualToSavedProject(projectPath));
}

TEST_F(LayersPanelTest, WithoutAStoredSelectionARebuildShowsTheTopmostLayer)
{
    AddLayerWithImage(WriteImage("lower.png"));
    const QUuid upper = AddLayerWithImage(WriteImage("upper.png"));
    // A selection naming no layer of the table counts as none.
    for (const QUuid& stored : {QUuid(), QUuid::createUuid()}) {
        SCOPED_TRACE(stored.isNull() ? "none stored" : "a stale one stored");
        manager->LayerList()->SetCurrentlySelectedLayer(stored);
        panel->ClearLayerTable();
        panel->UpdateFromModel();
        EXPECT_EQ(panel->RowLayerId(panel->SelectedRow()), upper);
        EXPECT_EQ(manager->LayerList()->CurrentlySelectedLayer(), upper);
        EXPECT_EQ(panel->Properties()->LayerId(), upper);
        EXPECT_FALSE(panel->Properties()->isHidden());
    }
}

TEST_F(LayersPanelTest, AfterEveryActionTheTableIsTheCompositeOrderReversed)
{
    const QString photo = WriteImage("photo.png");
    const std::vector<std::function<void()>> script = {
        [&] { panel->AddButton()->click(); },
        [&] { panel->AddButton()->click(); },
        [&] { ClickCell(0, LayersWidget::DownColumn); },
        [&] { ClickCell(1, LayersWidget::DownColumn); },
        [&] { ClickCell(0, LayersWidget::NameColumn); },
        [&] { ClickCell(0, LayersWidget::EnableColumn); },
        [&] { DragAndDrop({photo}); },
        [&] { ClickCell(2, LayersWidget::UpColumn); },
        [&] { Table().item(0, LayersWidget::NameColumn)->setText("Sky"); },
        [&] { panel->DisableAllAction()->trigger(); },
        [&] { panel->EnableAllAction()->trigger(); },
        [&] {
            Dialogs().AnswerMessage(QMessageBox::Yes);
            panel->RemoveButton()->click();
        },
        [&] { panel->AddButton()->click(); },
        [&] { ClickCell(3, LayersWidget::UpColumn); },
        [&] { panel->UpdateFromModel(); },
        [&] {
            Dialogs().AnswerMessage(QMessageBox::Yes);
            panel->ResetButton()->click();
        },
        [&] { panel->AddButton()->click(); },
    };
    for (std::size_t step = 0; step < script.size(); ++step) {
        SCOPED_TRACE(::testing::Message() << "step " << step);
        script[step]();
        ASSERT_EQ(TableOrder(), manager->LayerList()->CompositeOrder());
        const int selected = panel->SelectedRow();
        EXPECT_EQ(selected >= 0 ? panel->RowLayerId(selected) : QUuid(),
                  manager->LayerList()->CurrentlySelectedLayer());
    }
    EXPECT_EQ(NameOfRow(0), "Layer #1");
}

TEST_F(LayersPanelTest, TheContextMenuSwitchesEveryRowAndOffersRemoveAllOnlyWithFurtherLayers)
{
    EXPECT_EQ(panel->CreateContextMenu()->actions().size(), 2);
    const QUuid id = panel->SlotAddNewLayer();
    canvasRefreshes->clear();
    const auto menu = panel->CreateContextMenu();
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions().last()->text(), "Remove All");

    QSignalSpy foreground(panel, &LayersWidget::SignalForegroundEnabled);
    QSignalSpy background(panel, &LayersWidget::SignalBackgroundEnabled);
    menu->actions().at(1)->trigger();
    EXPECT_FALSE(manager->ForegroundLayerList()->IsEnabled());
    EXPECT_FALSE(manager->GetBackground()->IsEnabled());
    EXPECT_FALSE(manager->GetLayer(id)->IsEnabled());
    for (int row = 0; row < Table().rowCount(); ++row)
        EXPECT_EQ(Table().item(row, LayersWidget::EnableColumn)->checkState(), Qt::Unchecked) << row;
    EXPECT_EQ(foreground.count(), 1);
    EXPECT_EQ(background.count(), 1);
    EXPECT_FALSE(panel->Properties()->isEnabled());
    EXPECT_EQ(canvasRefreshes->count(), 1);
    menu->actions().at(0)->trigger();
    EXPECT_TRUE(manager->GetLayer(id)->IsEnabled());
    EXPECT_TRUE(panel->Properties()->isEnabled());
    panel->ClearLayerTable();
    EXPECT_EQ(panel->CreateContextMenu(), nullptr);
}

// Reset asks before it takes every further layer away: Cancel keeps them all, Yes leaves the
// foreground and the background alone.
TEST_F(LayersPanelTest, ResetAsksBeforeRemovingAllTheLayersAndCancelKeepsThem)
{
    const QUuid first = AddLayerWithImage(WriteImage("sky.png"));
    const QUuid second = panel->SlotAddNewLayer();
    const QList<QUuid> before = TableOrder();

    Dialogs().AnswerMessage(QMessageBox::Cancel);
    panel->ResetButton()->click();
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    const MessageRequest& asked = Dialogs().Requests().back().message;
    EXPECT_EQ(asked.text, "Are you sure you wish to remove all the layers?");
    EXPECT_EQ(asked.buttons, QMessageBox::Yes | QMessageBox::Cancel);
    EXPECT_EQ(asked.defaultButton, QMessageBox::Yes);
    EXPECT_EQ(TableOrder(), before);
    EXPECT_TRUE(manager->GetLayer(first));
    EXPECT_TRUE(manager->GetLayer(second));
    EXPECT_TRUE(panel->Properties()->isVisible());

    Dialogs().AnswerMessage(QMessageBox::Yes);
    panel->ResetButton()->click();
    EXPECT_EQ(Names(), (std::vector<QString>{"Foreground", "Background"}));
    EXPECT_FALSE(manager->GetLayer(first));
    EXPECT_FALSE(manager->GetLayer(second));
    EXPECT_EQ(TableOrder(), manager->LayerList()->CompositeOrder());
    EXPECT_FALSE(panel->Properties()->isVisible());
    // Nothing left to remove: no question.
    panel->ResetButton()->click();
    EXPECT_EQ(Dialogs().Requests().size(), 2u);
}

TEST_F(LayersPanelTest, GrabOfThePanelWithLayersAndProperties)
{
    AddLayerWithImage(WriteImage("sky.png", 300, 200, qRgb(90, 140, 220)));
    AddLayerWithImage(WriteImage("frame.png", 300, 200, qRgb(200, 120, 60)));
    panel->SlotAddNewLayer();
    Table().item(0, LayersWidget::NameColumn)->setText("A layer with a long name that the title has to cut");
    ProcessEvents();
    ExpectSoundLayout(*host, "layers panel");
    EXPECT_FALSE(SaveGrab(host->grab().toImage(), "layers-panel").isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
