// Start-up: the first project from the command line, what the user is told when it cannot be
// opened or nothing can, and the last message before the program ends.

#include "GreenScreenProject.h"
#include "Grabs.h"
#include "UiTest.h"

#include "Canvas/CanvasScene.h"
#include "Window/MainWindow.h"
#include "Window/StartUp.h"

#include "LayerManager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace lumo::ui::testing {
namespace {

class StartUpTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir(folder.path()).mkpath("shoot"));
        written = WriteGreenScreenProject(folder.filePath("shoot"), 0.05);
        QFile damaged(folder.filePath("damaged.lumo4"));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("<?xml version=\"1.0\"?>\n<project><canvas><width>12");
        startFolder = QDir::currentPath();
    }

    void TearDown() override
    {
        QDir::setCurrent(startFolder);
        UiTest::TearDown();
    }

    // Every render processor fails with the code.
    void FailRenderProcessors(app::LMerr failure)
    {
        App().SetRenderProcessorFactory([failure](const app::ProjectPtr&, const QRect&, app::LMerr& code) {
            code = failure;
            return Application::RenderProcessorPtr();
        });
    }

    QTemporaryDir folder;
    GreenScreenProject written;
    QString startFolder;
};

TEST_F(StartUpTest, WithoutArgumentsANewUntitledProjectIsOpened)
{
    const app::ProjectPtr before = CurrentProject();
    QString path = "untouched";
    EXPECT_TRUE(StartApplication(App(), {"Lumora4"}, path, nullptr));
    EXPECT_EQ(path, QString());
    EXPECT_NE(CurrentProject(), before);
    EXPECT_TRUE(Dialogs().Requests().empty());
}

TEST_F(StartUpTest, AProjectOnTheCommandLineOpensWithItsImages)
{
    QString path;
    // Further arguments are ignored.
    EXPECT_TRUE(StartApplication(App(), {"Lumora4", written.projectPath, "--ignored"}, path, nullptr));
    EXPECT_EQ(path, written.projectPath);
    const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
    ASSERT_FALSE(manager->CurrentForegroundId().isNull());
    EXPECT_EQ(manager->GetForeground(manager->CurrentForegroundId())->Path(), written.photoPath);
    // The images are in the render processor: the first foreground is no longer awaited.
    EXPECT_FALSE(App().IsFirstForegroundPending());
    EXPECT_TRUE(Dialogs().Requests().empty());

    MainWindow window(path);
    EXPECT_EQ(window.CurrentProjectPath(), written.projectPath);
    EXPECT_EQ(window.windowTitle(), "portrait - Halvern Lumora 4");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitFor([&window] { return window.GetCanvasScene()->IsDrawingEnabled(); }, 10000));
    SaveGrab(window.grab().toImage(), "main-window-green-screen-project");
    EXPECT_FALSE(window.GetCanvasScene()->CanvasImage().isNull());
}

TEST_F(StartUpTest, ARelativePathIsResolvedBeforeOpeningMovesTheWorkingFolder)
{
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    QString path;
    EXPECT_TRUE(StartApplication(App(), {"Lumora4", "shoot/portrait.lumo4"}, path, nullptr));
    EXPECT_EQ(path, written.projectPath);
    // Opening moved the working folder into the project's: the relative path now names nothing.
    EXPECT_EQ(QDir::current(), QDir(folder.filePath("shoot")));

    // Saving in place writes the file that was opened.
    MainWindow window(path);
    ASSERT_TRUE(QFile::remove(written.projectPath));
    EXPECT_TRUE(QMetaObject::invokeMethod(&window, "SlotSaveProject"));
    EXPECT_TRUE(QFileInfo::exists(written.projectPath));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("shoot/shoot/portrait.lumo4")));
}

