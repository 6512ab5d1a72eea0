#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <optional>

namespace lumo::ui::testing {

const char* KindName(DialogRequest::Kind kind)
{
    switch (kind) {
    case DialogRequest::Message:
        return "message box";
    case DialogRequest::Files:
        return "file dialog";
    case DialogRequest::Colour:
        return "colour dialog";
    case DialogRequest::PageSetup:
        return "page setup dialog";
    case DialogRequest::Print:
        return "print dialog";
    case DialogRequest::PrintPreview:
        return "print preview";
    case DialogRequest::Exit:
        return "exit";
    }
    return "?";
}

ScriptedDialogs& ScriptedDialogs::Script(Answer answer)
{
    m_answers.push_back(std::move(answer));
    return *this;
}

ScriptedDialogs& ScriptedDialogs::AnswerMessage(QMessageBox::StandardButton answer, std::function<void()> during)
{
    return Script({.kind = DialogRequest::Message, .button = answer, .during = std::move(during)});
}

ScriptedDialogs& ScriptedDialogs::AnswerFiles(const QStringList& paths)
{
    return Script({.kind = DialogRequest::Files, .paths = paths});
}

ScriptedDialogs& ScriptedDialogs::AnswerColour(const QColor& colour)
{
    return Script({.kind = DialogRequest::Colour, .colour = colour});
}

ScriptedDialogs& ScriptedDialogs::AnswerPageSetup(bool accept)
{
    return Script({.kind = DialogRequest::PageSetup, .accept = accept});
}

ScriptedDialogs& ScriptedDialogs::AnswerPrint(bool accept)
{
    return Script({.kind = DialogRequest::Print, .accept = accept});
}

ScriptedDialogs& ScriptedDialogs::AnswerPrintPreview(bool accept)
{
    return Script({.kind = DialogRequest::PrintPreview, .accept = accept});
}

ScriptedDialogs& ScriptedDialogs::ExpectExit()
{
    return Script({.kind = DialogRequest::Exit});
}

std::vector<DialogRequest> ScriptedDialogs::RequestsOf(DialogRequest::Kind kind) const
{
    std::vector<DialogRequest> requests;
    for (const DialogRequest& request : m_requests)
        if (request.kind == kind)
            requests.push_back(request);
    return requests;
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::Take(DialogRequest request, const QString& description)
{
    const DialogRequest::Kind kind = request.kind;
    m_requests.push_back(std::move(request));
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected " << KindName(kind) << ": " << description.toStdString();
        return std::nullopt;
    }
    if (m_answers.front().kind != kind) {
        ADD_FAILURE() << "expected a " << KindName(m_answers.front().kind) << " but got a " << KindName(kind) << ": "
                      << description.toStdString();
        return std::nullopt;
    }
    Answer answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

QMessageBox::StandardButton ScriptedDialogs::Message(const MessageRequest& request)
{
    const auto answer = Take({.kind = DialogRequest::Message, .message = request}, request.text);
    if (!answer)
        return request.buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::NoButton;
    if (answer->during)
        answer->during();
    EXPECT_TRUE(request.buttons.testFlag(answer->button))
        << "the scripted answer is not a button of the box: " << request.text.toStdString();
    return answer->button;
}

QStringList ScriptedDialogs::ChooseFiles(const FileRequest& request)
{
    const auto answer = Take({.kind = DialogRequest::Files, .file = request}, request.title);
    return answer ? answer->paths : QStringList();
}

QColor ScriptedDialogs::ChooseColour(const ColourRequest& request)
{
    const auto answer = Take({.kind = DialogRequest::Colour, .colour = request}, request.title);
    return answer ? answer->colour : QColor();
}

bool ScriptedDialogs::PageSetup(QPrinter& /*printer*/, QWidget* /*parent*/)
{
    const auto answer = Take({.kind = DialogRequest::PageSetup}, QString());
    return answer && answer->accept;
}

bool ScriptedDialogs::Print(QPrinter& /*printer*/, QWidget* /*parent*/)
{
    const auto answer = Take({.kind = DialogRequest::Print}, QString());
    return answer && answer->accept;
}

bool ScriptedDialogs::PrintPreview(QPrinter& printer, QWidget* /*parent*/,
                                   const std::function<void(QPrinter*)>& paint)
{
    const auto answer = Take({.kind = DialogRequest::PrintPreview}, QString());
    // An accepted preview has painted its page once, as the dialog does when it shows.
    if (answer && answer->accept && paint)
        paint(&printer);
    return answer && answer->accept;
}

void ScriptedDialogs::Exit(int code)
{
    Take({.kind = DialogRequest::Exit, .exitCode = code}, QString("code %1").arg(code));
}

} // namespace lumo::ui::testing
