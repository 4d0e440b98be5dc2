// The Wayland show: a compositor connection of its own, one surface per output (an overlay
// layer surface, or a full-screen window where the compositor has no layers) presented
// through shared memory, and one loop that sleeps on the connection until a show's timer is
// due or input comes.
#include "platform/linux/wayland_output_show.h"

#include "platform/linux/shell_exit.h"
#include "platform/linux/shell_fps.h"
#include "platform/linux/shell_signal_wake.h"
#include "platform/linux/shell_ticker.h"
#include "platform/linux/shell_wayland.h"
#include "platform/linux/wayland_output_slots.h"
#include "show/show_exit.h"
#include "startup/main_logic.h"
#include "show/show_form.h"
#include "show/show_platform.h"

#include <wayland-client.h>
#include "xdg-shell-client-protocol.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

// After every other header (they use the keyword): the protocol names an argument
// "namespace", renamed here for its header only.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

namespace velmora::shell {

namespace {

constexpr std::uint32_t CompositorVersion = 4; // damage in buffer coordinates
constexpr std::uint32_t LayerShellVersion = 3;
constexpr std::uint32_t OutputVersion = 3;
constexpr std::uint32_t SeatVersion = 5;
constexpr std::uint32_t WindowManagerVersion = 1;

// What one show presents into: the surface of the output it is on, while it is on one.
// A compositor shows no client the others' pixels, so there is no desktop to copy.
class OutputPlatform final : public show::CapturedDesktopPlatform {
public:
    void present(const Picture& display, const show::Rect& area) override
    {
        if (presenter != nullptr) {
            presenter->present(display, area);
        }
    }
    std::int64_t nowMilliseconds() override { return monotonicMilliseconds(); }

    WaylandPresenter* presenter = nullptr;
};

// One show, or the black cover of an output whose show the settings leave out. The form is
// destroyed before the platform it presents into.
struct Slot {
    OutputPlatform platform;
    std::unique_ptr<show::ShowForm> form;
    std::unique_ptr<ShowTicker> ticker;
    Picture black;

    const Picture& shown() const { return form ? form->buffers().Display : black; }
};

class OutputShow;

struct Output {
    OutputShow* owner = nullptr;
    std::uint32_t name = 0;
    wl_output* output = nullptr;
    int x = 0; // where it lies among the outputs, for the mouse-move rule across them
    int y = 0;
    int modeWidth = 0;
    int modeHeight = 0;
    int refreshHz = 0;
    int scale = 1; // device pixels per surface unit
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr; // one role or the other
    xdg_surface* window = nullptr;
    xdg_toplevel* toplevel = nullptr;
    std::unique_ptr<WaylandPresenter> presenter;
    int width = 0; // as last configured, in device pixels: the show's size
    int height = 0;
    bool configurePending = false;
    std::uint32_t configureSerial = 0;
    int configureWidth = 0;
    int configureHeight = 0;
    bool closed = false; // the compositor will not show the surface any more
};

struct Seat {
    OutputShow* owner = nullptr;
    std::uint32_t name = 0;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    std::uint32_t pointerOutput = 0; // the output whose surface the pointer is on (its name)
};

class OutputShow {
public:
    OutputShow(wl_display* display, const ShellOptions& options, StartupState& state, LinuxStartupPlatform& startup,
              ShowSession& session)
        : display_(display), options_(options), state_(state), startup_(startup), session_(session),
          slots_(state.settings.AllMonitors != 0)
    {
    }
    ~OutputShow();
    OutputShow(const OutputShow&) = delete;
    OutputShow& operator=(const OutputShow&) = delete;

