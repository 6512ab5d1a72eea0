// The program: opens the project named on the command line, or a new one, and shows it.

#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Shell/Application.h"
#include "Shell/LumoModel.h"

using namespace lumo::ui;

namespace {

// True when a project (the given one or a new one) is open; otherwise the user has been told why
// the program cannot start.
bool OpenFirstProject(Application& app, const QString& path)
{
    lumo::app::LMerr code = lumo::app::LMerrSuccess;
    if (!path.isEmpty()) {
        code = app.OpenProject(path);
        if (code == lumo::app::LMerrSuccess)
            return true;
    }
    if (code != lumo::app::LMerrRenderOutOfMemory) {
        code = app.OpenProject(QString());
        if (code == lumo::app::LMerrSuccess)
            return true;
    }
    const QString text =
        code == lumo::app::LMerrRenderOutOfMemory
            ? Application::tr("There is not enough memory available to start the application.\n\n"
                              "Exiting other programs may solve this problem.")
            : Application::tr("There was a problem starting the application.\n\nPlease re-install the program.");
    app.Dialogs().Message({.icon = QMessageBox::Critical, .text = text});
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, &QCoreApplication::quit);
    if (!OpenFirstProject(app, argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString()))
        return 1;

    // Until the main window exists, the canvas alone stands in for it.
    const LumoModelPtr model = std::make_shared<LumoModel>(app.GetDocument());
    CanvasScene scene;
    CanvasView view;
    view.setScene(&scene);
    app.SetCanvasView(&view);
    view.SetModel(model, {});
    scene.SetModel(model, {});
    view.setWindowTitle(ApplicationName);
    view.resize(1280, 800);
    view.show();
    const QUuid& document = app.GetDocument()->Id();
    model->NotifyObservers(DataTypeProject, document, FieldTypeRefreshAll);
    model->NotifyObservers(DataTypeCanvas, document, FieldTypeFocusCanvas);
    return app.exec();
}