TEST_F(StartUpTest, ADamagedProjectIsReportedOnceAndANewProjectStarts)
{
    Dialogs().AnswerMessage(QMessageBox::Ok);
    QString path = "untouched";
    EXPECT_TRUE(StartApplication(App(), {"Lumora4", folder.filePath("damaged.lumo4")}, path, nullptr));
    EXPECT_EQ(path, QString());
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    EXPECT_EQ(Dialogs().Requests()[0].message.icon, QMessageBox::Warning);
    EXPECT_TRUE(Dialogs().Requests()[0].message.text.contains("contents are invalid"));
    EXPECT_TRUE(CurrentProject()->GetLayerManager()->CurrentForegroundId().isNull());
}

TEST_F(StartUpTest, WhenNoProjectCanBeMadeTheUserIsToldWhy)
{
    const QString memory = "There is not enough memory available to start the application.\n\n"
                           "Exiting other programs may solve this problem.";
    const QString broken = "There was a problem starting the application.\n\nPlease re-install the program.";
    struct Case {
        const char* name;
        QStringList arguments;
        app::LMerr failure;
        QString text;
    };
    const std::vector<Case> cases = {
        {"new project, render failure", {"Lumora4"}, app::LMerrRenderFailed, broken},
        {"new project, out of memory", {"Lumora4"}, app::LMerrRenderOutOfMemory, memory},
        // Out of memory on the given project: a new one is not tried.
        {"given project, out of memory", {"Lumora4", written.projectPath}, app::LMerrRenderOutOfMemory, memory},
        {"given project, render failure", {"Lumora4", written.projectPath}, app::LMerrRenderFailed, broken},
    };
    QWidget parent;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FailRenderProcessors(c.failure);
        Dialogs().AnswerMessage(QMessageBox::Ok);
        const std::size_t asked = Dialogs().Requests().size();
        QString path;
        EXPECT_FALSE(StartApplication(App(), c.arguments, path, &parent));
        // One message, the reason.
        ASSERT_EQ(Dialogs().Requests().size(), asked + 1);
        const MessageRequest& message = Dialogs().Requests().back().message;
        EXPECT_EQ(message.icon, QMessageBox::Critical);
        EXPECT_EQ(message.text, c.text);
        EXPECT_EQ(message.parent, &parent);
        App().SetRenderProcessorFactory({});
    }
}

TEST_F(StartUpTest, TheLastMessageOffersToSaveAndYesSavesFirst)
{
    QWidget window;
    QWidget child(&window);
    int saves = 0;
    const auto saveAs = [&saves] {
        ++saves;
        return true;
    };
    Dialogs().AnswerMessage(QMessageBox::No).AnswerMessage(QMessageBox::Yes).AnswerMessage(QMessageBox::Ok);
    ShowFatalError(&child, "Halvern Lumora 4", true, "Lumora has to exit.", saveAs);
    EXPECT_EQ(saves, 0);
    ShowFatalError(&child, "Halvern Lumora 4", true, "Lumora has to exit.", saveAs);
    EXPECT_EQ(saves, 1);
    ShowFatalError(nullptr, "Halvern Lumora 4", false, "Lumora has to exit.", saveAs);
    EXPECT_EQ(saves, 1);

    const std::vector<DialogRequest> asked = Dialogs().RequestsOf(DialogRequest::Message);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].message.text, "Lumora has to exit.\n\nWould you like to save this project before exiting?");
    EXPECT_EQ(asked[0].message.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(asked[0].message.defaultButton, QMessageBox::Yes);
    EXPECT_EQ(asked[0].message.icon, QMessageBox::Critical);
    // Parented to the top-level window of the widget given.
    EXPECT_EQ(asked[0].message.parent, &window);
    EXPECT_EQ(asked[2].message.text, "Lumora has to exit.");
    EXPECT_EQ(asked[2].message.buttons, QMessageBox::Ok);
    EXPECT_EQ(asked[2].message.parent, nullptr);
}

} // namespace
} // namespace lumo::ui::testing
