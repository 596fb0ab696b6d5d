#pragma once

#include "ccontrollistener.h"
#include "cview.h"
#include "idependency.h"

#include <atomic>

namespace Toolkit {

class CGraphicsPath;

extern const IdStringPtr kMessageValueChanged;
extern const IdStringPtr kMessageBeginEdit;
extern const IdStringPtr kMessageEndEdit;
extern const IdStringPtr kMessageTagWillChange;
extern const IdStringPtr kMessageTagDidChange;

// Modifier for fine adjustment, and for the reset to the default value.
inline constexpr std::uint32_t zoomModifier = shiftKey;
inline constexpr std::uint32_t defaultValueModifier = controlKey;

// The left button and no other button (modifier keys allowed).
inline constexpr bool isLeftButtonOnly(const ButtonState& buttons) {
    return (buttons.value() & 0x30e) == leftButton;
}

class IFocusDrawing {
public:
    virtual ~IFocusDrawing() = default;
    virtual bool drawsFocusOnTop() { return false; }
    virtual bool focusPath(CGraphicsPath& /*path*/) { return false; }
};

// A view carrying one float value in [minValue, maxValue]. Program changes (setValue) are
// silent; user gestures reach the listener between beginEdit and endEdit. The control counts
// as dirty from any value change until it is next drawn.
class CControl : public CView, public IFocusDrawing, public IDependency {
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, std::int32_t tag = 0,
             CBitmap* background = nullptr);
    CControl(const CControl& other);
    ~CControl() override;

    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override = 0;
    void draw(CDrawContext* context) override = 0;
    bool isDirty() const override;
    void markDirty(bool dirty = true) override;

    // Clamps and stores; may run on the thread of a parameter change: no allocation, no lock.
    virtual void setValue(float value);
    virtual float value() const { return currentValue.load(std::memory_order_relaxed); }
    virtual void setNormalizedValue(float normalized);
    virtual float normalizedValue() const;
    virtual void setMinValue(float v) { minimum = v; }
    virtual float minValue() const { return minimum; }
    virtual void setMaxValue(float v) { maximum = v; }
    virtual float maxValue() const { return maximum; }
    virtual void setDrawnValue(float v) { lastDrawnValue = v; }
    virtual float drawnValue() const { return lastDrawnValue; }
    virtual void setDefaultValue(float v) { defaultVal = v; }
    virtual float defaultValue() const { return defaultVal; }
    virtual void clampValue();
    // Left button only with the default-value modifier: back to the default inside an edit.
    virtual bool resetOnModifierClick(const ButtonState& buttons);
    virtual void notifyValueChanged();
    virtual void setTag(std::int32_t tag);
    virtual std::int32_t tag() const { return controlTag; }
    virtual void beginEdit();
    virtual void endEdit();
    virtual CControlListener* listener() const { return controlListener; }
    virtual void setListener(CControlListener* l) { controlListener = l; }
    virtual void setBackOffset(const CPoint& offset) { backOff = offset; }
    virtual const CPoint& backOffset() const { return backOff; }
    virtual void resetBackOffset() { backOff = bounds().topLeft(); }
    virtual void setWheelStep(float step) { step_ = step; }
    virtual float wheelStep() const { return step_; }
    virtual void doIdleStuff();

protected:
    // Direct store, no clamping and no notification (the gesture code decides).
    void storeValue(float v) { currentValue.store(v, std::memory_order_relaxed); }
    // Ends a draw that showed `shown`. A value stored meanwhile by another thread keeps the
    // control dirty, so the next idle draws it instead of leaving the old image up.
    void markDrawn(float shown) {
        markDirty(false);
        lastDrawnValue = shown;
    }
    // Sizes the view and its mouse area to the background's width and `imageHeight`;
    // false when there is no background.
    bool fitToBackground(double imageHeight);

private:
    CControlListener* controlListener;
    std::int32_t controlTag;
    float lastDrawnValue = 1.0f;
    float defaultVal = 0.5f;
    // Written by parameter changes on any thread, read by the window thread; one whole float.
    std::atomic<float> currentValue{0.0f};
    static_assert(std::atomic<float>::is_always_lock_free);
    float minimum = 0.0f;
    float maximum = 1.0f;
    float step_ = 0.1f;
    CPoint backOff;
};

} // namespace Toolkit
