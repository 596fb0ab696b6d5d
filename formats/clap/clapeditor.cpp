#include "clapeditor.h"

#include <cstring>
#include <string_view>

#include "clappedal.h"
#include "gravelixeditor.h"
#include "toolkit/cbaseobject.h"
#include "toolkit/ctoolkittimer.h"
#include "toolkit/platform/editorsupport.h"
#include "windowapi.h"

namespace {

// How often the host's timer lets the editor handle its window's events and redraw.
constexpr std::uint32_t kIdleMs = 30;

// Idles the editor on each tick of a window-system timer.
class IdleTarget final : public Toolkit::CBaseObject {
public:
    explicit IdleTarget(gravelixeditor& editor) : editor(editor) {}
    Toolkit::MessageResult handleMessage(Toolkit::CBaseObject*,
                                         Toolkit::IdStringPtr message) override {
        if (message == Toolkit::kMsgTimer && editor.isOpen()) {
            editor.idle();
        }
        return Toolkit::messageNotified;
    }

private:
    gravelixeditor& editor;
};

} // namespace

ClapEditor::ClapEditor(ClapPedal& owner)
    : pedal(owner), view(std::make_unique<gravelixeditor>(*this)) {}

ClapEditor::~ClapEditor() {
    destroy();
}

ClapEditor* ClapEditor::from(const clap_plugin_t* plugin) {
    return ClapPedal::from(plugin)->editorOf();
}

void ClapEditor::parameterChanged(std::int32_t index, float value) {
    view->setParameter(index, value);
}

std::int32_t ClapEditor::parameterCount() {
    return kParameterCount;
}

float ClapEditor::parameterValue(std::int32_t index) {
    return pedal.core().answer(index);
}

void ClapEditor::beginEdit(std::int32_t index) {
    pedal.editorBegin(index);
}

void ClapEditor::performEdit(std::int32_t index, float value) {
    pedal.editorPerform(index, value);
}

void ClapEditor::endEdit(std::int32_t index) {
    pedal.editorEnd(index);
}

EditorHost::SizeAnswer ClapEditor::resizeWindow(std::int32_t width, std::int32_t height) {
    const clap_host_gui_t* gui = pedal.hostGui();
    if (!gui || !gui->request_resize || width <= 0 || height <= 0) {
        return SizeAnswer::unsupported;
    }
    return gui->request_resize(pedal.host(), static_cast<std::uint32_t>(width),
                               static_cast<std::uint32_t>(height))
               ? SizeAnswer::resized
               : SizeAnswer::refused;
}

bool ClapEditor::create(const char* api, bool floating) {
    if (created || floating || !api || std::strcmp(api, kClapWindowApi) != 0) {
        return false;
    }
    created = true;
    const clap_host_timer_support_t* timers = pedal.hostTimers();
    if (timers && timers->register_timer) {
        clap_id id = CLAP_INVALID_ID;
        if (timers->register_timer(pedal.host(), kIdleMs, &id)) {
            timer = id;
        }
    }
    return true;
}

void ClapEditor::destroy() {
    if (!created) {
        return;
    }
    stopDrivers();
    if (view->isOpen()) {
        view->close();
        // What the server still had for the closed window would wait in the connection's
        // queue until the next editor's idle; read and dropped now.
        view->idle();
    }
    const clap_host_timer_support_t* timers = pedal.hostTimers();
    if (timer != CLAP_INVALID_ID && timers && timers->unregister_timer) {
        timers->unregister_timer(pedal.host(), timer);
    }
    timer = CLAP_INVALID_ID;
    created = false;
}

bool ClapEditor::setScale(double scale) {
    if (!(scale > 0.0)) {
        return false;
    }
    view->setHostScaleFactor(scale);
    return true;
}

bool ClapEditor::size(std::uint32_t* width, std::uint32_t* height) {
    ERect* rect = nullptr;
    if (!width || !height || !view->getRect(&rect) || !rect) {
        return false;
    }
    *width = static_cast<std::uint32_t>(rect->right - rect->left);
    *height = static_cast<std::uint32_t>(rect->bottom - rect->top);
    return true;
}

bool ClapEditor::setSize(std::uint32_t width, std::uint32_t height) {
    // The sizes are fixed: only the one the editor has is taken.
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    return size(&w, &h) && w == width && h == height;
}

