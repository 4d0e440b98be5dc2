// What the show asks of the shell that hosts it: showing a rectangle of Display, a copy
// of the desktop, and a millisecond clock. Timers and input stay with the shell, which
// calls ShowForm's tick and input entries.
#pragma once

#include "filters/picture.h"
#include "show/drawing.h"

#include <cstdint>
#include <memory_resource>

namespace velmora::show {

class ShowPlatform {
public:
    virtual ~ShowPlatform() = default;

    // Puts `area` of `display` on the screen (`area` lies inside `display`).
    virtual void present(const Picture& display, const Rect& area) = 0;

    // Fills `target` (already sized to the screen) with the desktop as it is now, from its
    // top-left corner. Returns false when there is no desktop to copy; `target` then stays black.
    virtual bool copyDesktop(Picture& target) = 0;
    // Whether copyDesktop gives the desktop as it was before the show covered it, whenever it
    // is asked: then the show asks only when it is about to show the copy.
    virtual bool desktopKept() const { return false; }

    // A monotonic clock in milliseconds (any origin). The headless renderer simulates it.
    virtual std::int64_t nowMilliseconds() = 0;

    // Where Display's pixels should live: memory the screen reads directly, so that present()
    // puts them without copying. Null: ordinary memory. The platform must then not let the
    // show draw while the screen may still be reading what present() last handed over.
    virtual std::pmr::memory_resource* displayMemory() { return nullptr; }
};

// For a shell that captures the desktop before its window covers it: the copy then hands
// out that capture, from the top-left corner, whatever the screen shows by then.
class CapturedDesktopPlatform : public ShowPlatform {
public:
    bool copyDesktop(Picture& target) override
    {
        if (desktop.empty()) {
            return false;
        }
        blockCopy(target, 0, 0, desktop.width(), desktop.height(), desktop, 0, 0);
        return true;
    }
    bool desktopKept() const override { return true; }

    Picture desktop; // empty: no desktop to copy
};

// A platform that shows nothing, has no desktop and whose clock the caller sets:
// for tests, benchmarks and the headless renderer.
class SimulatedPlatform : public ShowPlatform {
public:
    void present(const Picture&, const Rect& area) override
    {
        ++presentCount;
        lastPresented = area;
    }
    bool copyDesktop(Picture&) override { return false; }
    std::int64_t nowMilliseconds() override { return now; }

    std::int64_t now = 0;
    int presentCount = 0;
    Rect lastPresented;
};

} // namespace velmora::show
