// The program: everything it does is in the library, from RunProgram on.

#include "Shell/Application.h"
#include "Window/StartUp.h"
#include "Window/StartupTrace.h"

int main(int argc, char** argv)
{
    lumo::ui::startuptrace::Mark("main");
    lumo::ui::Application app(argc, argv);
    return lumo::ui::RunProgram(app);
}
