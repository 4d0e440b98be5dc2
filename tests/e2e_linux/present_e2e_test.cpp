// The X presenter against the X server in $DISPLAY: a picture that lives in the shared picture
// memory is put straight from it (the server attaches that very segment), exactly where asked,
// and a segment given back is let go by the server and by us.
#include <gtest/gtest.h>

// Xlib after gtest: its macros (None) would clash.
#include "platform/linux/shared_pixels.h"
#include "platform/linux/shell_present.h"

#include <X11/Xutil.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

using namespace velmora;
using namespace velmora::shell;

namespace {

// How many processes have the segment `id` attached; -1 when it no longer exists.
int attachCount(int id)
{
    std::ifstream table("/proc/sysvipc/shm");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        long key = 0;
        int shmid = 0;
        std::string perms;
        unsigned long size = 0;
        int cpid = 0;
        int lpid = 0;
        int nattch = 0;
        fields >> key >> shmid >> perms >> size >> cpid >> lpid >> nattch;
        if (shmid == id) {
            return nattch;
        }
    }
    return -1;
}

void fillPattern(Picture& picture, int salt)
{
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            picture.setPixel(x, y, std::uint8_t(x * 7 + salt), std::uint8_t(y * 11), std::uint8_t(x ^ y ^ salt));
        }
    }
}

struct DisplayCloser {
    void operator()(::Display* d) const { XCloseDisplay(d); }
};

} // namespace

TEST(XPresenter, PutsAPictureStraightFromItsSharedMemoryAndLetsGoOfItWhenItMoves)
{
    std::unique_ptr<::Display, DisplayCloser> opened(XOpenDisplay(nullptr));
    if (!opened) {
        GTEST_SKIP() << "no X display";
    }
    ::Display* display = opened.get();
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(display, root, &attributes), 0);
    const auto layout = layoutFor(display, attributes);
    if (!layout || !layout->sameAsPicture()) {
        GTEST_SKIP() << "the server's pixels are not the picture's";
    }
    // A pixmap as the drawable: no window manager or exposure can get in the way.
    const Pixmap target = XCreatePixmap(display, root, 200, 100, unsigned(attributes.depth));
    const GC gc = XCreateGC(display, target, 0, nullptr);
    XSetForeground(display, gc, 0x123456);
    XFillRectangle(display, target, gc, 0, 0, 200, 100);

    SharedPixelMemory memory;
    int firstId = -1;
    {
        XPresenter presenter(display, target, attributes.visual, attributes.depth, *layout);
        presenter.presentFrom(memory);
        Picture shown(&memory);
        shown.resize(64, 48);
        fillPattern(shown, 1);
        const SharedPixelMemory::Segment* segment = memory.segmentAt(shown.data());
        ASSERT_NE(segment, nullptr);
        firstId = segment->id;

        const auto check = [&](const Picture& picture, const show::Rect& area, const char* when) {
            XImage* image = XGetImage(display, target, 0, 0, 200, 100, AllPlanes, ZPixmap);
            ASSERT_NE(image, nullptr);
            for (int y = 0; y < 100; ++y) {
                for (int x = 0; x < 200; ++x) {
                    const bool inside = x >= area.x && x < area.right() && y >= area.y && y < area.bottom();
                    const unsigned long want = inside ? picture.pixelValue(x, y) & 0xFFFFFF : 0x123456;
                    if ((XGetPixel(image, x, y) & 0xFFFFFF) != want) {
                        ADD_FAILURE() << when << ": pixel " << x << "," << y;
                        XDestroyImage(image);
                        return;
                    }
                }
            }
            XDestroyImage(image);
        };

        presenter.present(shown, {10, 5, 20, 30});
        presenter.finishReading();
        check(shown, {10, 5, 20, 30}, "first put");
        // The server has attached the picture's own memory: no copy of it is put.
        EXPECT_EQ(attachCount(firstId), 2);

        // Drawn into again once the server has read it, and put elsewhere.
        fillPattern(shown, 9);
        presenter.present(shown, {40, 20, 24, 28});
        presenter.finishReading();
        XFillRectangle(display, target, gc, 10, 5, 20, 30); // the first put's place back to the ground
        check(shown, {40, 20, 24, 28}, "second put");

        // A larger picture takes new memory: the old segment goes from both sides.
        shown.resize(200, 100);
        fillPattern(shown, 3);
        EXPECT_EQ(attachCount(firstId), -1);
        presenter.present(shown, {0, 0, 200, 100});
        presenter.finishReading();
        check(shown, {0, 0, 200, 100}, "after the move");
        const int secondId = memory.segmentAt(shown.data())->id;
        EXPECT_EQ(attachCount(secondId), 2);
        firstId = secondId;
    }
    // The picture went first (its segment let go by the server through the presenter), then
    // the presenter: nothing of either is left.
    EXPECT_EQ(attachCount(firstId), -1);
    XFreeGC(display, gc);
    XFreePixmap(display, target);
}
