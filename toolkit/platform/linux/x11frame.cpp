#include "x11frame.h"

#include "keytranslation.h"
#include "platform/buttonflags.h"
#include "platform/editorsupport.h"
#include "platform/iplatformfactory.h"
#include "scalefactor.h"
#include "x11connection.h"
#include "x11sharedimage.h"

#include "cdrawcontext.h"
#include "coffscreencontext.h"

#include <cairo-xcb.h>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace Toolkit::LinuxPlatform {

namespace {
// The buttons and modifiers in an event's state; X has no state bits for the side buttons.
constexpr FlagButton kStateButtons[] = {
    {XCB_BUTTON_MASK_1, leftButton},    {XCB_BUTTON_MASK_2, middleButton},
    {XCB_BUTTON_MASK_3, rightButton},   {XCB_MOD_MASK_SHIFT, shiftKey},
    {XCB_MOD_MASK_CONTROL, controlKey}, {XCB_MOD_MASK_1, altKey},
};

constexpr std::uint32_t kEventMask =
    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
    XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_KEY_PRESS |
    XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

constexpr std::uint32_t kDoubleClickMs = 400;
constexpr int kDoubleClickDistance = 4;

// X window sizes are 1..32767; a frame of no or absurd size still gets a valid window.
int windowDimension(double value) {
    if (!(value >= 1.0)) {
        return 1;
    }
    return value >= 32767.0 ? 32767 : static_cast<int>(value);
}

std::uint32_t buttonBit(std::uint8_t button) {
    switch (button) {
    case 1:
        return leftButton;
    case 2:
        return middleButton;
    case 3:
        return rightButton;
    case 8:
        return button4;
    case 9:
        return button5;
    default:
        return 0;
    }
}

// Glyphs of the standard X cursor font; the font has no crossed circle, so "not allowed"
// shows the plain circle.
std::uint16_t cursorGlyph(CursorType type) {
    switch (type) {
    case cursorWait:
        return 150; // watch
    case cursorHSize:
        return 108; // sb_h_double_arrow
    case cursorVSize:
        return 116; // sb_v_double_arrow
    case cursorSizeAll:
        return 52; // fleur
    case cursorNESWSize:
        return 12; // bottom_left_corner
    case cursorNWSESize:
        return 14; // bottom_right_corner
    case cursorNotAllowed:
        return 24; // circle
    case cursorHand:
        return 60; // hand2
    default:
        return 0xffff; // the window's inherited cursor
    }
}

} // namespace

X11Frame::X11Frame(IPlatformFrameCallback* frameCallback, const CRect& size, void* parentWindow)
    : callback(frameCallback), width(windowDimension(size.width())),
      height(windowDimension(size.height())) {
    invalid = cairo_region_create();
    const auto parentId = reinterpret_cast<std::uintptr_t>(parentWindow);
    // X resource ids use at most 29 bits; anything else cannot be a window.
    if (!callback || parentId == 0 || parentId > 0x1fffffffu) {
        return;
    }
    connection = X11Connection::acquire();
    if (connection) {
        createWindow(static_cast<xcb_window_t>(parentId));
    }
}

