// The layout check over the whole program at the screen size of the run (the program runs twice:
// at 1920 x 1080 and at 1280 x 720): every toolbox page of the main window over a new project, a
// loaded one, a rich one and a greeting card, with each panel of a page folded in turn; the menus;
// the program's dialogs.

#include "Grabs.h"
#include "GreenScreenProject.h"
#include "LayoutCheck.h"
#include "Modal.h"
#include "UiTest.h"

#include "Canvas/CanvasScene.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/SmallWidgets.h"
#include "Shell/AboutWidget.h"
#include "Shell/StandardUserDialogs.h"
#include "Toolbox/MasksWidget.h"
#include "Toolbox/SingleImport.h"
#include "Toolbox/TextWidget.h"
#include "Toolbox/ToolboxDockWidget.h"
#include "Toolbox/ToolboxSections.h"
#include "Toolbox/ToolsetWidget.h"
#include "Window/MainWindow.h"

#include <QColorDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>

namespace lumo::ui::testing {
namespace {

const char* const kPageNames[] = {"canvas", "import", "key",     "masks",   "filters", "position",
                                  "layers", "effects", "overlay", "text", "export"};

QString ScreenName()
{
    const QSize size = QGuiApplication::primaryScreen()->size();
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

// The check itself, over small hosts each broken in one way (and a few sound ones): it names the
// fault a person would see, and nothing in a sound layout.
TEST(LayoutCheck, FindsEachKindOfFaultAndNothingInASoundLayout)
{
    struct Case {
        const char* name;
        std::function<void(QWidget*)> build; // children of a shown 240 x 400 host without a layout
        QString fault;                        // a part of the one fault expected; empty: none
    };
    const auto place = [](QWidget* widget, const QRect& where) {
        widget->setGeometry(where);
        return widget;
    };
    const std::vector<Case> cases = {
        {"sound", [&](QWidget* host) {
             place(new QLabel(QStringLiteral("Foreground"), host), {10, 10, 150, 20});
             place(new ButtonDefault(QIcon(QStringLiteral(":Icons/Plus.png")),
                                     QStringLiteral("Add Layer"), host), {10, 40, 150, 30});
         }, {}},
        {"label too narrow", [&](QWidget* host) {
             place(new QLabel(QStringLiteral("Foreground image"), host), {10, 10, 30, 20});
         }, QStringLiteral("text wider than its label")},
        {"label cut with an ellipsis", [&](QWidget* host) {
             place(new QLabel(QStringLiteral("Backgro") + QChar(0x2026), host), {10, 10, 150, 20});
         }, QStringLiteral("text shortened")},
        {"a properties title cut by design", [&](QWidget* host) {
             place(new QLabel(QStringLiteral("Portr") + QChar(0x2026) + QStringLiteral(" Properties"), host), {10, 10, 200, 20});
         }, {}},
        {"button too narrow", [&](QWidget* host) {
             place(new ButtonDefault(QIcon(QStringLiteral(":Icons/Reset.png")), QStringLiteral("Reset"), host), {10, 10, 30, 30});
         }, QStringLiteral("text wider than its button")},
        {"entry too wide", [&](QWidget* host) {
             auto* combo = new ComboBox(host);
             combo->addItem(QStringLiteral("Fit inside the canvas"));
             place(combo, {10, 10, 60, 25});
         }, QStringLiteral("wider than its box")},
        {"siblings over each other", [&](QWidget* host) {
             place(new QLabel(QStringLiteral("A"), host), {10, 10, 50, 20});
             place(new QLabel(QStringLiteral("B"), host), {40, 20, 50, 20});
         }, QStringLiteral("siblings overlap")},
        {"child past its parent", [&](QWidget* host) {
             auto* frame = place(new QFrame(host), {10, 10, 60, 30});
             place(new QLabel(QStringLiteral("X"), frame), {50, 0, 20, 20});
         }, QStringLiteral("outside its parent")},
        {"panel with a blank band", [&](QWidget* host) {
             auto* panel = new Container(QStringLiteral("Foreground"), ContainerFeatureCollapse, host);
             auto* body = new QVBoxLayout(panel->Body());
             body->addWidget(new QLabel(QStringLiteral("portrait.jpg")));
             panel->setGeometry(0, 0, 240, 300);
         }, QStringLiteral("panel taller than its content")},
        {"button without its icon", [&](QWidget* host) {
             place(new ButtonDefault(QStringLiteral("Add Layer"), host), {10, 10, 150, 30});
         }, QStringLiteral("button without its icon")},
        {"button showing nothing", [&](QWidget* host) { place(new QPushButton(host), {10, 10, 40, 30}); },
         QStringLiteral("button without text or icon")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget host;
        host.resize(240, 400);
        c.build(&host);
        host.show();
        QCoreApplication::processEvents();
        const QStringList faults = LayoutFaults(host);
        if (c.fault.isEmpty()) {
            EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
        } else {
            ASSERT_EQ(faults.size(), 1) << faults.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(faults.first().contains(c.fault)) << faults.first().toStdString();
        }
    }
}

class LayoutTest : public UiTest {
protected:
    void TearDown() override
    {
        window.reset();
        UiTest::TearDown();
    }

    // The window filling the screen, as a maximised window would, once the canvas has settled.
    MainWindow& ShowWindow(const QString& projectPath = QString())
    {
        window = std::make_unique<MainWindow>(projectPath);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->setWindowState(Qt::WindowNoState);
        window->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        Settle();
        return *window;
    }

    void Settle()
    {
        ProcessEvents();
        EXPECT_TRUE(QTest::qWaitFor([this] { return window->GetCanvasScene()->IsDrawingEnabled(); }, 10000));
        ProcessEvents();
    }

    void ShowPage(int index)
    {
        window->GetToolsetBar()->Button(index)->click();
        Relayout();
        ASSERT_EQ(window->GetToolboxDock()->Stack()->currentIndex(), index);
    }

    // A fold reaches the page's layout through a few rounds of posted layout requests.
    static void Relayout()
    {
        for (int round = 0; round < 4; ++round)
            ProcessEvents();
    }

    // The page as it is, then with each of its panels folded alone (a fold must not stretch another).
    void CheckPage(const QString& what, bool foldEach)
    {
        ExpectSoundLayout(*window, what);
        if (!foldEach)
            return;
        QWidget* page = window->GetToolboxDock()->Stack()->currentWidget();
        for (Container* panel : page->findChildren<Container*>()) {
            TitleButton* fold = panel->Title()->CollapseButton();
            if (fold == nullptr || !fold->isVisible() || !fold->isChecked())
                continue;
            fold->click();
            Relayout();
            ExpectSoundLayout(*window, what + QStringLiteral(", \"%1\" folded").arg(panel->Title()->TitleLabel()->text()));
            fold->click();
            Relayout();
        }
    }

    void CheckEveryPage(const QString& project)
    {
        for (int index = 0; index < 11; ++index) {
            ASSERT_NO_FATAL_FAILURE(ShowPage(index));
            const QString what = QStringLiteral("%1 at %2, page %3").arg(project, ScreenName(), kPageNames[index]);
            const int before = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
            CheckPage(what, true);
            // The other tabs of a tabbed page (the background's filters and position).
            for (QTabWidget* tabs : window->GetToolboxDock()->Stack()->currentWidget()->findChildren<QTabWidget*>()) {
                for (int tab = 1; tab < tabs->count(); ++tab) {
                    tabs->setCurrentIndex(tab);
                    Relayout();
                    CheckPage(what + QStringLiteral(", tab \"%1\"").arg(tabs->tabText(tab)), false);
                }
                tabs->setCurrentIndex(0);
                Relayout();
            }
            if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() > before)
                SaveGrab(window->grab().toImage(), QStringLiteral("layout-%1-%2-%3").arg(project, ScreenName(), kPageNames[index]));
        }
    }

    std::unique_ptr<MainWindow> window;
};

TEST_F(LayoutTest, EveryPageOverANewProject)
{
    ShowWindow();
    CheckEveryPage(QStringLiteral("new"));
}

TEST_F(LayoutTest, EveryPageOverAKeyedPhotograph)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const GreenScreenProject project = WriteGreenScreenProject(folder.path());
    ASSERT_EQ(App().OpenProject(project.projectPath), app::LMerrSuccess);
    LoadLayerImages(App());
    ShowWindow(project.projectPath);
    CheckEveryPage(QStringLiteral("keyed"));

    // For a person: the foreground box as it stays when the background box is folded.
    ASSERT_NO_FATAL_FAILURE(ShowPage(app::ToolsetSectionImport));
    auto* import = qobject_cast<ImportSection*>(window->GetToolboxDock()->Section(app::ToolsetSectionImport));
    ASSERT_NE(import, nullptr);
    import->BackgroundBox()->GetContainer()->Title()->CollapseButton()->click();
    Relayout();
    ExpectSoundLayout(*window, QStringLiteral("background folded"));
    SaveGrab(window->grab().toImage(), QStringLiteral("layout-import-background-folded-%1").arg(ScreenName()));
}

// Masks, text items and further layers, some of them offline.
TEST_F(LayoutTest, EveryPageOverARichProject)
{
    const QString rich = QStringLiteral(LUMORA_SOURCE_TEST_DATA) + "/projects/rich.lumo4";
    ASSERT_EQ(App().OpenProject(rich), app::LMerrSuccess);
    ShowWindow(rich);
    CheckEveryPage(QStringLiteral("rich"));

    // A new mask and a new text item, each with its properties panel.
    ASSERT_NO_FATAL_FAILURE(ShowPage(app::ToolsetSectionMasks));
    qobject_cast<MasksSection*>(window->GetToolboxDock()->Section(app::ToolsetSectionMasks))->Panel()->AddButton()->click();
    Relayout();
    ExpectSoundLayout(*window, QStringLiteral("rich at %1, a mask added").arg(ScreenName()));
    ASSERT_NO_FATAL_FAILURE(ShowPage(app::ToolsetSectionText));
    qobject_cast<TextSection*>(window->GetToolboxDock()->Section(app::ToolsetSectionText))->Panel()->AddButton()->click();
    Relayout();
    ExpectSoundLayout(*window, QStringLiteral("rich at %1, a text item added").arg(ScreenName()));
    SaveGrab(window->grab().toImage(), QStringLiteral("layout-rich-text-item-%1").arg(ScreenName()));
}

TEST_F(LayoutTest, EveryPageOverAGreetingCard)
{
    ShowWindow();
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotNewGreetingCard"));
    Settle();
    ASSERT_TRUE(CurrentProject()->GetCanvas().PrintAsCard());
    CheckEveryPage(QStringLiteral("card"));
    SaveGrab(window->grab().toImage(), QStringLiteral("layout-card-%1").arg(ScreenName()));
}

// Every menu, and every menu below it, opens whole on the screen with room for each entry.
TEST_F(LayoutTest, TheMenusFitTheScreen)
{
    ShowWindow();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    std::function<void(QMenu*, const QString&)> check = [&](QMenu* menu, const QString& path) {
        // An empty menu (no recent projects yet) does not open.
        if (std::none_of(menu->actions().cbegin(), menu->actions().cend(), [](const QAction* a) { return a->isVisible(); }))
            return;
        menu->popup(screen.topLeft());
        ProcessEvents();
        EXPECT_TRUE(screen.contains(menu->geometry())) << path.toStdString();
        for (QAction* action : menu->actions()) {
            if (!action->isVisible() || action->isSeparator())
                continue;
            const QString entry = path + QLatin1Char('/') + action->text().remove(QLatin1Char('&'));
            const QRect room = menu->actionGeometry(action);
            EXPECT_TRUE(menu->rect().contains(room)) << entry.toStdString();
            EXPECT_LE(menu->fontMetrics().horizontalAdvance(action->text().remove(QLatin1Char('&'))), room.width())
                << entry.toStdString();
            if (action->menu() != nullptr)
                check(action->menu(), entry);
        }
        ExpectSoundLayout(*menu, path);
        menu->hide();
    };
    for (QAction* top : window->menuBar()->actions())
        if (top->menu() != nullptr)
            check(top->menu(), top->text().remove(QLatin1Char('&')));
    ExpectSoundLayout(*window->menuBar(), QStringLiteral("menu bar"));
}

// The program's own dialogs, and the standard ones as the dialog seam shows them over the window.
TEST_F(LayoutTest, TheDialogsOfTheProgram)
{
    ShowWindow();
    {
        AboutWidget about(window.get());
        about.show();
        ProcessEvents();
        ExpectSoundLayout(about, QStringLiteral("about box"));
    }
    StandardUserDialogs dialogs;
    const auto checkWhenShown = [](const QString& what) {
        WhenModalShows([what](QWidget* modal) {
            ExpectSoundLayout(*modal, what);
            if (HasFailure())
                SaveGrab(modal->grab().toImage(), QStringLiteral("layout-dialog-%1-%2").arg(what, ScreenName()));
            modal->close();
        });
    };
    // The longest question, guarding data (styled), and a warning with the longest path.
    checkWhenShown(QStringLiteral("guarding question"));
    dialogs.Message({.parent = window.get(),
                     .icon = QMessageBox::Warning,
                     .text = QStringLiteral("Do you want to save the changes to 'Wedding portraits, second session.lumo4'?\t"),
                     .buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                     .guardsData = true});
    checkWhenShown(QStringLiteral("relink question"));
    dialogs.Message({.parent = window.get(),
                     .icon = QMessageBox::Warning,
                     .title = QStringLiteral("Image not found"),
                     .text = QStringLiteral("The foreground image cannot be found in its original location.\n\n"
                                            "/home/someone/Pictures/Shoots/2024/A rather long folder name/IMG_0001.JPG"
                                            "\n\nWould you like to relocate it?"),
                     .buttons = QMessageBox::Yes | QMessageBox::No});
    checkWhenShown(QStringLiteral("colour"));
    dialogs.ChooseColour({.parent = window.get(), .title = QStringLiteral("Select Color"), .initial = Qt::green});
    checkWhenShown(QStringLiteral("save"));
    dialogs.SaveFileName(window.get(), QStringLiteral("Save Project As"), QDir::tempPath(),
                         QStringLiteral("Lumora 4 projects (*.lumo4)"), QStringLiteral("lumo4"));
    QPrinter printer(QPrinter::HighResolution);
    checkWhenShown(QStringLiteral("page setup"));
    dialogs.PageSetup(printer, window.get());
    checkWhenShown(QStringLiteral("print"));
    dialogs.Print(printer, window.get());
    checkWhenShown(QStringLiteral("print preview"));
    dialogs.PrintPreview(printer, window.get(), [](QPrinter*) {});
}

} // namespace
} // namespace lumo::ui::testing