    // Binds the compositor's globals; false when it offers no layer surfaces.
    bool bind();
    int run(std::ostream& messages);

private:
    // Registry.
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void globalRemoved(void* data, wl_registry* registry, std::uint32_t name);
    // Outputs and their surfaces.
    static void outputGeometry(void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
                               std::int32_t, const char*, const char*, std::int32_t);
    static void outputScale(void* data, wl_output*, std::int32_t factor)
    {
        static_cast<Output*>(data)->scale = std::clamp(factor, 1, 8);
    }
    static void outputMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
                           std::int32_t refresh);
    static void layerConfigure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width,
                               std::uint32_t height);
    static void layerClosed(void* data, zwlr_layer_surface_v1*);
    static void windowConfigure(void* data, xdg_surface*, std::uint32_t serial);
    static void toplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*);
    static void toplevelClose(void* data, xdg_toplevel*);
    static void ping(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }
    // Seats.
    static void seatCapabilities(void* data, wl_seat*, std::uint32_t capabilities);
    static void pointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface,
                             wl_fixed_t x, wl_fixed_t y);
    static void pointerMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y);
    static void pointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                              std::uint32_t state);
    static void keyboardKeymap(void* data, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t);
    static void keyboardKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
                            std::uint32_t state);

    void makeSurface(Output& output);
    void makeLayerSurface(Output& output);
    void makeWindow(Output& output);
    void dropSurface(Output& output);
    void removeOutput(std::uint32_t name);
    void removeSeat(std::uint32_t name);
    void settle();
    void makeSlot(int index, const Output& output);
    void showOn(Output& output, Slot& slot);
    void mouseMoved(const Seat& seat, wl_fixed_t x, wl_fixed_t y);
    void input(bool endsShow) { ending_ = ending_ || endsShow; }
    show::ShowForm& primary() { return *slotsShown_.front()->form; }
    ShowTicker& primaryTicker() { return *slotsShown_.front()->ticker; }

    wl_display* display_;
    const ShellOptions& options_;
    StartupState& state_;
    LinuxStartupPlatform& startup_;
    ShowSession& session_;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    xdg_wm_base* windowManager_ = nullptr;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::vector<std::unique_ptr<Seat>> seats_;
    OutputSlots slots_;
    std::vector<std::unique_ptr<Slot>> slotsShown_; // by slot index
    std::unique_ptr<FpsBadge> badge_;
    bool surfacesWanted_ = false; // outputs that appear get a surface at once
    bool ending_ = false;
    std::ostream* messages_ = nullptr;
};

} // namespace

// The events the show has no use for. (The listener tables name private members, so they are
// made in the members themselves.)
namespace {

void ignoreOutputDone(void*, wl_output*) {}
void ignoreOutputText(void*, wl_output*, const char*) {}
void ignoreSeatName(void*, wl_seat*, const char*) {}
void ignorePointerLeave(void*, wl_pointer*, std::uint32_t, wl_surface*) {}
void ignorePointerAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
void ignorePointerFrame(void*, wl_pointer*) {}
void ignorePointerAxisSource(void*, wl_pointer*, std::uint32_t) {}
void ignorePointerAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void ignorePointerAxisSteps(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
void ignoreKeyboardFocus(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void ignoreKeyboardLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void ignoreKeyboardModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                             std::uint32_t)
{
}
void ignoreKeyboardRepeat(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
void ignoreToplevelBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}
void ignoreToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}

} // namespace

void OutputShow::global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version)
{
    static const wl_output_listener OutputListener = {&OutputShow::outputGeometry, &OutputShow::outputMode,
                                                      &ignoreOutputDone,          &OutputShow::outputScale,
                                                      &ignoreOutputText,          &ignoreOutputText};
    static const wl_seat_listener SeatListener = {&OutputShow::seatCapabilities, &ignoreSeatName};
    auto* self = static_cast<OutputShow*>(data);
    const std::string_view kind(interface);
    if (kind == wl_compositor_interface.name && self->compositor_ == nullptr) {
        self->compositor_ = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, CompositorVersion)));
    } else if (kind == zwlr_layer_shell_v1_interface.name && self->layerShell_ == nullptr) {
        self->layerShell_ = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, std::min(version, LayerShellVersion)));
    } else if (kind == xdg_wm_base_interface.name && self->windowManager_ == nullptr) {
        static const xdg_wm_base_listener WindowManagerListener = {&OutputShow::ping};
        self->windowManager_ = static_cast<xdg_wm_base*>(
            wl_registry_bind(registry, name, &xdg_wm_base_interface, std::min(version, WindowManagerVersion)));
        xdg_wm_base_add_listener(self->windowManager_, &WindowManagerListener, self);
    } else if (kind == wl_output_interface.name) {
        auto output = std::make_unique<Output>();
        output->owner = self;
        output->name = name;
        output->output = static_cast<wl_output*>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min(version, OutputVersion)));
        wl_output_add_listener(output->output, &OutputListener, output.get());
        if (self->surfacesWanted_) {
            self->makeSurface(*output);
        }
        self->outputs_.push_back(std::move(output));
    } else if (kind == wl_seat_interface.name) {
        auto seat = std::make_unique<Seat>();
        seat->owner = self;
        seat->name = name;
        seat->seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, SeatVersion)));
        wl_seat_add_listener(seat->seat, &SeatListener, seat.get());
        self->seats_.push_back(std::move(seat));
    }
}