void X11Frame::createWindow(xcb_window_t parentWindow) {
    xcb_connection_t* c = connection->connection();
    // The host's window may already be gone: both requests are checked, never fatal.
    auto geometryCookie = xcb_get_geometry(c, parentWindow);
    auto attributesCookie = xcb_get_window_attributes(c, parentWindow);
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, geometryCookie, &error);
    std::free(error);
    error = nullptr;
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, attributesCookie, &error);
    std::free(error);
    if (geometry && attributes && attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT) {
        visual = connection->visualType(attributes->visual);
        root = geometry->root;
        depth = geometry->depth;
    }
    std::free(geometry);
    std::free(attributes);
    if (!visual) {
        return;
    }

    // A plain child of the host's window in its visual; no background, since every paint
    // covers what it exposes, and no focus request: the host decides where keys go.
    const xcb_window_t created = xcb_generate_id(c);
    const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, kEventMask};
    error = xcb_request_check(
        c, xcb_create_window_checked(c, XCB_COPY_FROM_PARENT, created, parentWindow, 0, 0,
                                     static_cast<std::uint16_t>(width),
                                     static_cast<std::uint16_t>(height), 0,
                                     XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                                     XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values));
    if (error) {
        std::free(error);
        return;
    }
    ownWindow = created;
    parent = parentWindow;
    connection->registerWindow(ownWindow, this);
    writeSizeHints();
    xcb_map_window(c, ownWindow);
    // One round trip: the window is mapped on the server before the host, on a connection of
    // its own, goes on with its parent (some hosts embed or show it at once).
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void X11Frame::writeSizeHints() {
    // ICCCM's 18-word WM_SIZE_HINTS: flags, the old position and size, min, max, increments,
    // aspects, base, gravity. The flags: program-specified size, min, max and base size.
    constexpr std::uint32_t kProgramSize = 1u << 3, kMinSize = 1u << 4, kMaxSize = 1u << 5,
                            kBaseSize = 1u << 8;
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    std::uint32_t hints[18] = {};
    hints[0] = kProgramSize | kMinSize | kMaxSize | kBaseSize;
    hints[3] = hints[5] = hints[7] = hints[15] = w;
    hints[4] = hints[6] = hints[8] = hints[16] = h;
    xcb_change_property(connection->connection(), XCB_PROP_MODE_REPLACE, ownWindow,
                        XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
}

X11Frame::~X11Frame() {
    if (drawContext) {
        drawContext->releaseReference();
    }
    dropSurfaces();
    if (ownWindow != XCB_NONE) {
        connection->unregisterWindow(ownWindow);
        if (!connection->failed()) {
            xcb_destroy_window(connection->connection(), ownWindow);
            xcb_flush(connection->connection());
        }
    }
    cairo_region_destroy(invalid);
    if (connection) {
        connection->release();
    }
}

void X11Frame::dropSurfaces() {
    if (windowSurface) {
        cairo_surface_finish(windowSurface);
        cairo_surface_destroy(windowSurface);
        windowSurface = nullptr;
    }
    if (buffer) {
        cairo_surface_destroy(buffer);
        buffer = nullptr;
    }
    sharedBuffer.reset();
}

void X11Frame::forgetWindow() {
    connection->unregisterWindow(ownWindow);
    ownWindow = XCB_NONE;
    dropSurfaces();
    if (drawContext) {
        drawContext->releaseReference();
        drawContext = nullptr;
    }
}

bool X11Frame::isKindOf(const char* className) const {
    return nameIs(className, "X11Frame") || IPlatformFrame::isKindOf(className);
}

bool X11Frame::globalPosition(CPoint& position) const {
    if (ownWindow == XCB_NONE) {
        return false;
    }
    xcb_connection_t* c = connection->connection();
    auto* reply = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, ownWindow, root, 0, 0), nullptr);
    if (!reply) {
        return false;
    }
    position = CPoint(reply->dst_x, reply->dst_y);
    std::free(reply);
    return true;
}

bool X11Frame::setSize(const CRect& newSize) {
    const int newWidth = windowDimension(newSize.width());
    const int newHeight = windowDimension(newSize.height());
    // The window context and back buffer are made again for the new size at the next paint.
    if (drawContext) {
        drawContext->releaseReference();
        drawContext = nullptr;
    }
    dropSurfaces();
    width = newWidth;
    height = newHeight;
    if (ownWindow != XCB_NONE && !connection->failed()) {
        const std::uint32_t values[] = {static_cast<std::uint32_t>(width),
                                        static_cast<std::uint32_t>(height)};
        xcb_configure_window(connection->connection(), ownWindow,
                             XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
        writeSizeHints();
        // One round trip, as at creation: a host that reads our size on its own connection
        // right after asking for it (an LV2 host after instantiate) sees the new one.
        xcb_connection_t* c = connection->connection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
    invalidateRect(newSize);
    return true;
}

bool X11Frame::size(CRect& rect) const {
    if (ownWindow == XCB_NONE) {
        return false;
    }
    rect = CRect(0, 0, width, height);
    return true;
}

bool X11Frame::mousePosition(CPoint& position) const {
    if (ownWindow == XCB_NONE) {
        return false;
    }
    xcb_connection_t* c = connection->connection();
    auto* reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, ownWindow), nullptr);
    if (!reply) {
        return false;
    }
    position = CPoint(reply->win_x, reply->win_y);
    std::free(reply);
    return true;
}