bool ClapEditor::setParent(const clap_window_t* window) {
    if (!created || !window || !window->api || std::strcmp(window->api, kClapWindowApi) != 0) {
        return false;
    }
    void* parent = clapWindowHandle(*window);
    if (!parent) {
        return false;
    }
    // Live at once: some hosts show the window before they call show.
    if (!view->open(parent)) {
        return false;
    }
    startDrivers();
    return true;
}

void ClapEditor::startDrivers() {
    const clap_host_posix_fd_support_t* fds = pedal.hostFds();
    const int fd = Toolkit::EditorSupport::eventDescriptor();
    if (watchedFd < 0 && fd >= 0 && fds && fds->register_fd &&
        fds->register_fd(pedal.host(), fd, CLAP_POSIX_FD_READ)) {
        watchedFd = fd;
    }
    if (timer == CLAP_INVALID_ID && !fallbackTimer) {
        idleTarget = new IdleTarget(*view);
        fallbackTimer = new Toolkit::CToolkitTimer(idleTarget, kIdleMs, true);
    }
}

void ClapEditor::stopDrivers() {
    const clap_host_posix_fd_support_t* fds = pedal.hostFds();
    if (watchedFd >= 0 && fds && fds->unregister_fd) {
        fds->unregister_fd(pedal.host(), watchedFd);
    }
    watchedFd = -1;
    if (fallbackTimer) {
        fallbackTimer->stop();
        fallbackTimer->releaseReference();
        fallbackTimer = nullptr;
    }
    if (idleTarget) {
        idleTarget->releaseReference();
        idleTarget = nullptr;
    }
}

void ClapEditor::onFd(int fd) {
    if (fd == watchedFd && view->isOpen()) {
        view->idle();
    }
}

void ClapEditor::onTimer(clap_id id) {
    if (id == timer && view->isOpen()) {
        view->idle();
    }
}

const void* ClapEditor::extension(const char* id) const {
    static const clap_plugin_gui_t gui = {
        [](const clap_plugin_t*, const char* api, bool floating) {
            return !floating && api && std::strcmp(api, kClapWindowApi) == 0;
        },
        [](const clap_plugin_t*, const char** api, bool* floating) {
            if (!api || !floating) {
                return false;
            }
            *api = kClapWindowApi;
            *floating = false;
            return true;
        },
        [](const clap_plugin_t* p, const char* api, bool floating) {
            return from(p)->create(api, floating);
        },
        [](const clap_plugin_t* p) { from(p)->destroy(); },
        [](const clap_plugin_t* p, double scale) { return from(p)->setScale(scale); },
        [](const clap_plugin_t* p, std::uint32_t* w, std::uint32_t* h) {
            return from(p)->size(w, h);
        },
        [](const clap_plugin_t*) { return false; },
        [](const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; },
        [](const clap_plugin_t* p, std::uint32_t* w, std::uint32_t* h) {
            // Whatever the host proposes, the editor keeps its own size.
            return from(p)->size(w, h);
        },
        [](const clap_plugin_t* p, std::uint32_t w, std::uint32_t h) {
            return from(p)->setSize(w, h);
        },
        [](const clap_plugin_t* p, const clap_window_t* window) {
            return from(p)->setParent(window);
        },
        [](const clap_plugin_t*, const clap_window_t*) { return false; },
        [](const clap_plugin_t*, const char*) {},
        [](const clap_plugin_t*) { return true; },
        [](const clap_plugin_t*) { return true; },
    };
    static const clap_plugin_timer_support_t timerSupport = {
        [](const clap_plugin_t* p, clap_id id) { from(p)->onTimer(id); },
    };
    static const clap_plugin_posix_fd_support_t fdSupport = {
        [](const clap_plugin_t* p, int fd, clap_posix_fd_flags_t) { from(p)->onFd(fd); },
    };
    const std::string_view name(id);
    if (name == CLAP_EXT_POSIX_FD_SUPPORT) {
        return &fdSupport;
    }
    if (name == CLAP_EXT_GUI) {
        return &gui;
    }
    if (name == CLAP_EXT_TIMER_SUPPORT) {
        return &timerSupport;
    }
    return nullptr;
}