void OutputShow::globalRemoved(void* data, wl_registry*, std::uint32_t name)
{
    auto* self = static_cast<OutputShow*>(data);
    self->removeOutput(name);
    self->removeSeat(name);
}

void OutputShow::outputGeometry(void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
                               std::int32_t, const char*, const char*, std::int32_t)
{
    auto* output = static_cast<Output*>(data);
    output->x = x;
    output->y = y;
}

void OutputShow::outputMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
                           std::int32_t refresh)
{
    auto* output = static_cast<Output*>(data);
    if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
        output->modeWidth = width;
        output->modeHeight = height;
        output->refreshHz = refresh > 0 ? (refresh + 500) / 1000 : 0; // given in mHz
    }
}

void OutputShow::layerConfigure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width,
                               std::uint32_t height)
{
    // Taken up after the dispatch, where a show may be made or laid out again.
    auto* output = static_cast<Output*>(data);
    output->configurePending = true;
    output->configureSerial = serial;
    output->configureWidth = int(std::min<std::uint32_t>(width, 1u << 15));
    output->configureHeight = int(std::min<std::uint32_t>(height, 1u << 15));
}

void OutputShow::layerClosed(void* data, zwlr_layer_surface_v1*) { static_cast<Output*>(data)->closed = true; }

void OutputShow::windowConfigure(void* data, xdg_surface*, std::uint32_t serial)
{
    // The size came just before, with the window's own configure.
    auto* output = static_cast<Output*>(data);
    output->configurePending = true;
    output->configureSerial = serial;
}

void OutputShow::toplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*)
{
    auto* output = static_cast<Output*>(data);
    output->configureWidth = std::clamp(width, 0, 1 << 15);
    output->configureHeight = std::clamp(height, 0, 1 << 15);
}

void OutputShow::toplevelClose(void* data, xdg_toplevel*)
{
    // Closing the show's window (a key of the desktop's, its menu) ends the show.
    static_cast<Output*>(data)->owner->ending_ = true;
}

void OutputShow::makeSurface(Output& output)
{
    output.surface = wl_compositor_create_surface(compositor_);
    if (layerShell_ != nullptr) {
        makeLayerSurface(output);
    } else {
        makeWindow(output);
    }
    wl_surface_commit(output.surface); // no buffer: asks for the first configure
}

void OutputShow::makeWindow(Output& output)
{
    static const xdg_surface_listener WindowListener = {&OutputShow::windowConfigure};
    static const xdg_toplevel_listener ToplevelListener = {&OutputShow::toplevelConfigure, &OutputShow::toplevelClose,
                                                           &ignoreToplevelBounds, &ignoreToplevelCapabilities};
    output.window = xdg_wm_base_get_xdg_surface(windowManager_, output.surface);
    xdg_surface_add_listener(output.window, &WindowListener, &output);
    output.toplevel = xdg_surface_get_toplevel(output.window);
    xdg_toplevel_add_listener(output.toplevel, &ToplevelListener, &output);
    xdg_toplevel_set_title(output.toplevel, std::string(ShowWindowTitle).c_str());
    xdg_toplevel_set_app_id(output.toplevel, "velmora");
    xdg_toplevel_set_fullscreen(output.toplevel, output.output);
}

