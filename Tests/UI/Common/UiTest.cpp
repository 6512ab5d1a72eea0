#include "UiTest.h"

#include "Shell/Settings.h"

#include <QCoreApplication>
#include <QDir>

namespace lumo::ui::testing {

Application& UiTest::App()
{
    Application* app = Application::Instance();
    if (app == nullptr)
        throw std::logic_error("UI tests need the Application built by their main");
    return *app;
}

app::ProjectPtr UiTest::CurrentProject()
{
    return App().GetDocument()->GetProject();
}

void UiTest::ProcessEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void UiTest::SetUp()
{
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    App().SetDialogs(std::move(dialogs));
    ProgramSettings().clear();
    ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
}

void UiTest::TearDown()
{
    ProcessEvents();
    EXPECT_EQ(m_dialogs->UnusedAnswers(), 0) << "scripted answers left unused";
    Application& app = App();
    app.SetSaveProjectHandler({});
    app.SetRenderProcessorFactory({});
    app.SetExporting(false);
    app.SetCanvasView(nullptr);
    SetApplicationDirectory(QString());
    // The next test starts from a fresh script; a stray request until then fails this one.
    app.SetDialogs(std::make_unique<ScriptedDialogs>());
    m_dialogs = nullptr;
}

} // namespace lumo::ui::testing
