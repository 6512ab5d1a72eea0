#pragma once

#include "Shell/UserDialogs.h"

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace lumo::ui::testing {

// What the program asked the user.
struct DialogRequest {
    enum Kind { Message, Files, Colour, PageSetup, Print, PrintPreview, Exit };
    Kind kind = Message;
    MessageRequest message{}; // Message
    FileRequest file{}; // Files
    ColourRequest colour{}; // Colour
    int exitCode = 0; // Exit
};

const char* KindName(DialogRequest::Kind kind);

// Dialogs for tests: every request is recorded and answered from a script written beforehand, in
// order. A request that was not scripted, or whose kind differs from the next answer, fails the
// test and gets the answer that changes nothing (Cancel, no file, no colour, rejected).
class ScriptedDialogs final : public UserDialogs {
public:
    // `during` runs while the box is open, before the answer: what the program does meanwhile.
    ScriptedDialogs& AnswerMessage(QMessageBox::StandardButton answer, std::function<void()> during = {});
    ScriptedDialogs& AnswerFiles(const QStringList& paths);
    ScriptedDialogs& AnswerColour(const QColor& colour);
    ScriptedDialogs& AnswerPageSetup(bool accept);
    ScriptedDialogs& AnswerPrint(bool accept);
    ScriptedDialogs& AnswerPrintPreview(bool accept);
    ScriptedDialogs& ExpectExit();

    const std::vector<DialogRequest>& Requests() const { return m_requests; }
    // Forgets the requests made so far (the scripted answers stay).
    void Clear() { m_requests.clear(); }
    // The requests of one kind, in order.
    std::vector<DialogRequest> RequestsOf(DialogRequest::Kind kind) const;
    // Scripted answers nobody asked for.
    int UnusedAnswers() const { return static_cast<int>(m_answers.size()); }

    QMessageBox::StandardButton Message(const MessageRequest& request) override;
    QStringList ChooseFiles(const FileRequest& request) override;
    QColor ChooseColour(const ColourRequest& request) override;
    bool PageSetup(QPrinter& printer, QWidget* parent) override;
    bool Print(QPrinter& printer, QWidget* parent) override;
    bool PrintPreview(QPrinter& printer, QWidget* parent, const std::function<void(QPrinter*)>& paint) override;
    void Exit(int code) override;

private:
    struct Answer {
        DialogRequest::Kind kind = DialogRequest::Message;
        QMessageBox::StandardButton button = QMessageBox::NoButton;
        QStringList paths{};
        QColor colour{};
        bool accept = false;
        std::function<void()> during{};
    };

    ScriptedDialogs& Script(Answer answer);
    // Records the request and takes the next answer when it is of the request's kind.
    std::optional<Answer> Take(DialogRequest request, const QString& description);

    std::deque<Answer> m_answers;
    std::vector<DialogRequest> m_requests;
};

} // namespace lumo::ui::testing
