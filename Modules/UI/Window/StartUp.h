#pragma once

// The program's start and end: the first project, the splash screen, the main window, the event
// loop and the last message when something escapes it.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace lumo::ui {

class Application;

// Runs the program in an Application built by main: the splash screen under the wait cursor, the
// project named by the first argument (or a new one), the main window, the event loop. Answers the
// process's exit status: 0 after a normal end, non-zero when the program could not start or ended on
// an error.
int RunProgram(Application& app);

// Opens the first project: the file named by arguments[1] (arguments[0] is the program), or a new
// project when there is none or it cannot be loaded (its warning is shown by the opening). True when
// a project is open; projectPath is then the given file's absolute path, or empty for a new project.
// False, after a critical message parented to parent, when not even a new project could be made.
bool StartApplication(Application& app, const QStringList& arguments, QString& projectPath, QWidget* parent);

// Raises a window of the program above the others and gives it the keyboard (as far as the window
// manager lets a program take the focus).
void BringWindowToFront(QWidget& window);

// The last message before the program ends. With offerSave the user is asked whether to save first,
// and Yes runs saveAs.
void ShowFatalError(QWidget* parent, const QString& title, bool offerSave, const QString& text,
                    const std::function<bool()>& saveAs);

} // namespace lumo::ui