void OutputShow::makeLayerSurface(Output& output)
{
    static const zwlr_layer_surface_v1_listener LayerListener = {&OutputShow::layerConfigure, &OutputShow::layerClosed};
    output.layer = zwlr_layer_shell_v1_get_layer_surface(layerShell_, output.surface, output.output,
                                                         ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "velmora");
    zwlr_layer_surface_v1_add_listener(output.layer, &LayerListener, &output);
    // The whole output, over panels and every window, with the keyboard to itself.
    zwlr_layer_surface_v1_set_anchor(output.layer,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(output.layer, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(output.layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(output.layer,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
}

// The output's surface goes; its show waits for an output that comes later.
void OutputShow::dropSurface(Output& output)
{
    if (const std::optional<int> slot = slots_.detach(output.name)) {
        slotsShown_[std::size_t(*slot)]->platform.presenter = nullptr;
    }
    output.presenter.reset();
    if (output.layer != nullptr) {
        zwlr_layer_surface_v1_destroy(output.layer);
        output.layer = nullptr;
    }
    if (output.toplevel != nullptr) {
        xdg_toplevel_destroy(output.toplevel);
        output.toplevel = nullptr;
    }
    if (output.window != nullptr) {
        xdg_surface_destroy(output.window);
        output.window = nullptr;
    }
    if (output.surface != nullptr) {
        wl_surface_destroy(output.surface);
        output.surface = nullptr;
    }
    output.configurePending = false;
    output.width = output.height = 0;
}

void OutputShow::removeOutput(std::uint32_t name)
{
    const auto found =
        std::find_if(outputs_.begin(), outputs_.end(), [&](const auto& output) { return output->name == name; });
    if (found == outputs_.end()) {
        return;
    }
    Output& output = **found;
    dropSurface(output);
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(output.output)) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
        wl_output_release(output.output);
    } else {
        wl_output_destroy(output.output);
    }
    outputs_.erase(found);
}

void OutputShow::removeSeat(std::uint32_t name)
{
    const auto found = std::find_if(seats_.begin(), seats_.end(), [&](const auto& seat) { return seat->name == name; });
    if (found == seats_.end()) {
        return;
    }
    Seat& seat = **found;
    seatCapabilities(&seat, seat.seat, 0); // lets go of its devices
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(seat.seat)) >= WL_SEAT_RELEASE_SINCE_VERSION) {
        wl_seat_release(seat.seat);
    } else {
        wl_seat_destroy(seat.seat);
    }
    seats_.erase(found);
}

void OutputShow::seatCapabilities(void* data, wl_seat*, std::uint32_t capabilities)
{
    static const wl_pointer_listener PointerListener = {
        &OutputShow::pointerEnter, &ignorePointerLeave,      &OutputShow::pointerMotion, &OutputShow::pointerButton,
        &ignorePointerAxis,       &ignorePointerFrame,      &ignorePointerAxisSource,  &ignorePointerAxisStop,
        &ignorePointerAxisSteps,  &ignorePointerAxisSteps};
    static const wl_keyboard_listener KeyboardListener = {&OutputShow::keyboardKeymap, &ignoreKeyboardFocus,
                                                          &ignoreKeyboardLeave,       &OutputShow::keyboardKey,
                                                          &ignoreKeyboardModifiers,   &ignoreKeyboardRepeat};
    auto* seat = static_cast<Seat*>(data);
    const bool release = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(seat->seat)) >= 3;
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (pointer && seat->pointer == nullptr) {
        seat->pointer = wl_seat_get_pointer(seat->seat);
        wl_pointer_add_listener(seat->pointer, &PointerListener, seat);
    } else if (!pointer && seat->pointer != nullptr) {
        release ? wl_pointer_release(seat->pointer) : wl_pointer_destroy(seat->pointer);
        seat->pointer = nullptr;
    }
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (keyboard && seat->keyboard == nullptr) {
        seat->keyboard = wl_seat_get_keyboard(seat->seat);
        wl_keyboard_add_listener(seat->keyboard, &KeyboardListener, seat);
    } else if (!keyboard && seat->keyboard != nullptr) {
        release ? wl_keyboard_release(seat->keyboard) : wl_keyboard_destroy(seat->keyboard);
        seat->keyboard = nullptr;
    }
}

