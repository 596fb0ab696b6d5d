#include "x11connection.h"

#include "x11frame.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <xcb/shm.h>

namespace Toolkit::LinuxPlatform {

namespace {
// One connection per editor thread, so that the events of a thread's windows arrive on, and are
// handled by, that thread while another thread runs editors of its own. Locked only when a
// frame comes or goes and once per pump, never on the audio thread.
std::mutex connectionsLock;
std::unordered_map<std::thread::id, X11Connection*>& connections() {
    static std::unordered_map<std::thread::id, X11Connection*> perThread;
    return perThread;
}

constexpr std::uint32_t keysymNumLock = 0xff7f;

bool isKeypadKeysym(std::uint32_t keysym) {
    return keysym >= 0xff80 && keysym <= 0xffbd;
}
} // namespace

X11Connection* X11Connection::acquire() {
    std::lock_guard<std::mutex> hold(connectionsLock);
    X11Connection*& mine = connections()[std::this_thread::get_id()];
    if (!mine) {
        // Connected under the lock too: libXau's credentials lookup is not thread-safe.
        auto* created = new X11Connection();
        if (!created->open()) {
            delete created;
            connections().erase(std::this_thread::get_id());
            return nullptr;
        }
        created->owner = std::this_thread::get_id();
        mine = created;
    }
    ++mine->users;
    return mine;
}

X11Connection* X11Connection::acquireIfOpen() {
    std::lock_guard<std::mutex> hold(connectionsLock);
    const auto found = connections().find(std::this_thread::get_id());
    if (found == connections().end()) {
        return nullptr;
    }
    ++found->second->users;
    return found->second;
}

void X11Connection::release() {
    {
        // A frame may be destroyed on another thread than the one that made it (a host that
        // deletes the effect elsewhere): the connection is found by its owner, not the caller.
        std::lock_guard<std::mutex> hold(connectionsLock);
        if (--users > 0) {
            return;
        }
        const auto found = connections().find(owner);
        if (found != connections().end() && found->second == this) {
            connections().erase(found);
        }
    }
    delete this;
}

bool X11Connection::open() {
    conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn)) {
        xcb_disconnect(conn); // frees the error object xcb_connect always returns
        conn = nullptr;
        return false;
    }
    // Asked now, answered while the first window is made.
    xcb_prefetch_extension_data(conn, &xcb_shm_id);
    return true;
}

bool X11Connection::mayShareMemory() {
    if (sharedMemoryRefused || failed()) {
        return false;
    }
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(conn, &xcb_shm_id);
    return extension && extension->present;
}

X11Connection::~X11Connection() {
    if (cairoDevice) {
        cairo_device_finish(cairoDevice);
        cairo_device_destroy(cairoDevice);
    }
    if (conn) {
        if (!failed()) {
            for (const auto& [glyph, cursor] : cursors) {
                xcb_free_cursor(conn, cursor);
            }
            if (cursorFont != XCB_NONE) {
                xcb_close_font(conn, cursorFont);
            }
            xcb_flush(conn);
        }
        xcb_disconnect(conn);
    }
}

bool X11Connection::failed() const {
    return !conn || xcb_connection_has_error(conn) != 0;
}

void X11Connection::registerWindow(xcb_window_t window, X11Frame* frame) {
    windows[window] = frame;
}

void X11Connection::unregisterWindow(xcb_window_t window) {
    windows.erase(window);
}

std::vector<X11Frame*> X11Connection::referencedFrames() const {
    std::vector<X11Frame*> frames;
    frames.reserve(windows.size());
    for (const auto& [window, frame] : windows) {
        frame->addReference();
        frames.push_back(frame);
    }
    return frames;
}

xcb_window_t X11Connection::eventWindow(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
    case XCB_EXPOSE:
        return reinterpret_cast<const xcb_expose_event_t*>(event)->window;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY:
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
        // Same layout for these five.
        return reinterpret_cast<const xcb_button_press_event_t*>(event)->event;
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
        return reinterpret_cast<const xcb_enter_notify_event_t*>(event)->event;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
        return reinterpret_cast<const xcb_focus_in_event_t*>(event)->event;
    case XCB_DESTROY_NOTIFY:
        return reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
    default:
        return XCB_NONE;
    }
}

void X11Connection::dispatchPending() {
    if (failed()) {
        return;
    }
    // A frame may close the last window (and so this connection) from inside a callback.
    ++users;
    xcb_generic_event_t* next = nullptr;
    while (xcb_generic_event_t* event = next ? next : xcb_poll_for_event(conn)) {
        next = nullptr;
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_RELEASE) {
            // A held key repeats as release-press pairs with one timestamp; controls expect
            // repeated presses and a single release when the key really goes up.
            next = xcb_poll_for_event(conn);
            if (next && isAutoRepeat(event, next)) {
                std::free(event);
                continue;
            }
        }
        if (type == XCB_MAPPING_NOTIFY) {
            keyboardLoaded = false;
        } else if (type != 0) { // 0: an error for one of our requests; nothing to do
            auto found = windows.find(eventWindow(event));
            if (found != windows.end()) {
                X11Frame* frame = found->second;
                frame->addReference();
                frame->handleEvent(event);
                frame->releaseReference();
            }
        }
        std::free(event);
        if (failed()) {
            break;
        }
    }
    std::free(next);
    release();
}

