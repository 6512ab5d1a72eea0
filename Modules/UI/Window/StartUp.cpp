#include "Window/StartUp.h"
#include "Window/WidgetMap.h"

#include "Shell/Application.h"
#include "Shell/Identity.h"
#include "Window/MainWindow.h"
#include "Shell/OverrideCursor.h"
#include "Shell/SplashScreen.h"
#include "Window/StartupTrace.h"
#include "Window/TerminationSignals.h"

#include <QFileInfo>

#include <memory>
#include <new>

namespace lumo::ui {

namespace {

// Start-up that cannot go on: the process says so to whoever started it.
constexpr int kStartFailed = 1;
// The program ended on an error that escaped the event loop.
constexpr int kEndedOnError = 1;

} // namespace

void BringWindowToFront(QWidget& window)
{
    window.raise();
    window.activateWindow();
}

bool StartApplication(Application& app, const QStringList& arguments, QString& projectPath, QWidget* parent)
{
    projectPath.clear();
    app::LMerr code = app::LMerrSuccess;
    if (arguments.size() > 1) {
        // Opening moves the working folder to the project's: a relative path is resolved first.
        const QString path = QFileInfo(arguments.at(1)).absoluteFilePath();
        code = app.OpenProject(path);
        startuptrace::Mark("project-opened");
        if (code == app::LMerrSuccess) {
            // A layer whose file is missing is marked offline; the program starts all the same.
            app.LoadProjectImages();
            projectPath = path;
            return true;
        }
    }
    if (arguments.size() <= 1 || code != app::LMerrRenderOutOfMemory) {
        code = app.OpenProject(QString());
        startuptrace::Mark("project-opened");
        if (code == app::LMerrSuccess)
            return true;
    }
    RestoreOverrideCursor();
    const QString text =
        code == app::LMerrRenderOutOfMemory
            ? Application::tr("There is not enough memory available to start the application.\n\n"
                              "Exiting other programs may solve this problem.")
            : Application::tr("There was a problem starting the application.\n\nPlease re-install the program.");
    app.Dialogs().Message({.parent = parent, .icon = QMessageBox::Critical, .text = text});
    return false;
}

void ShowFatalError(QWidget* parent, const QString& title, bool offerSave, const QString& text,
                    const std::function<bool()>& saveAs)
{
    QWidget* window = parent != nullptr ? parent->window() : nullptr;
    UserDialogs& dialogs = Application::Instance()->Dialogs();
    if (!offerSave) {
        dialogs.Message({.parent = window, .icon = QMessageBox::Critical, .title = title, .text = text});
        return;
    }
    const QMessageBox::StandardButton answer = dialogs.Message(
        {.parent = window,
         .icon = QMessageBox::Critical,
         .title = title,
         .text = text + Application::tr("\n\nWould you like to save this project before exiting?"),
         .buttons = QMessageBox::Yes | QMessageBox::No,
         .defaultButton = QMessageBox::Yes});
    if (answer == QMessageBox::Yes && saveAs)
        saveAs();
}

int RunProgram(Application& app)
{
    startuptrace::Mark("application");
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, &QCoreApplication::quit);
    // The start folder is not added to the library paths: plugins come from Qt's own folders only.
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    // For the end-to-end run only: a map of the widgets, when the environment asks for one.
    WidgetMapWriter::StartFromEnvironment(&app);

    SplashScreen splash;
    splash.show();
    QCoreApplication::processEvents();
    // The messages of the first project are parented to the active window: the splash screen, so
    // that they show above it.
    BringWindowToFront(splash);
    startuptrace::Mark("splash-shown");

    // The photos shown from their previews are decoded whole once the first picture is on screen.
    app.HoldPhotoDecodes();
    QString projectPath;
    if (!StartApplication(app, app.arguments(), projectPath, &splash))
        return kStartFailed;
    startuptrace::Mark("project-loaded");

    std::shared_ptr<MainWindow> window;
    try {
        window = std::make_shared<MainWindow>(projectPath);
    } catch (const std::exception& error) {
        RestoreOverrideCursor();
        app.Dialogs().Message({.icon = QMessageBox::Critical,
                               .text = Application::tr("%1 has to exit because of the following error:\n\n%2")
                                           .arg(ApplicationName, QString::fromLocal8Bit(error.what()))});
        return kStartFailed;
    }
    startuptrace::Mark("window-built");

    window->show();
    startuptrace::WatchFirstRender(*window);
    startuptrace::Mark("window-shown");
    // Waits for the window to be on screen: its first paints, the canvas's among them, come now.
    splash.finish(window.get());
    RestoreOverrideCursor();

    // Ended by the system (logout, kill, Ctrl+C in a terminal), the window closes as on Exit.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::SignalEndRequested, window.get(),
                     &MainWindow::SlotCloseOnRequest);

    int status = 0;
    const auto saveAs = [&window] { return window->SlotSaveProjectAs(); };
    try {
        status = app.exec();
    } catch (const std::bad_alloc&) {
        ShowFatalError(window.get(), ApplicationName, true,
                       Application::tr("%1 has to exit because there is not enough available memory to complete the task.")
                           .arg(ApplicationName),
                       saveAs);
        status = kEndedOnError;
    } catch (const std::exception& error) {
        ShowFatalError(window.get(), ApplicationName, true,
                       Application::tr("%1 has to exit because an unexpected error occurred.\n\n%2")
                           .arg(ApplicationName, QString::fromLocal8Bit(error.what())),
                       saveAs);
        status = kEndedOnError;
    }
    window.reset();
    return status;
}

} // namespace lumo::ui