void OutputShow::pointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface,
                             wl_fixed_t x, wl_fixed_t y)
{
    auto* seat = static_cast<Seat*>(data);
    OutputShow& self = *seat->owner;
    seat->pointerOutput = 0;
    for (const auto& output : self.outputs_) {
        if (output->surface != nullptr && output->surface == surface) {
            seat->pointerOutput = output->name;
        }
    }
    if (!self.startup_.cursorVisible()) {
        wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    }
    // Coming onto a surface is a movement to there, as on X.
    self.mouseMoved(*seat, x, y);
}

void OutputShow::pointerMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    auto* seat = static_cast<Seat*>(data);
    seat->owner->mouseMoved(*seat, x, y);
}

void OutputShow::mouseMoved(const Seat& seat, wl_fixed_t x, wl_fixed_t y)
{
    // Every output's position counts from the same origin, so a move across two of them
    // weighs as one move on one screen.
    int offsetX = 0;
    int offsetY = 0;
    for (const auto& output : outputs_) {
        if (output->name == seat.pointerOutput) {
            offsetX = output->x;
            offsetY = output->y;
        }
    }
    if (!ending_ && !slotsShown_.empty()) {
        input(primary().Display_MouseMove(float(wl_fixed_to_double(x) + offsetX),
                                          float(wl_fixed_to_double(y) + offsetY)));
    }
}

void OutputShow::pointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                              std::uint32_t state)
{
    OutputShow& self = *static_cast<Seat*>(data)->owner;
    if (state == WL_POINTER_BUTTON_STATE_PRESSED && !self.ending_ && !self.slotsShown_.empty()) {
        self.input(self.primary().Display_MouseDown());
    }
}

void OutputShow::keyboardKeymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t)
{
    // The show tells keys apart by their codes alone (any key ends it, the arrows are the
    // same keys on every layout): the keymap is not read, only its descriptor closed.
    close(fd);
}

void OutputShow::keyboardKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
                            std::uint32_t state)
{
    OutputShow& self = *static_cast<Seat*>(data)->owner;
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED && !self.ending_ && !self.slotsShown_.empty()) {
        self.input(self.primary().Form_KeyDown(windowsKeyCodeFromEvdev(key)));
    }
}

bool OutputShow::bind()
{
    static const wl_registry_listener RegistryListener = {&OutputShow::global, &OutputShow::globalRemoved};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &RegistryListener, this);
    // The second round trip brings the outputs' positions and modes.
    if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) {
        return false;
    }
    return compositor_ != nullptr && (layerShell_ != nullptr || windowManager_ != nullptr);
}

// A new show (or cover) on slot `index`, laid out for `output`. The primary's is made first;
// the others take their catalogue and show order from it.
void OutputShow::makeSlot(int index, const Output& output)
{
    auto slot = std::make_unique<Slot>();
    if (slots_.runsShow(index)) {
        slot->form = index == 0 ? session_.makeForm(slot->platform)
                                : session_.makeForm(slot->platform, slots_.placeOf(index),
                                                    slotsShown_.front()->form.get());
        slot->form->Form_Load(output.width, output.height);
        slot->ticker = std::make_unique<ShowTicker>(*slot->form, frameIntervalFor(output.refreshHz));
    } else {
        slot->black = Picture(output.width, output.height);
    }
    slotsShown_.push_back(std::move(slot));
}

// Puts `slot` on `output`'s surface, at the output's size.
void OutputShow::showOn(Output& output, Slot& slot)
{
    slot.platform.presenter = nullptr;
    output.presenter = WaylandPresenter::create(display_, output.surface, output.width, output.height, {});
    if (output.presenter == nullptr) {
        *messages_ << "velmora: no shared memory for an output's " << output.width << " x " << output.height
                   << " picture; it stays as it is\n";
        return;
    }
    if (slot.form) {
        const Picture& display = slot.form->buffers().Display;
        if (display.width() != output.width || display.height() != output.height) {
            slot.form->Form_Resize(output.width, output.height);
        }
    } else if (slot.black.width() != output.width || slot.black.height() != output.height) {
        slot.black = Picture(output.width, output.height);
    }
    slot.platform.presenter = output.presenter.get();
    output.presenter->present(slot.shown(), show::boundsOf(slot.shown()));
    if (badge_ != nullptr && &slot == slotsShown_.front().get()) {
        const show::Rect at = badge_->placeIn(output.width, output.height);
        output.presenter->setOverlay(&badge_->picture(), at.x, at.y);
    }
}