bool X11Frame::mouseButtons(ButtonState& buttons) const {
    std::uint16_t mask = 0;
    if (ownWindow != XCB_NONE) {
        xcb_connection_t* c = connection->connection();
        if (auto* reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, ownWindow), nullptr)) {
            mask = reply->mask;
            std::free(reply);
        }
    }
    buttons |= buttonsFromState(mask);
    return true;
}

bool X11Frame::setCursor(CursorType type) {
    if (ownWindow == XCB_NONE || connection->failed()) {
        return true;
    }
    const std::uint16_t glyph = cursorGlyph(type);
    const std::uint32_t cursor = glyph == 0xffff ? XCB_NONE : connection->fontCursor(glyph);
    xcb_change_window_attributes(connection->connection(), ownWindow, XCB_CW_CURSOR, &cursor);
    xcb_flush(connection->connection());
    return true;
}

bool X11Frame::invalidateRect(const CRect& rect) {
    if (ownWindow == XCB_NONE) {
        return false;
    }
    // Whole pixels covering the rectangle, limited to the window.
    const double left = std::max(0.0, std::floor(rect.left));
    const double top = std::max(0.0, std::floor(rect.top));
    const double right = std::min(static_cast<double>(width), std::ceil(rect.right));
    const double bottom = std::min(static_cast<double>(height), std::ceil(rect.bottom));
    if (!(right > left) || !(bottom > top)) {
        return true; // also catches NaN
    }
    const cairo_rectangle_int_t area{static_cast<int>(left), static_cast<int>(top),
                                     static_cast<int>(right - left),
                                     static_cast<int>(bottom - top)};
    cairo_region_union_rectangle(invalid, &area);
    return true;
}

void* X11Frame::nativeHandle() const {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(ownWindow));
}

COffscreenContext* X11Frame::createOffscreenContext(double offscreenWidth, double offscreenHeight) {
    return EditorSupport::platformFactory().createOffscreenContext(offscreenWidth, offscreenHeight);
}

bool X11Frame::setScaleFactor(double newScale) {
    if (newScale == scale) {
        return true;
    }
    scale = newScale;
    // The next paint makes a context at the new scale.
    if (drawContext) {
        drawContext->releaseReference();
        drawContext = nullptr;
    }
    return true;
}

cairo_surface_t* X11Frame::backBuffer() {
    if (!buffer && ownWindow != XCB_NONE && visual) {
        sharedBuffer =
            X11SharedImage::create(*connection, ownWindow, *visual, depth, width, height);
        if (sharedBuffer) {
            buffer = cairo_surface_reference(sharedBuffer->surface());
        }
    }
    if (!buffer) {
        buffer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        if (cairo_surface_status(buffer) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(buffer);
            buffer = nullptr;
        }
    }
    return buffer;
}

ButtonState X11Frame::buttonsFromState(std::uint16_t state) const {
    return ButtonState(sideButtons | buttonsFromFlags(state, kStateButtons));
}

