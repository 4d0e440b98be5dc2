// The signals' handler only writes a byte to a pipe: all it may safely do.
#include "platform/linux/shell_signal_wake.h"

#include <fcntl.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>

namespace velmora::shell {

namespace {

int signalPipe[2] = {-1, -1};

void wakeOnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    (void)!write(signalPipe[1], &byte, 1); // a full pipe already says enough
    errno = saved;
}

} // namespace

SignalWake::SignalWake()
{
    assert(signalPipe[0] < 0);
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return;
    }
    struct sigaction action {};
    action.sa_handler = &wakeOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
    installed_ = true;
}

SignalWake::~SignalWake()
{
    if (!installed_) {
        return;
    }
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

int SignalWake::fd() const { return installed_ ? signalPipe[0] : -1; }

bool SignalWake::taken() const
{
    char bytes[16];
    bool any = false;
    while (installed_ && read(signalPipe[0], bytes, sizeof bytes) > 0) {
        any = true;
    }
    return any;
}

} // namespace velmora::shell