// Takes up what the compositor said in the last dispatch: surfaces it closed, and sizes it
// gave. An output that gets its first size gets a show; the shows of outputs that came in
// the same dispatch are made together, so each knows how many there are.
void OutputShow::settle()
{
    for (const auto& output : outputs_) {
        if (output->closed) {
            dropSurface(*output);
            output->closed = false;
        }
    }
    std::vector<Output*> sized;
    bool slotsMade = false;
    for (const auto& output : outputs_) {
        if (!output->configurePending || output->surface == nullptr) {
            continue;
        }
        output->configurePending = false;
        if (output->layer != nullptr) {
            zwlr_layer_surface_v1_ack_configure(output->layer, output->configureSerial);
        } else {
            xdg_surface_ack_configure(output->window, output->configureSerial);
        }
        // The show is drawn at the output's own resolution, not enlarged by the compositor on a
        // scaled output. No size given: the output's mode.
        const int scale = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(output->surface)) >=
                                  WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION
                              ? output->scale
                              : 1;
        const int width = output->configureWidth > 0 ? output->configureWidth * scale : output->modeWidth;
        const int height = output->configureHeight > 0 ? output->configureHeight * scale : output->modeHeight;
        if (width <= 0 || height <= 0 || width % scale != 0 || height % scale != 0) {
            continue; // nothing to lay a show out on; a later size may come
        }
        if (scale > 1 || output->scale > 1) {
            wl_surface_set_buffer_scale(output->surface, scale); // goes with the next buffer
        }
        if (width == output->width && height == output->height && output->presenter != nullptr) {
            continue;
        }
        output->width = width;
        output->height = height;
        const OutputSlots::Attachment attached = slots_.attach(output->name);
        slotsMade = slotsMade || attached.made;
        sized.push_back(output.get());
    }
    for (int index = int(slotsShown_.size()); index < slots_.size(); ++index) {
        for (Output* output : sized) {
            if (slots_.slotOf(output->name) == index) {
                makeSlot(index, *output);
            }
        }
    }
    if (slotsMade) {
        for (int index = 0; index < slots_.size(); ++index) {
            if (slotsShown_[std::size_t(index)]->form) {
                slotsShown_[std::size_t(index)]->form->setMonitorPlace(slots_.placeOf(index));
            }
        }
    }
    for (Output* output : sized) {
        showOn(*output, *slotsShown_[std::size_t(*slots_.slotOf(output->name))]);
    }
}

