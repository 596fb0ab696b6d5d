#include "recordingplatform.h"

#include "toolkit/cframe.h"

#include <algorithm>
#include <cstdio>

namespace Toolkit::Testing {

RecordingFactory& factory() {
    static RecordingFactory instance;
    return instance;
}

namespace {
// Bitmaps and timers that the tests make on their own come from the recording back-end too.
const bool installed = [] {
    setPlatformFactory(&factory());
    return true;
}();
} // namespace

std::string fmt(const CPoint& p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "(%g,%g)", p.x, p.y);
    return buf;
}

bool RecordingBitmap::load(const CResourceRef& resource) {
    auto it = factory().resources.find(resource.id());
    if (resource.kind() != CResourceRef::kNumeric || it == factory().resources.end()) {
        return false;
    }
    pixels = it->second;
    return true;
}

void RecordingContext::drawRect(const CRect& rect, DrawStyle) {
    CRect r = rect;
    rects.push_back(r.offset(offset()));
}

void RecordingContext::drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset,
                                  float alpha) {
    CRect d = dest;
    bitmaps.push_back(
        {bitmap, d.offset(this->offset()), offset, deviceClipRect(), alpha * globalAlpha()});
}

RecordingFrame::~RecordingFrame() {
    if (factory().lastFrame == this) {
        factory().lastFrame = nullptr;
    }
    if (destroyedFlag) {
        *destroyedFlag = true;
    }
}

COffscreenContext* RecordingFrame::createOffscreenContext(double width, double height) {
    return factory().createOffscreenContext(width, height);
}

void RecordingFrame::paint(RecordingContext& context) {
    const std::vector<CRect> rects = std::move(invalidated);
    invalidated.clear();
    for (const CRect& r : rects) {
        callback->platformDrawRect(&context, r);
    }
}

namespace {
class RecordingOffscreen : public COffscreenContext {
public:
    using COffscreenContext::COffscreenContext;
    void lineTo(const CPoint&) override {}
    void drawLines(const CPoint*, std::int32_t) override {}
    void drawPolygon(const CPoint*, std::int32_t, DrawStyle) override {}
    void drawRect(const CRect&, DrawStyle) override {}
    void drawArc(const CRect&, double, double, DrawStyle) override {}
    void drawEllipse(const CRect&, DrawStyle) override {}
    void drawPoint(const CPoint&, const CColor&) override {}
    void drawBitmap(CBitmap*, const CRect&, const CPoint&, float) override {}
    void clearRect(const CRect&) override {}
};
} // namespace

COffscreenContext* RecordingFactory::createOffscreenContext(double width, double height) {
    IPlatformBitmap* image = createBitmap(CPoint(width, height));
    auto* bitmap = new CBitmap(image);
    image->releaseReference();
    auto* context = new RecordingOffscreen(bitmap);
    bitmap->releaseReference();
    return context;
}

IPlatformFrame* RecordingFactory::createFrame(IPlatformFrameCallback* callback, const CRect& size,
                                              void*) {
    lastFrame = new RecordingFrame(callback, size);
    return lastFrame;
}

FakeTimer::~FakeTimer() {
    auto& list = factory().timers;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

IPlatformTimer* RecordingFactory::createTimer(IPlatformTimerCallback* callback) {
    auto* timer = new FakeTimer(callback);
    timers.push_back(timer);
    return timer;
}

void RecordingFactory::fireTimers() {
    const std::vector<FakeTimer*> snapshot = timers;
    for (FakeTimer* t : snapshot) {
        if (std::find(timers.begin(), timers.end(), t) != timers.end() && t->running) {
            t->callback->onPlatformTimer();
        }
    }
}

void RecordingEditor::beginEdit(std::int32_t index) {
    log.add("editor.begin " + std::to_string(index));
}

void RecordingEditor::endEdit(std::int32_t index) {
    log.add("editor.end " + std::to_string(index));
}

void RecordingListener::valueChanged(CControl* control) {
    values.push_back(control->value());
    char buf[64];
    std::snprintf(buf, sizeof buf, "changed %g", control->value());
    log.add(buf);
}

void RecordingListener::editBegan(CControl*) {
    log.add("listener.began");
}
void RecordingListener::editEnded(CControl*) {
    log.add("listener.ended");
}

ProbeView::~ProbeView() {
    if (destroyedFlag) {
        *destroyedFlag = true;
    }
}

MouseResult ProbeView::mouseDown(const CPoint& where, const ButtonState&) {
    log.add(name + ".down " + fmt(where));
    if (removeSelfOnDown && parentView()) {
        parentView()->removeView(this, true);
    }
    return downResult;
}

MouseResult ProbeView::mouseMoved(const CPoint& where, const ButtonState& buttons) {
    log.add(name + ".moved " + fmt(where) + " " + std::to_string(buttons.value()));
    return movedResult;
}

MouseResult ProbeView::mouseUp(const CPoint& where, const ButtonState&) {
    log.add(name + ".up " + fmt(where));
    return mouseHandled;
}

MouseResult ProbeView::mouseEntered(const CPoint&, const ButtonState&) {
    log.add(name + ".entered");
    return mouseHandled;
}

MouseResult ProbeView::mouseExited(const CPoint&, const ButtonState&) {
    log.add(name + ".exited");
    return mouseHandled;
}

bool ProbeView::wheel(const CPoint&, float distance, const ButtonState&) {
    char buf[64];
    std::snprintf(buf, sizeof buf, ".wheel %g", distance);
    log.add(name + buf);
    return takesWheel;
}

std::int32_t ProbeView::keyDown(VstKeyCode& key) {
    log.add(name + ".key " + std::to_string(key.virt));
    return keyResult;
}

} // namespace Toolkit::Testing
