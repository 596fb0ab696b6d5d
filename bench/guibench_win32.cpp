// The editor's costs on Windows as a host sees them, without a benchmark library (the cross build
// has none): the plug-in loaded through the host's own loader, effEditOpen (with the host's scale
// message and effEditGetRect before it) until the pedal is on the screen, for the first instance
// of a freshly loaded library opened at once and 0.6 s after it was made, and for a later
// instance while another editor is open; then a full repaint of that editor; and VSTPluginMain
// for the first instance of the library and a later one. Best and median in
// milliseconds over a few runs. Under Wine the figures are indicative only. Needs a display
// (scripts/with-display.sh, with Wine's virtual desktop as scripts/test-windows.sh sets it).
#include "tools/hosting/editorsession.h"
#include "tools/hosting/pluginhost.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace gravelix::host;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Pumps the window until the middle of the editor shows the pedal (the host window is black
// there until the editor's first paint); false after five seconds.
bool waitShown(EditorSession& session) {
    const auto start = Clock::now();
    while (msSince(start) < 5000.0) {
        session.window().pump(0);
        const Image image = session.window().capture();
        if (image.width > 0 && image.height > 0) {
            const std::uint32_t middle =
                image.pixels[static_cast<std::size_t>(image.height / 2) * image.width +
                             image.width / 2];
            if ((middle & 0xFFFFFFu) != 0) {
                return true;
            }
        }
    }
    return false;
}

// effEditOpen and what a host sends before it, until the pedal is on the screen.
double timedOpen(const PluginHost& plugin, double scale, std::unique_ptr<EditorSession>& session) {
    const auto start = Clock::now();
    session = std::make_unique<EditorSession>(plugin, scale);
    return waitShown(*session) ? msSince(start) : -1.0;
}

struct Figures {
    std::string name;
    std::vector<double> ms;
};

void print(const Figures& f) {
    std::vector<double> v;
    for (double ms : f.ms) {
        if (ms >= 0.0) {
            v.push_back(ms);
        }
    }
    if (v.empty()) {
        std::printf("%-48s  never shown\n", f.name.c_str());
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("%-48s  best %8.3f ms  median %8.3f ms  (%zu runs)\n", f.name.c_str(), v.front(),
                v[v.size() / 2], v.size());
}

} // namespace

int main(int argc, char** argv) {
    const std::string plugin = argc > 1 ? argv[1] : GRAVELIX_PLUGIN;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    try {
        for (const double scale : {1.0, 1.25, 1.5, 2.0, 3.0}) {
            const std::string at = " at " + std::to_string(static_cast<int>(scale * 100)) + " %";
            Figures atOnce{"first instance, opened at once" + at, {}};
            Figures afterWait{"first instance, opened 0.6 s after" + at, {}};
            Figures later{"later instance, another editor open" + at, {}};
            Figures repaint{"full repaint" + at, {}};
            Figures firstEntry{"VSTPluginMain, first instance of the library", {}};
            Figures laterEntry{"VSTPluginMain, later instance", {}};
            for (int run = 0; run < runs; ++run) {
                std::unique_ptr<EditorSession> first, second;
                {
                    // The library is unloaded between runs: each first instance is the first
                    // of its library, as in a fresh process (Wine and the system libraries
                    // stay warm).
                    PluginHost host(plugin);
                    firstEntry.ms.push_back(host.loadTiming().entryWallSeconds * 1000.0);
                    atOnce.ms.push_back(timedOpen(host, scale, first));
                    first.reset();
                }
                PluginHost host(plugin);
                Sleep(600);
                afterWait.ms.push_back(timedOpen(host, scale, first));
                PluginHost other(plugin);
                laterEntry.ms.push_back(other.loadTiming().entryWallSeconds * 1000.0);
                later.ms.push_back(timedOpen(other, scale, second));
                HWND editor = GetWindow(reinterpret_cast<HWND>(second->window().id()), GW_CHILD);
                for (int i = 0; i < 5 && editor; ++i) {
                    const auto start = Clock::now();
                    RedrawWindow(editor, nullptr, nullptr,
                                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                    repaint.ms.push_back(msSince(start));
                }
                second.reset();
                first.reset();
            }
            print(atOnce);
            print(afterWait);
            print(later);
            print(repaint);
            print(firstEntry);
            print(laterEntry);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gravelix_gui_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