bool X11Connection::isAutoRepeat(const xcb_generic_event_t* release,
                                 const xcb_generic_event_t* press) {
    if ((press->response_type & 0x7f) != XCB_KEY_PRESS) {
        return false;
    }
    const auto& up = *reinterpret_cast<const xcb_key_release_event_t*>(release);
    const auto& down = *reinterpret_cast<const xcb_key_press_event_t*>(press);
    if (up.detail != down.detail || up.time != down.time || up.event != down.event) {
        return false;
    }
    // Only keys the server repeats (by default not the modifiers) can be a repeat.
    if (!keyboardLoaded) {
        loadKeyboardMapping();
    }
    return (repeatingKeys[up.detail / 8] >> (up.detail % 8)) & 1u;
}

xcb_visualtype_t* X11Connection::visualType(xcb_visualid_t visual) const {
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(conn)); screens.rem;
         xcb_screen_next(&screens)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem;
             xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
                 xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == visual) {
                    return visuals.data;
                }
            }
        }
    }
    return nullptr;
}

void X11Connection::loadKeyboardMapping() {
    keyboardLoaded = true;
    keysyms.clear();
    keysymsPerKeycode = 0;
    numLockMask = 0;
    const xcb_setup_t* setup = xcb_get_setup(conn);
    minKeycode = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto mapCookie = xcb_get_keyboard_mapping(conn, setup->min_keycode, count);
    auto modCookie = xcb_get_modifier_mapping(conn);
    auto controlCookie = xcb_get_keyboard_control(conn);
    if (auto* map = xcb_get_keyboard_mapping_reply(conn, mapCookie, nullptr)) {
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(map));
        keysymsPerKeycode = map->keysyms_per_keycode;
        std::free(map);
    }
    if (auto* mods = xcb_get_modifier_mapping_reply(conn, modCookie, nullptr)) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mods);
        const int perModifier = mods->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8 && numLockMask == 0; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = codes[modifier * perModifier + i];
                if (code != 0 && keysymFor(code, 0) == keysymNumLock) {
                    numLockMask = static_cast<std::uint16_t>(1u << modifier);
                    break;
                }
            }
        }
        std::free(mods);
    }
    repeatingKeys.fill(0);
    if (auto* control = xcb_get_keyboard_control_reply(conn, controlCookie, nullptr)) {
        if (control->global_auto_repeat != XCB_AUTO_REPEAT_MODE_OFF) {
            std::memcpy(repeatingKeys.data(), control->auto_repeats, repeatingKeys.size());
        }
        std::free(control);
    }
}

std::uint32_t X11Connection::keysymFor(xcb_keycode_t keycode, std::uint16_t state) {
    if (!keyboardLoaded) {
        loadKeyboardMapping();
    }
    if (keysymsPerKeycode == 0 || keycode < minKeycode) {
        return 0;
    }
    const std::size_t base = static_cast<std::size_t>(keycode - minKeycode) * keysymsPerKeycode;
    if (base >= keysyms.size()) {
        return 0;
    }
    const std::uint32_t plain = keysyms[base];
    if ((state & numLockMask) && keysymsPerKeycode > 1 && isKeypadKeysym(keysyms[base + 1])) {
        return keysyms[base + 1];
    }
    return plain;
}

xcb_cursor_t X11Connection::fontCursor(std::uint16_t glyph) {
    if (auto found = cursors.find(glyph); found != cursors.end()) {
        return found->second;
    }
    if (failed()) {
        return XCB_NONE;
    }
    if (cursorFont == XCB_NONE) {
        cursorFont = xcb_generate_id(conn);
        static const char name[] = "cursor";
        if (auto* error = xcb_request_check(
                conn, xcb_open_font_checked(conn, cursorFont, sizeof name - 1, name))) {
            std::free(error);
            cursorFont = XCB_NONE;
            return XCB_NONE;
        }
    }
    const xcb_cursor_t cursor = xcb_generate_id(conn);
    // Black shape on a white outline, like every core cursor.
    if (auto* error = xcb_request_check(
            conn, xcb_create_glyph_cursor_checked(conn, cursor, cursorFont, cursorFont, glyph,
                                                  glyph + 1, 0, 0, 0, 0xffff, 0xffff, 0xffff))) {
        std::free(error);
        return XCB_NONE;
    }
    cursors[glyph] = cursor;
    return cursor;
}

void X11Connection::noteCairoDevice(cairo_device_t* device) {
    // One device per connection: the first one seen is the one.
    if (!device || cairoDevice) {
        return;
    }
    cairoDevice = cairo_device_reference(device);
}

} // namespace Toolkit::LinuxPlatform
