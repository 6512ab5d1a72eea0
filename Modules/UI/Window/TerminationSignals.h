#pragma once

#include <QObject>

class QSocketNotifier;

namespace lumo::ui {

// Turns the signals by which the system asks a program to end (SIGTERM, SIGHUP at logout, SIGINT
// from a terminal) into a Qt signal on the GUI thread, so that the program ends the orderly way:
// settings stored, caches removed. While it exists it owns those signals' handlers; the
// destructor gives them back their default action.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the handlers could not be installed (the signals then end the process at once).
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void SignalEndRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace lumo::ui
