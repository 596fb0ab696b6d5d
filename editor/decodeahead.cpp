#include "decodeahead.h"

#include "resources/resourceids.h"
#include "toolkit/cbitmap.h"
#include "toolkit/coffscreencontext.h"
#include "toolkit/platform/editorsupport.h"
#include "toolkit/platform/iplatformbitmap.h"
#include "toolkit/platform/iplatformfactory.h"
#include "toolkit/scalefactor.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

using namespace Toolkit;

namespace DecodeAhead {

namespace {

// The biggest first: an editor that opens meanwhile decodes the others on its own thread. A
// filmstrip whose pictures decode one by one goes last, as a first paint needs one of them.
constexpr std::int32_t kFrontImages[] = {kKnobImageId, kFrontPanelImageId, kFootswitchImageId,
                                         kTweakImageId, kLedImageId};
constexpr std::int32_t kFilmstrips[] = {kKnobImageId};

bool isFilmstrip(std::int32_t id) {
    return std::find(std::begin(kFilmstrips), std::end(kFilmstrips), id) != std::end(kFilmstrips);
}

// One run of the thread, from the first editor to the last: a new run may start while the last
// one still ends.
struct Run {
    std::mutex lock;
    std::condition_variable wake;
    bool stop = false;
    // 0 until an editor asks.
    double requested = 0.0;
    // Touched by the run's thread alone, then by whoever joined it: the bitmaps that keep its
    // work alive.
    std::vector<CBitmap*> held;
};

struct Worker {
    std::mutex lock;
    int editors = 0;
    std::shared_ptr<Run> current;
    std::thread thread;
};

// Never destroyed: a host that exits with instances alive must not end in a joinable thread's
// destructor.
Worker& worker() {
    static Worker& w = *new Worker;
    return w;
}

// True when the thread should leave what it is doing: stopped, or asked for another scale.
bool interrupted(Run& run, double scale) {
    std::lock_guard<std::mutex> hold(run.lock);
    return run.stop || run.requested != scale;
}

void release(std::vector<CBitmap*>& bitmaps) {
    for (CBitmap* bitmap : bitmaps) {
        bitmap->releaseReference();
    }
    bitmaps.clear();
}

// The front panel drawn offscreen once at `scale`: between the images' own densities that
// leaves it resampled in the shared images for the first paint, the biggest part of it.
CBitmap* resampleFrontPanel(double scale) {
    auto* panel = new CBitmap(CResourceRef(kFrontPanelImageId));
    if (scale == 1.0 || scale == 2.0) {
        return panel;
    }
    const CRect local(0, 0, panel->width(), panel->height());
    const CRect pixels = scaledOutward(local, scale);
    if (COffscreenContext* context =
            getPlatformFactory().createOffscreenContext(pixels.width(), pixels.height())) {
        context->setScaleFactor(scale);
        context->beginDraw();
        panel->draw(context, local);
        context->endDraw();
        context->releaseReference();
    }
    return panel;
}

// Prepares the latest requested scale; the images of an earlier one go once the new ones are
// ready (an open editor holds its own).
void work(const std::shared_ptr<Run>& run) {
    EditorSupport::enterDecodingThread();
    struct Leave {
        ~Leave() { EditorSupport::leaveDecodingThread(); }
    } leave;
    double prepared = 0.0;
    for (;;) {
        double scale = 0.0;
        {
            std::unique_lock<std::mutex> hold(run->lock);
            run->wake.wait(hold, [&] {
                return run->stop || (run->requested > 0 && run->requested != prepared);
            });
            if (run->stop) {
                return;
            }
            scale = run->requested;
        }
        std::vector<CBitmap*> ready;
        std::vector<IPlatformBitmap*> later;
        std::size_t done = 0;
        for (const std::int32_t id : kFrontImages) {
            if (interrupted(*run, scale)) {
                break;
            }
            auto* bitmap = new CBitmap(CResourceRef(id));
            ready.push_back(bitmap);
            double pixelsPerUnit = 1.0;
            IPlatformBitmap* image = bitmap->platformBitmapFor(scale, pixelsPerUnit);
            if (image && isFilmstrip(id) && image->decodesInSlices()) {
                later.push_back(image);
                continue;
            }
            if (image) {
                image->prepare();
            }
            ++done;
        }
        for (IPlatformBitmap* image : later) {
            if (interrupted(*run, scale)) {
                break;
            }
            image->prepare();
            ++done;
        }
        if (done == std::size(kFrontImages) && !interrupted(*run, scale)) {
            if (EditorSupport::offscreenResamplingServesWindows()) {
                ready.push_back(resampleFrontPanel(scale));
            }
            prepared = scale;
            std::swap(run->held, ready);
        }
        // An interrupted pass keeps what was held before: that scale may be asked for again.
        release(ready);
    }
}

} // namespace

void attach() {
    if (!EditorSupport::decodesAheadOffThread()) {
        return;
    }
    Worker& w = worker();
    std::lock_guard<std::mutex> hold(w.lock);
    if (w.editors++ > 0) {
        return;
    }
    w.current = std::make_shared<Run>();
    try {
        w.thread = std::thread(work, w.current);
    } catch (const std::system_error&) {
        // No thread to be had: the images decode when first drawn, as without this.
        w.current.reset();
    }
}

void detach() {
    if (!EditorSupport::decodesAheadOffThread()) {
        return;
    }
    Worker& w = worker();
    std::shared_ptr<Run> run;
    std::thread ending;
    {
        std::lock_guard<std::mutex> hold(w.lock);
        if (w.editors == 0 || --w.editors > 0) {
            return;
        }
        run = std::move(w.current);
        ending = std::move(w.thread);
    }
    if (run) {
        {
            std::lock_guard<std::mutex> hold(run->lock);
            run->stop = true;
        }
        run->wake.notify_all();
    }
    if (ending.joinable()) {
        ending.join();
    }
    if (run) {
        release(run->held);
    }
}

void prepare(double scale) {
    std::shared_ptr<Run> run;
    {
        Worker& w = worker();
        std::lock_guard<std::mutex> hold(w.lock);
        run = w.current;
    }
    if (!run) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(run->lock);
        run->requested = scale;
    }
    run->wake.notify_all();
}

} // namespace DecodeAhead
