// The idle watcher's loop: one GLib main loop for the idle source, the timers of its
// decisions and the show's exit.
#include "platform/linux/idle_watcher.h"

#include "platform/linux/idle_source.h"
#include "platform/linux/idle_watch.h"

#include <glib-unix.h>
#include <glib.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <memory>

namespace velmora::shell {

namespace {

std::int64_t nowMs() { return g_get_monotonic_time() / 1000; }

// This program, as the kernel knows it: the show is the same build as the watcher, wherever
// it was started from.
std::string ownProgram()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, std::size_t(length)) : std::string("velmora");
}

class Watcher final : public IdleSink {
public:
    Watcher(std::int64_t timeoutMs, std::vector<std::string> showArgs, std::ostream& err)
        : watch_(timeoutMs, inhibitionRecheckMs(timeoutMs)), showArgs_(std::move(showArgs)), err_(err),
          loop_(g_main_loop_new(nullptr, FALSE))
    {
        showArgs_.insert(showArgs_.begin(), ownProgram());
    }
    ~Watcher() override
    {
        if (timer_ != 0)
            g_source_remove(timer_);
        g_main_loop_unref(loop_);
    }

    // The source may report at once, from start().
    void attach(IdleSource& source) { source_ = &source; }

    int run()
    {
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            signalWatches_.push_back(g_unix_signal_add(signal, &stop, this));
        g_main_loop_run(loop_);
        for (guint id : signalWatches_)
            g_source_remove(id);
        if (show_ != 0) {
            // The show goes with its watcher (a user unit stopped, the session ending).
            kill(show_, SIGTERM);
            g_source_remove(childWatch_);
            g_spawn_close_pid(show_);
        }
        return exitCode_;
    }

    void userIdle() override { act(watch_.userIdle(nowMs(), source_->inhibited())); }
    void userActive() override
    {
        watch_.userActive();
        schedule();
    }
    void sourceLost(const std::string& why) override
    {
        err_ << "velmora: " << why << "; the idle watcher ends\n";
        exitCode_ = 1;
        g_main_loop_quit(loop_);
    }

private:
    void act(WatchAction action)
    {
        if (action == WatchAction::AskInhibited)
            action = watch_.inhibitionChecked(nowMs(), source_->inhibited());
        if (action == WatchAction::StartShow)
            startShow();
        schedule();
    }

    void schedule()
    {
        if (timer_ != 0)
            g_source_remove(timer_);
        timer_ = 0;
        if (const auto at = watch_.nextTick()) {
            const std::int64_t delay = std::max<std::int64_t>(*at - nowMs(), 0);
            timer_ = g_timeout_add(static_cast<guint>(std::min<std::int64_t>(delay, G_MAXUINT)), &tick, this);
        }
    }

    static gboolean tick(gpointer data)
    {
        auto* self = static_cast<Watcher*>(data);
        self->timer_ = 0;
        self->act(self->watch_.tick(nowMs()));
        return G_SOURCE_REMOVE;
    }

    void startShow()
    {
        std::vector<char*> argv;
        for (std::string& arg : showArgs_)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        GError* error = nullptr;
        // The show gets the watcher's environment and standard streams, and none of its other
        // descriptors (the compositor or bus connection).
        if (!g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &show_, &error)) {
            err_ << "velmora: the show could not be started: " << error->message << '\n';
            g_error_free(error);
            show_ = 0;
            // A show that cannot even start waits for the next idle period, like one that failed.
            watch_.showEnded(nowMs(), false);
            return;
        }
        childWatch_ = g_child_watch_add(show_, &showExited, this);
    }

    static void showExited(GPid pid, gint status, gpointer data)
    {
        auto* self = static_cast<Watcher*>(data);
        g_spawn_close_pid(pid);
        self->show_ = 0;
        self->childWatch_ = 0;
        // 2: another show was already open (not the watcher's); that is no fault.
        if (WIFEXITED(status) && WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 2)
            self->err_ << "velmora: the show ended with exit code " << WEXITSTATUS(status) << '\n';
        else if (WIFSIGNALED(status))
            self->err_ << "velmora: the show ended on signal " << WTERMSIG(status) << '\n';
        self->act(self->watch_.showEnded(nowMs(), self->source_->inhibited()));
    }

    static gboolean stop(gpointer data)
    {
        g_main_loop_quit(static_cast<Watcher*>(data)->loop_);
        return G_SOURCE_CONTINUE;
    }

    IdleWatch watch_;
    std::vector<std::string> showArgs_;
    std::ostream& err_;
    GMainLoop* loop_;
    IdleSource* source_ = nullptr;
    std::vector<guint> signalWatches_;
    guint timer_ = 0;
    GPid show_ = 0;
    guint childWatch_ = 0;
    int exitCode_ = 0;
};

} // namespace

int runIdleWatcher(std::int64_t timeoutMs, const std::vector<std::string>& showArgs, std::ostream& err)
{
    IdleOffers offers;
    std::unique_ptr<IdleSource> wayland = probeWaylandIdle(offers);
    std::unique_ptr<IdleSource> gnome = probeGnomeIdle(offers);
    // Under a compositor the X server is its compatibility server: not even asked.
    std::unique_ptr<IdleSource> x11 = offers.waylandSession ? nullptr : probeXScreenSaverIdle(offers);
    const IdleSourceKind kind = chooseIdleSource(offers);
    std::unique_ptr<IdleSource> source;
    switch (kind) {
    case IdleSourceKind::ExtIdleNotify:
    case IdleSourceKind::KdeIdle: source = std::move(wayland); break;
    case IdleSourceKind::GnomeIdleMonitor: source = std::move(gnome); break;
    case IdleSourceKind::XScreenSaver: source = std::move(x11); break;
    case IdleSourceKind::NoSource:
        err << "velmora: this session reports no idle time (no Wayland idle protocol, no GNOME idle monitor, "
               "no X screen-saver extension)\n";
        return 1;
    }
    // The connections not chosen are closed: the watcher stays small.
    wayland.reset();
    gnome.reset();
    x11.reset();
    Watcher watcher(timeoutMs, showArgs, err);
    watcher.attach(*source);
    if (const std::string why = source->start(kind, timeoutMs, watcher); !why.empty()) {
        err << "velmora: " << idleSourceName(kind) << ": " << why << '\n';
        return 1;
    }
    err << "velmora: the show starts after " << timeoutMs / 1000.0 << " s idle (" << idleSourceName(kind) << ")\n";
    const int exitCode = watcher.run();
    source.reset(); // before the watcher it reports to
    return exitCode;
}

} // namespace velmora::shell