int OutputShow::run(std::ostream& messages)
{
    messages_ = &messages;
    surfacesWanted_ = true;
    for (const auto& output : outputs_) {
        makeSurface(*output);
    }
    if (wl_display_roundtrip(display_) < 0) {
        messages << "velmora: the Wayland compositor closed the connection\n";
        return 1;
    }
    if (options_.fps) {
        badge_ = std::make_unique<FpsBadge>();
    }
    settle();
    LinuxExitSystem exitSystem(startup_);
    show::ShowExit exit(exitSystem, state_);
    const auto stopShows = [&] {
        for (const auto& slot : slotsShown_) {
            if (slot->form) {
                slot->form->stopShow();
            }
        }
    };
    if (slotsShown_.empty()) {
        messages << "velmora: the Wayland compositor has no output to show on\n";
        exit.stopAndRestore(stopShows);
        return 1;
    }

    SignalWake signals;
    const auto soonestWait = [&](std::int64_t now) {
        int wait = primaryTicker().sleepLimit(now, badge_ != nullptr);
        for (int index = 1; index < int(slotsShown_.size()); ++index) {
            const Slot& slot = *slotsShown_[std::size_t(index)];
            if (slot.ticker && slots_.ticking(index)) {
                const int other = slot.ticker->waitFrom(now);
                wait = wait < 0 ? other : other < 0 ? wait : std::min(wait, other);
            }
        }
        return wait;
    };
    const auto holding = [&] {
        return std::any_of(outputs_.begin(), outputs_.end(),
                           [](const auto& output) { return output->presenter && output->presenter->holding(); });
    };
    const auto runTickers = [&](std::int64_t now) {
        for (int index = 0; index < int(slotsShown_.size()); ++index) {
            Slot& slot = *slotsShown_[std::size_t(index)];
            if (slot.ticker && slots_.ticking(index)) {
                slot.ticker->run(now);
            }
        }
    };
    runTickers(monotonicMilliseconds());
    bool lost = false;
    while (!ending_ && !lost) {
        int wait = soonestWait(monotonicMilliseconds());
        if (holding()) {
            // A frame waits for the compositor: it goes out at the next frame's wake-up at the
            // latest, even while the shows have nothing to draw for a while.
            const int frame = primaryTicker().frameIntervalMs();
            wait = wait < 0 ? frame : std::min(wait, frame);
        }
        // Events already read are handled before the sleep; the connection is read after it.
        while (!lost && wl_display_prepare_read(display_) != 0) {
            lost = wl_display_dispatch_pending(display_) < 0;
        }
        if (lost) {
            break;
        }
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            lost = true;
            break;
        }
        const bool settling = std::any_of(outputs_.begin(), outputs_.end(), [](const auto& output) {
            return output->configurePending || output->closed;
        });
        (void)primaryTicker().sleepForFrame(ending_ || settling ? 0 : wait, wl_display_get_fd(display_),
                                            signals.fd());
        // Nothing to read is no error: the read returns at once.
        if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) {
            lost = true;
            break;
        }
        if (signals.taken()) {
            ending_ = true;
        }
        if (ending_) {
            break;
        }
        settle();
        const std::int64_t now = monotonicMilliseconds();
        runTickers(now);
        if (badge_ && badge_->update(now, primaryTicker().framesRun())) {
            if (WaylandPresenter* presenter = slotsShown_.front()->platform.presenter) {
                const Picture& display = primary().buffers().Display;
                const show::Rect at = badge_->placeIn(display.width(), display.height());
                presenter->setOverlay(&badge_->picture(), at.x, at.y);
            }
        }
        for (const auto& output : outputs_) {
            if (output->presenter) {
                output->presenter->flush();
            }
        }
    }
    if (lost) {
        messages << "velmora: the Wayland compositor closed the connection ("
                 << std::strerror(wl_display_get_error(display_)) << ")\n";
    }
    if (options_.timing) {
        primaryTicker().frameIntervals().print(messages, primaryTicker().frameIntervalMs());
    }
    exit.EndShow(stopShows);
    return lost ? 1 : 0;
}

OutputShow::~OutputShow()
{
    while (!outputs_.empty()) {
        removeOutput(outputs_.back()->name);
    }
    while (!seats_.empty()) {
        removeSeat(seats_.back()->name);
    }
    // The other shows read the primary's catalogue: they go first.
    while (!slotsShown_.empty()) {
        slotsShown_.pop_back();
    }
    if (layerShell_ != nullptr) {
        if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(layerShell_)) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION) {
            zwlr_layer_shell_v1_destroy(layerShell_);
        } else {
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(layerShell_));
        }
    }
    if (windowManager_ != nullptr) {
        xdg_wm_base_destroy(windowManager_);
    }
    if (compositor_ != nullptr) {
        wl_compositor_destroy(compositor_);
    }
    if (registry_ != nullptr) {
        wl_registry_destroy(registry_);
    }
    wl_display_flush(display_);
}

std::optional<int> runOutputShow(const ShellOptions& options, StartupState& state, LinuxStartupPlatform& startup,
                                ShowSession& session, std::ostream& messages)
{
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        return std::nullopt; // the full-screen window says why
    }
    std::optional<int> code;
    {
        OutputShow show(display, options, state, startup, session);
        if (show.bind()) {
            code = show.run(messages);
        }
    }
    wl_display_disconnect(display);
    return code;
}

} // namespace velmora::shell
