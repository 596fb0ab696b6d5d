#include "x11sharedimage.h"

#include "x11connection.h"

#include <bit>
#include <cstdlib>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>

namespace Toolkit::LinuxPlatform {

namespace {

// The server reads the buffer as its own pixels: 32-bit words, red, green and blue in cairo's
// places, in our byte order.
bool sameLayoutAsCairo(xcb_connection_t* c, const xcb_visualtype_t& visual, std::uint8_t depth) {
    if ((depth != 24 && depth != 32) || visual._class != XCB_VISUAL_CLASS_TRUE_COLOR ||
        visual.red_mask != 0xff0000u || visual.green_mask != 0x00ff00u ||
        visual.blue_mask != 0x0000ffu) {
        return false;
    }
    const xcb_setup_t* setup = xcb_get_setup(c);
    const std::uint8_t nativeOrder = std::endian::native == std::endian::little
                                         ? XCB_IMAGE_ORDER_LSB_FIRST
                                         : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != nativeOrder) {
        return false;
    }
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
         xcb_format_next(&formats)) {
        if (formats.data->depth == depth) {
            return formats.data->bits_per_pixel == 32 && formats.data->scanline_pad == 32;
        }
    }
    return false;
}

} // namespace

std::unique_ptr<X11SharedImage> X11SharedImage::create(X11Connection& connection,
                                                       xcb_window_t window,
                                                       const xcb_visualtype_t& visual,
                                                       std::uint8_t depth, int width, int height) {
    if (width <= 0 || height <= 0 || !connection.mayShareMemory() ||
        !sameLayoutAsCairo(connection.connection(), visual, depth)) {
        return nullptr;
    }
    std::unique_ptr<X11SharedImage> shared(
        new X11SharedImage(connection, window, depth, width, height));
    if (!shared->attach()) {
        return nullptr;
    }
    return shared;
}

X11SharedImage::X11SharedImage(X11Connection& owner, xcb_window_t target, std::uint8_t bits,
                               int columns, int rows)
    : connection(owner), window(target), depth(bits), width(columns), height(rows) {}

bool X11SharedImage::attach() {
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    if (stride != width * 4) {
        return false;
    }
    segmentId = shmget(IPC_PRIVATE, static_cast<std::size_t>(stride) * height, IPC_CREAT | 0600);
    if (segmentId < 0) {
        return false;
    }
    pixels = shmat(segmentId, nullptr, 0);
    if (pixels == reinterpret_cast<void*>(-1)) {
        pixels = nullptr;
        shmctl(segmentId, IPC_RMID, nullptr);
        return false;
    }
    xcb_connection_t* c = connection.connection();
    segment = xcb_generate_id(c);
    // The one round trip: a server on another machine cannot find the segment.
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_shm_attach_checked(c, segment, static_cast<std::uint32_t>(segmentId), 1));
    // Gone for good once both sides have let go, whatever happens to this process.
    shmctl(segmentId, IPC_RMID, nullptr);
    if (error) {
        std::free(error);
        connection.refuseSharedMemory();
        return false;
    }
    attached = true;
    gc = xcb_generate_id(c);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(c, gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    image = cairo_image_surface_create_for_data(static_cast<unsigned char*>(pixels),
                                                CAIRO_FORMAT_ARGB32, width, height, stride);
    return cairo_surface_status(image) == CAIRO_STATUS_SUCCESS;
}

X11SharedImage::~X11SharedImage() {
    if (image) {
        cairo_surface_destroy(image);
    }
    if (attached && !connection.failed()) {
        // Requests run in order: every put sent before is read before the server lets go.
        xcb_connection_t* c = connection.connection();
        xcb_free_gc(c, gc);
        xcb_shm_detach(c, segment);
        xcb_flush(c);
    }
    if (pixels) {
        shmdt(pixels);
    }
}

void X11SharedImage::put(const cairo_region_t* region) {
    cairo_surface_flush(image);
    xcb_connection_t* c = connection.connection();
    for (int i = 0, n = cairo_region_num_rectangles(region); i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(region, i, &r);
        xcb_shm_put_image(c, window, gc, static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), static_cast<std::uint16_t>(r.x),
                          static_cast<std::uint16_t>(r.y), static_cast<std::uint16_t>(r.width),
                          static_cast<std::uint16_t>(r.height), static_cast<std::int16_t>(r.x),
                          static_cast<std::int16_t>(r.y), depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                          segment, 0);
    }
}

} // namespace Toolkit::LinuxPlatform
