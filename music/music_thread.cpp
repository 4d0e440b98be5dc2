// The music thread: requests go one way through a short queue, the timers' states come back
// as flags, and the window's thread never waits on a lock held across a player call.
#include "music/music_thread.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace velmora::music {

namespace {

enum class Phase { Idle, Starting, Playing, Stopped };

// Track keys queue up to this many behind a slow request; more are dropped.
constexpr std::size_t kLongestQueue = 8;
// How long the end of the show lets a healthy player close before leaving it behind.
constexpr std::chrono::milliseconds kStopGrace{300};

std::atomic<int> leftBehind{0};

} // namespace

struct MusicThread::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finishedSignal;
    std::deque<Request> requests;
    bool busy = false;
    bool finished = false;
    Phase phase = Phase::Idle;
    std::chrono::steady_clock::time_point startAsked;
    bool lateReported = false;
    std::atomic<bool> timer1{false};
    std::atomic<bool> timer2{false};
    std::atomic<bool> playing{false};
    MusicLog log;

    void say(const std::string& text)
    {
        if (log)
            log(text);
    }
};

MusicThread::MusicThread(MakeMusic make, bool handlesTrackKeys, MusicLog log)
    : shared_(std::make_shared<Shared>()), handlesTrackKeys_(handlesTrackKeys)
{
    shared_->log = std::move(log);
    make_ = std::move(make); // the thread starts with the music: a show without music has none
}

MusicThread::~MusicThread() { finish(kStopGrace); }

void MusicThread::finish(std::chrono::milliseconds grace)
{
    if (!thread_.joinable())
        return;
    stop();
    std::unique_lock lock(shared_->mutex);
    if (shared_->finishedSignal.wait_for(lock, grace, [&] { return shared_->finished; })) {
        lock.unlock();
        thread_.join();
    } else {
        // Stuck in the system's player: it owns its share of the state and ends with the process.
        lock.unlock();
        thread_.detach();
        ++leftBehind;
    }
}

int MusicThread::threadsLeftBehind() { return leftBehind; }

void MusicThread::start()
{
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->phase != Phase::Idle)
            return;
        shared_->phase = Phase::Starting;
        shared_->startAsked = std::chrono::steady_clock::now();
        shared_->requests.push_back(Request::Start);
    }
    thread_ = std::thread(&MusicThread::run, shared_, make_);
}

void MusicThread::checkStartLimit() const
{
    std::lock_guard lock(shared_->mutex);
    if (shared_->phase != Phase::Starting || shared_->lateReported ||
        std::chrono::steady_clock::now() - shared_->startAsked < startLimit)
        return;
    shared_->lateReported = true;
    shared_->say("music did not start within a second: the show goes on without it until it does");
}

bool MusicThread::timer1Enabled() const
{
    checkStartLimit();
    return shared_->timer1;
}

bool MusicThread::timer2Enabled() const
{
    checkStartLimit();
    return shared_->timer2;
}

bool MusicThread::playing() const
{
    checkStartLimit();
    return shared_->playing;
}

void MusicThread::timer1Tick() { post(Request::Timer1); }
void MusicThread::timer2Tick() { post(Request::Timer2); }
void MusicThread::previousTrack() { post(Request::Previous); }
void MusicThread::nextTrack() { post(Request::Next); }
void MusicThread::stop() { post(Request::Stop); }

void MusicThread::post(Request request)
{
    checkStartLimit();
    std::lock_guard lock(shared_->mutex);
    if (shared_->phase == Phase::Idle || shared_->phase == Phase::Stopped) {
        return;
    }
    if (request == Request::Stop) {
        // Nothing asked before the end matters any more.
        shared_->requests.clear();
        shared_->phase = Phase::Stopped;
        shared_->timer1 = false;
        shared_->timer2 = false;
        shared_->playing = false;
    } else if (shared_->phase != Phase::Playing) {
        return;
    } else if (request == Request::Timer1 || request == Request::Timer2) {
        if (shared_->busy || !shared_->requests.empty())
            return;
    } else if (shared_->requests.size() >= kLongestQueue) {
        return;
    }
    shared_->requests.push_back(request);
    shared_->wake.notify_one();
}

void MusicThread::run(std::shared_ptr<Shared> shared, MakeMusic make)
{
    std::shared_ptr<ShowMusic> music;
    bool ending = false;
    while (!ending) {
        Request request;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] { return !shared->requests.empty(); });
            request = shared->requests.front();
            shared->requests.pop_front();
            shared->busy = true;
        }
        try {
            switch (request) {
            case Request::Start:
                music = make();
                music->start();
                break;
            case Request::Timer1: music->timer1Tick(); break;
            case Request::Timer2: music->timer2Tick(); break;
            case Request::Previous: music->previousTrack(); break;
            case Request::Next: music->nextTrack(); break;
            case Request::Stop:
                if (music)
                    music->stop();
                ending = true;
                break;
            }
        } catch (const std::exception& e) {
            shared->say(std::string("music failed: ") + e.what());
            ending = true;
            try {
                if (music)
                    music->stop();
            } catch (const std::exception&) {
            }
        }
        std::lock_guard lock(shared->mutex);
        shared->busy = false;
        if (request == Request::Start && shared->phase == Phase::Starting && !ending) {
            shared->phase = Phase::Playing;
            shared->playing = true;
        }
        const bool live = shared->phase == Phase::Playing && music;
        shared->timer1 = live && music->timer1Enabled();
        shared->timer2 = live && music->timer2Enabled();
    }
    music.reset(); // closes the devices here, on the thread that opened them
    {
        std::lock_guard lock(shared->mutex);
        shared->phase = shared->phase == Phase::Playing ? Phase::Stopped : shared->phase;
        shared->finished = true;
        shared->timer1 = false;
        shared->timer2 = false;
        shared->playing = false;
    }
    shared->finishedSignal.notify_all();
}

} // namespace velmora::music