void X11Frame::handleEvent(const xcb_generic_event_t* event) {
    if (ownWindow == XCB_NONE) {
        return;
    }
    switch (event->response_type & 0x7f) {
    case XCB_EXPOSE: {
        const auto& expose = *reinterpret_cast<const xcb_expose_event_t*>(event);
        invalidateRect(
            CRect(expose.x, expose.y, expose.x + expose.width, expose.y + expose.height));
        break;
    }
    case XCB_BUTTON_PRESS:
        onButtonPress(*reinterpret_cast<const xcb_button_press_event_t*>(event));
        break;
    case XCB_BUTTON_RELEASE:
        onButtonRelease(*reinterpret_cast<const xcb_button_release_event_t*>(event));
        break;
    case XCB_MOTION_NOTIFY: {
        const auto& motion = *reinterpret_cast<const xcb_motion_notify_event_t*>(event);
        callback->platformMouseMoved(CPoint(motion.event_x, motion.event_y),
                                     buttonsFromState(motion.state));
        break;
    }
    case XCB_LEAVE_NOTIFY: {
        const auto& leave = *reinterpret_cast<const xcb_leave_notify_event_t*>(event);
        if (leave.detail != XCB_NOTIFY_DETAIL_INFERIOR) {
            callback->platformMouseExited(CPoint(leave.event_x, leave.event_y),
                                          buttonsFromState(leave.state));
        }
        break;
    }
    case XCB_KEY_PRESS:
        onKey(*reinterpret_cast<const xcb_key_press_event_t*>(event), true);
        break;
    case XCB_KEY_RELEASE:
        onKey(*reinterpret_cast<const xcb_key_release_event_t*>(event), false);
        break;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT: {
        const auto& focus = *reinterpret_cast<const xcb_focus_in_event_t*>(event);
        // Keyboard grabs and pointer-root focus tracking are not real focus changes.
        if (focus.mode == XCB_NOTIFY_MODE_GRAB || focus.mode == XCB_NOTIFY_MODE_UNGRAB ||
            focus.detail == XCB_NOTIFY_DETAIL_POINTER ||
            focus.detail == XCB_NOTIFY_DETAIL_POINTER_ROOT ||
            focus.detail == XCB_NOTIFY_DETAIL_NONE) {
            break;
        }
        callback->platformActivate((event->response_type & 0x7f) == XCB_FOCUS_IN);
        break;
    }
    case XCB_DESTROY_NOTIFY:
        // The host destroyed its window (and with it ours) before closing the editor.
        if (reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == ownWindow) {
            forgetWindow();
        }
        break;
    default:
        break;
    }
}

void X11Frame::onButtonPress(const xcb_button_press_event_t& event) {
    const CPoint where(event.event_x, event.event_y);
    if (event.detail >= 4 && event.detail <= 7) {
        // Wheel notches arrive as presses of buttons 4 to 7 (up, down, left, right).
        const MouseWheelAxis axis = event.detail <= 5 ? verticalAxis : horizontalAxis;
        const float distance = (event.detail == 4 || event.detail == 6) ? 1.0f : -1.0f;
        callback->platformMouseWheel(where, axis, distance,
                                     ButtonState(buttonsFromState(event.state).modifiers()));
        return;
    }
    const std::uint32_t bit = buttonBit(event.detail);
    const bool firstButton =
        (event.state & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3 |
                        XCB_BUTTON_MASK_4 | XCB_BUTTON_MASK_5)) == 0 &&
        sideButtons == 0;
    if (bit == 0) {
        if (firstButton) {
            ungrabPointer(event.time);
        }
        return;
    }
    ButtonState buttons = buttonsFromState(event.state);
    buttons |= bit;
    if (bit == button4 || bit == button5) {
        sideButtons |= bit;
    }

    const bool repeat = lastPress.button == event.detail &&
                        event.time - lastPress.time <= kDoubleClickMs &&
                        std::abs(event.event_x - lastPress.x) <= kDoubleClickDistance &&
                        std::abs(event.event_y - lastPress.y) <= kDoubleClickDistance;
    if (repeat) {
        buttons |= doubleClick;
        lastPress = {}; // a third press starts a new pair
    } else {
        lastPress = {event.detail, event.time, event.event_x, event.event_y};
    }

    const MouseResult result = callback->platformMouseDown(where, buttons);
    // The server grabbed the pointer for this press; it stays with us only when the frame
    // tracks the press. A press made while another button is held keeps the earlier grab.
    if (result != mouseHandled && firstButton) {
        ungrabPointer(event.time);
        // Its release may now happen outside and never reach us; a bit left set would make
        // every later press a two-button one, which the controls refuse.
        sideButtons &= ~bit;
    }
}

void X11Frame::onButtonRelease(const xcb_button_release_event_t& event) {
    const std::uint32_t bit = buttonBit(event.detail);
    if (bit == 0) {
        return; // wheel releases carry nothing
    }
    sideButtons &= ~bit;
    // The event's state is from before the release; the frame sees the state after it.
    const ButtonState buttons(buttonsFromState(event.state).value() & ~bit);
    callback->platformMouseUp(CPoint(event.event_x, event.event_y), buttons);
}

