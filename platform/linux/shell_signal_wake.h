// SIGINT and SIGTERM as an event for a shell that sleeps in poll(): while one of these lives,
// the signals no longer end the process but make its descriptor readable, whichever thread
// takes them, so the shell ends the show as input does.
#pragma once

#include <signal.h>

namespace velmora::shell {

class SignalWake {
public:
    SignalWake();  // takes the two signals over (one at a time in a process)
    ~SignalWake(); // gives them back to what handled them before
    SignalWake(const SignalWake&) = delete;
    SignalWake& operator=(const SignalWake&) = delete;

    // To sleep on; -1 when no pipe could be made (the signals then stay as they were).
    int fd() const;
    // A signal came since the last call.
    bool taken() const;

private:
    bool installed_ = false;
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

} // namespace velmora::shell
