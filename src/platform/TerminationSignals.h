#pragma once
// SIGTERM, SIGHUP and SIGINT as ordinary events of the UI thread's loop.
//
// The desktop session ending, a service manager stopping the program, its
// terminal closing and Ctrl+C in that terminal all come as one of these. By
// default each ends the process where it stands, and the settings and an
// unsaved capture go with it. Here the handler only writes the signal's
// number into a pipe (all a signal handler may safely do); the loop reads it
// and calls `onSignal`, which can then close the program the normal way.
//
// After the first signal the three go back to their default action, so a
// second one ends the program at once should the normal close not finish.
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace ks {

class TerminationSignals : public QObject {
public:
    // Installs the handlers; one instance at a time. Create on the UI thread.
    explicit TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override; // the default actions again

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool Installed() const { return installed; }

private:
    void ReadSignals();

    std::function<void(int)> onSignal;
    QSocketNotifier* notifier = nullptr;
    bool installed = false;
};

} // namespace ks
