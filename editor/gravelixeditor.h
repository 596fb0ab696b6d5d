// The pedal editor: a front panel (Output and Distortion knobs, effect LED, footswitch) and a
// back panel (five faders, two switches) in one fixed 270 x 475 window, flipped by the tweak
// plate.
#pragma once

#include "aeffguieditor.h"
#include "parametertable.h"
#include "toolkit/ccontrollistener.h"
#include "toolkit/cframe.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace Toolkit {
class CAnimKnob;
class CBitmap;
class CControl;
class CKickButton;
class COnOffButton;
class CScaleMenu;
} // namespace Toolkit

// A right-click on the pedal where there is no control opens the size menu (CScaleMenu); the
// choice goes to the editor base's setPlayerScaleFactor.
class gravelixeditor : public AEffGUIEditor,
                       public Toolkit::CControlListener,
                       private Toolkit::IMouseObserver {
public:
    // Loads the two panel images and takes the front panel's size as the window size; no
    // window exists yet. The VST 2.4 effect's editor, or another format's through its host.
    explicit gravelixeditor(AudioEffect* effect);
    explicit gravelixeditor(EditorHost& host);
    ~gravelixeditor() override;

    // Editor thread. Builds the window inside the host's parent window; false when no window
    // could be made.
    bool open(void* ptr) override;
    // Editor thread. Destroys the window and the controls; the images stay loaded.
    void close() override;
    // Editor thread. Shows the parameter values told since the last idle, then handles the
    // window's events and redraws.
    void idle() override;
    // Any thread, real-time safe: only records the value (lock-free); the control takes it at
    // the next idle on the editor thread.
    void setParameter(VstInt32 index, float value) override;

    // Editor thread: a control changed through a user gesture.
    void valueChanged(Toolkit::CControl* control) override;

    // The size menu while it is shown (owned by the frame), else null.
    Toolkit::CScaleMenu* sizeMenu() const { return scaleMenu; }

protected:
    // The twelve controls, valid while the window is open (the frame owns them).
    Toolkit::CAnimKnob* outputKnob = nullptr;
    Toolkit::CAnimKnob* distortionKnob = nullptr;
    Toolkit::CAnimKnob* inputFader = nullptr;
    Toolkit::CAnimKnob* opampFader = nullptr;
    Toolkit::CAnimKnob* diodeFader = nullptr;
    Toolkit::CAnimKnob* highCutFader = nullptr;
    Toolkit::CAnimKnob* lowCutFader = nullptr;
    Toolkit::COnOffButton* stereoSwitch = nullptr;
    Toolkit::COnOffButton* pickupSwitch = nullptr;
    Toolkit::CKickButton* footswitch = nullptr;
    Toolkit::COnOffButton* tweakButton = nullptr;
    Toolkit::COnOffButton* effectLed = nullptr;

    // One reference each, held until destruction or a reload.
    Toolkit::CBitmap* frontPanelImage = nullptr;
    Toolkit::CBitmap* footswitchImage = nullptr;
    Toolkit::CBitmap* stereoSwitchImage = nullptr;
    Toolkit::CBitmap* knobImage = nullptr;
    Toolkit::CBitmap* ledImage = nullptr;
    Toolkit::CBitmap* tweakImage = nullptr;
    Toolkit::CBitmap* faderImage = nullptr;
    Toolkit::CBitmap* backPanelImage = nullptr;
    Toolkit::CBitmap* pickupSwitchImage = nullptr;

    bool backPanelShown = false;

private:
    void loadPanels();
    // The control that shows a parameter; null for other indices or while closed.
    Toolkit::CControl* controlFor(VstInt32 index) const;
    void applyToldValues();
    void releaseFrame();
    void openSizeMenu(const Toolkit::CPoint& where);
    void closeSizeMenu();

    // IMouseObserver: sees every press before the views.
    void onMouseEntered(Toolkit::CView*, Toolkit::CFrame*) override {}
    void onMouseExited(Toolkit::CView*, Toolkit::CFrame*) override {}
    Toolkit::MouseResult onMouseDown(Toolkit::CFrame* frame, const Toolkit::CPoint& where,
                                     const Toolkit::ButtonState& buttons) override;

    Toolkit::CScaleMenu* scaleMenu = nullptr;

    // Turns the library's decoding thread (DecodeAhead) to the new likely scale.
    void likelyScaleChanged() override;

    // Values told by setParameter, one slot per parameter, and which slots are new.
    std::array<std::atomic<float>, kParameterCount> toldValues{};
    std::atomic<std::uint32_t> toldMask{0};
};