void X11Frame::onKey(const xcb_key_press_event_t& event, bool down) {
    const std::uint8_t virtualKey =
        virtualKeyFromKeysym(connection->keysymFor(event.detail, event.state));
    bool used = false;
    if (virtualKey != 0) {
        VstKeyCode key;
        key.virt = virtualKey;
        used = down ? callback->platformKeyDown(key) : callback->platformKeyUp(key);
    }
    if (!used) {
        passKeyToParent(event, down);
    }
}

void X11Frame::passKeyToParent(const xcb_key_press_event_t& event, bool down) {
    // The server hands keys to the window under the pointer even while the host has the
    // focus, so a key we do not use would otherwise be lost to the host (its transport keys,
    // say). Our window sits at the parent's origin: the coordinates stay as they are.
    if (ownWindow == XCB_NONE || parent == XCB_NONE || connection->failed()) {
        return;
    }
    xcb_key_press_event_t forwarded = event;
    forwarded.event = parent;
    forwarded.child = ownWindow;
    const std::uint32_t mask = down ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE;
    // 32 bytes, as every X event on the wire.
    char wire[32] = {};
    static_assert(sizeof forwarded <= sizeof wire);
    std::memcpy(wire, &forwarded, sizeof forwarded);
    xcb_send_event(connection->connection(), 1, parent, mask, wire);
    xcb_flush(connection->connection());
}

void X11Frame::ungrabPointer(xcb_timestamp_t time) {
    // With the press's own time, a grab from a later press is left alone. Waiting for the
    // server makes the release take effect before anything else happens.
    xcb_connection_t* c = connection->connection();
    std::free(xcb_request_check(c, xcb_ungrab_pointer_checked(c, time)));
}

bool X11Frame::needsPaint() const {
    return ownWindow != XCB_NONE && !cairo_region_is_empty(invalid);
}

void X11Frame::paint() {
    if (!needsPaint() || connection->failed()) {
        return;
    }
    cairo_region_t* region = invalid;
    invalid = cairo_region_create();
    const cairo_rectangle_int_t bounds{0, 0, width, height};
    cairo_region_intersect_rectangle(region, &bounds);

    if (!drawContext && backBuffer()) {
        drawContext =
            EditorSupport::platformFactory().createWindowContext(this, CRect(0, 0, width, height));
        if (drawContext && scale != 1.0) {
            drawContext->setScaleFactor(scale);
        }
    }
    const int count = cairo_region_num_rectangles(region);
    if (drawContext && count > 0) {
        CDrawContext* context = drawContext;
        context->addReference();
        context->beginDraw();
        for (int i = 0; i < count; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(region, i, &r);
            const CRect device(r.x, r.y, r.x + r.width, r.y + r.height);
            const CRect rect = scale == 1.0 ? device : unscaledOutward(device, scale);
            context->saveGlobalState();
            context->setOffset(CPoint());
            context->setClipRect(rect);
            context->clearRect(rect);
            callback->platformDrawRect(context, rect);
            context->restoreGlobalState();
        }
        context->endDraw();
        context->releaseReference();
        copyToWindow(region);
    }
    cairo_region_destroy(region);
}

void X11Frame::copyToWindow(const cairo_region_t* region) {
    if (ownWindow == XCB_NONE || !buffer) {
        return;
    }
    if (sharedBuffer) {
        sharedBuffer->put(region);
    } else {
        copyThroughCairo(region);
    }
    // One round trip: when the pump returns, the pixels are on the screen for every client
    // (screenshots, the host's compositor), not merely on their way; and the server has read
    // a shared buffer before anything draws into it again.
    xcb_connection_t* c = connection->connection();
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void X11Frame::copyThroughCairo(const cairo_region_t* region) {
    if (!windowSurface) {
        windowSurface =
            cairo_xcb_surface_create(connection->connection(), ownWindow, visual, width, height);
        connection->noteCairoDevice(cairo_surface_get_device(windowSurface));
    }
    cairo_t* cr = cairo_create(windowSurface);
    for (int i = 0, n = cairo_region_num_rectangles(region); i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(region, i, &r);
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    }
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, buffer, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(windowSurface);
}

} // namespace Toolkit::LinuxPlatform
