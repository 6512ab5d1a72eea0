#pragma once

// The fixture of UI tests: each test starts with scripted dialogs, empty settings and a new
// project, and ends with every scripted answer used and nothing left queued.

#include "ScriptedDialogs.h"

#include "Shell/Application.h"

#include "Project.h"

#include <gtest/gtest.h>

#include <ostream>

// Readable Qt strings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace lumo::ui::testing {

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static Application& App();
    ScriptedDialogs& Dialogs() { return *m_dialogs; }
    static app::ProjectPtr CurrentProject();
    // Runs the queued calls and deferred deletions.
    static void ProcessEvents();

private:
    ScriptedDialogs* m_dialogs = nullptr;
};

} // namespace lumo::ui::testing
