#pragma once

// A platform back-end that draws nothing and records what the toolkit asks of it.

#include "toolkit/cbitmap.h"
#include "toolkit/ccontrol.h"
#include "toolkit/cdrawcontext.h"
#include "toolkit/coffscreencontext.h"
#include "toolkit/platform/iplatformbitmap.h"
#include "toolkit/platform/iplatformfactory.h"
#include "toolkit/platform/iplatformframe.h"
#include "toolkit/platform/iplatformtimer.h"
#include "toolkit/toolkiteditorinterface.h"

#include <map>
#include <string>
#include <vector>

namespace Toolkit::Testing {

class RecordingBitmap : public IPlatformBitmap {
public:
    explicit RecordingBitmap(CPoint size) : pixels(size) {}
    bool load(const CResourceRef& resource) override;
    CPoint size() const override { return pixels; }

private:
    CPoint pixels;
};

struct BitmapDraw {
    const CBitmap* bitmap;
    CRect dest;    // device coordinates (context offset applied)
    CPoint source; // source offset inside the image
    CRect clip;    // device clip at the time of the draw
    float alpha;   // bitmap alpha x global alpha
};

class RecordingContext : public CDrawContext {
public:
    explicit RecordingContext(const CRect& surface) : CDrawContext(surface) { applyDefaults(); }
    void lineTo(const CPoint& p) override { moveTo(p); }
    void drawLines(const CPoint*, std::int32_t) override {}
    void drawPolygon(const CPoint*, std::int32_t, DrawStyle) override {}
    void drawRect(const CRect& rect, DrawStyle) override;
    void drawArc(const CRect&, double, double, DrawStyle) override {}
    void drawEllipse(const CRect&, DrawStyle) override {}
    void drawPoint(const CPoint&, const CColor&) override {}
    void drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset, float alpha) override;
    void clearRect(const CRect&) override {}

    std::vector<BitmapDraw> bitmaps;
    std::vector<CRect> rects; // filled rectangles, device coordinates
};

class RecordingFrame : public IPlatformFrame {
public:
    RecordingFrame(IPlatformFrameCallback* cb, const CRect& r) : callback(cb), rect(r) {}
    ~RecordingFrame() override;
    bool globalPosition(CPoint& p) const override {
        p = CPoint(100, 100);
        return true;
    }
    bool setSize(const CRect& r) override { return (rect = r), true; }
    bool size(CRect& r) const override {
        r = CRect(0, 0, rect.width(), rect.height());
        return true;
    }
    bool mousePosition(CPoint& p) const override {
        p = mouse;
        return true;
    }
    bool mouseButtons(ButtonState& b) const override {
        b |= buttons;
        return true;
    }
    bool setCursor(CursorType) override { return true; }
    bool invalidateRect(const CRect& r) override {
        invalidated.push_back(r);
        return true;
    }
    void* nativeHandle() const override { return nullptr; }
    COffscreenContext* createOffscreenContext(double width, double height) override;
    bool setScaleFactor(double s) override { return takesScale && ((scale = s), true); }

    // Paints every invalidated rectangle like a window would, then forgets them.
    void paint(RecordingContext& context);

    IPlatformFrameCallback* callback;
    CRect rect;
    CPoint mouse;
    std::uint32_t buttons = 0;
    std::vector<CRect> invalidated;
    bool* destroyedFlag = nullptr;
    double scale = 1.0;
    bool takesScale = true;
};

class FakeTimer : public IPlatformTimer {
public:
    explicit FakeTimer(IPlatformTimerCallback* cb) : callback(cb) {}
    ~FakeTimer() override;
    bool start(std::uint32_t ms) override {
        interval = ms;
        running = true;
        return true;
    }
    void stop() override { running = false; }
    bool isRunning() const override { return running; }

    IPlatformTimerCallback* callback;
    std::uint32_t interval = 0;
    bool running = false;
};

class RecordingFactory : public IPlatformFactory {
public:
    IPlatformFrame* createFrame(IPlatformFrameCallback* callback, const CRect& size,
                                void* parent) override;
    CDrawContext* createWindowContext(IPlatformFrame*, const CRect& surface) override {
        return new RecordingContext(surface);
    }
    COffscreenContext* createOffscreenContext(double width, double height) override;
    IPlatformBitmap* createBitmap(const CPoint& size) override { return new RecordingBitmap(size); }
    IPlatformTimer* createTimer(IPlatformTimerCallback* callback) override;
    std::uint32_t ticks() const override { return 1234; }

    // Fires every running timer once.
    void fireTimers();

    std::map<std::int32_t, CPoint> resources; // id -> image size
    RecordingFrame* lastFrame = nullptr;
    std::vector<FakeTimer*> timers;
};

RecordingFactory& factory();

// Collects the calls of listeners and editors in one ordered log.
struct EventLog {
    std::vector<std::string> entries;
    void add(std::string s) { entries.push_back(std::move(s)); }
    void clear() { entries.clear(); }
};

class RecordingEditor : public ToolkitEditorInterface {
public:
    explicit RecordingEditor(EventLog& l) : log(l) {}
    std::int32_t getKnobMode() const override { return knobMode; }
    void beginEdit(std::int32_t index) override;
    void endEdit(std::int32_t index) override;
    void setFrame(CFrame* f) { frame = f; }

    EventLog& log;
    std::int32_t knobMode = 0; // circular
};

class RecordingListener : public CControlListener {
public:
    explicit RecordingListener(EventLog& l) : log(l) {}
    void valueChanged(CControl* control) override;
    void editBegan(CControl* control) override;
    void editEnded(CControl* control) override;

    EventLog& log;
    std::vector<float> values;
};

// A plain view that records its mouse calls and answers as configured.
class ProbeView : public CView {
public:
    ProbeView(const CRect& r, std::string n, EventLog& l) : CView(r), name(std::move(n)), log(l) {}
    ~ProbeView() override;
    MouseResult mouseDown(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseMoved(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseUp(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseEntered(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseExited(const CPoint& where, const ButtonState& buttons) override;
    bool wheel(const CPoint& where, float distance, const ButtonState& buttons) override;
    std::int32_t keyDown(VstKeyCode& key) override;
    void idleTick() override { log.add(name + ".idle"); }

    std::string name;
    EventLog& log;
    MouseResult downResult = mouseHandled;
    MouseResult movedResult = mouseHandled;
    bool takesWheel = true;
    std::int32_t keyResult = -1;
    // Removes itself from its parent inside mouseDown.
    bool removeSelfOnDown = false;
    bool* destroyedFlag = nullptr;
};

std::string fmt(const CPoint& p);

} // namespace Toolkit::Testing
