// Exceptions that escape an event handler end the program through one road: a queued report, a
// message (with the offer to save where a project can be saved), the exit.

#include "UiTest.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <new>
#include <stdexcept>

namespace lumo::ui::testing {
namespace {

// Throws what it is given from its event handler, as a paint or a slot running out of memory does.
class ThrowingObject : public QObject {
public:
    std::function<void()> raise;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User && raise)
            raise();
        return QObject::event(event);
    }
};

void Deliver(QObject& receiver)
{
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&receiver, &event);
}

const QString kOutOfMemory =
    "There is not enough memory available.\n\nPlease close some other programs and start Lumora again.";
const QString kSaveQuestion = "\n\nWould you like to save this project before exiting?";

class FatalRoadTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        App().SetSaveProjectHandler([this] {
            ++saves;
            return true;
        });
    }

    ThrowingObject thrower;
    int saves = 0;
};

TEST_F(FatalRoadTest, OutOfMemoryInAnEventHandlerOffersToSaveThenExits)
{
    thrower.raise = [] { throw std::bad_alloc(); };
    Dialogs().AnswerMessage(QMessageBox::Yes).ExpectExit();
    Deliver(thrower);
    // Reported from a queued call, never from inside the handler that threw.
    EXPECT_TRUE(Dialogs().Requests().empty());
    ProcessEvents();

    ASSERT_EQ(Dialogs().Requests().size(), 2u);
    const MessageRequest& message = Dialogs().Requests()[0].message;
    EXPECT_EQ(message.icon, QMessageBox::Critical);
    EXPECT_EQ(message.title, ApplicationName);
    EXPECT_EQ(message.text, kOutOfMemory + kSaveQuestion);
    EXPECT_EQ(message.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(message.defaultButton, QMessageBox::Yes);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(Dialogs().Requests()[1].kind, DialogRequest::Exit);
    EXPECT_NE(Dialogs().Requests()[1].exitCode, 0);
}

TEST_F(FatalRoadTest, OtherErrorsNameTheProblemAndSaveOnlyWhenAsked)
{
    thrower.raise = [] { throw std::runtime_error("Render error"); };
    Dialogs().AnswerMessage(QMessageBox::No).ExpectExit();
    Deliver(thrower);
    ProcessEvents();
    ASSERT_EQ(Dialogs().RequestsOf(DialogRequest::Message).size(), 1u);
    EXPECT_EQ(Dialogs().Requests()[0].message.text,
              "The application has to exit because a problem occurred:\n\nRender error" + kSaveQuestion);
    EXPECT_EQ(saves, 0);

    // Without a project that can be saved there is nothing to offer.
    App().SetSaveProjectHandler({});
    Dialogs().AnswerMessage(QMessageBox::Ok).ExpectExit();
    Deliver(thrower);
    ProcessEvents();
    ASSERT_EQ(Dialogs().RequestsOf(DialogRequest::Message).size(), 2u);
    EXPECT_EQ(Dialogs().Requests()[2].message.buttons, QMessageBox::Ok);
    EXPECT_EQ(Dialogs().Requests()[3].kind, DialogRequest::Exit);
}

TEST_F(FatalRoadTest, FurtherErrorsWhileTheMessageIsOpenAreNotReportedAgain)
{
    thrower.raise = [] { throw std::bad_alloc(); };
    // Two handlers fail before the report runs, and another while its message is open (the box
    // runs its own event loop, so events keep arriving).
    Dialogs().AnswerMessage(QMessageBox::No, [&] {
        Deliver(thrower);
        QCoreApplication::processEvents();
    });
    Dialogs().ExpectExit();
    Deliver(thrower);
    Deliver(thrower);
    ProcessEvents();
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Message).size(), 1u);
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Exit).size(), 1u);
}

TEST_F(FatalRoadTest, AGuardedCallReportsInsteadOfThrowing)
{
    Dialogs().AnswerMessage(QMessageBox::No).ExpectExit();
    EXPECT_NO_THROW(RunGuarded([] { throw std::bad_alloc(); }));
    ProcessEvents();
    ASSERT_FALSE(Dialogs().Requests().empty());
    EXPECT_EQ(Dialogs().Requests()[0].message.text, kOutOfMemory + kSaveQuestion);
}

} // namespace
} // namespace lumo::ui::testing
