#include "gravelixeditor.h"

#include "decodeahead.h"
#include "parametertable.h"
#include "resources/resourceids.h"
#include "toolkit/canimknob.h"
#include "toolkit/cbitmap.h"
#include "toolkit/cframe.h"
#include "toolkit/ckickbutton.h"
#include "toolkit/conoffbutton.h"
#include "toolkit/cscalemenu.h"
#include "toolkit/platform/editorsupport.h"
#include "toolkit/platform/iplatformbitmap.h"
#include "toolkit/platform/iplatformframe.h"
#include "toolkit/scalefactor.h"

using namespace Toolkit;

namespace {

// Filmstrip geometry of the knob and fader images.
constexpr std::int32_t kKnobImages = 45;
constexpr double kKnobImageHeight = 119;
constexpr std::int32_t kFaderImages = 31;
constexpr double kFaderImageHeight = 102;

// Tag of the two controls that belong to no parameter (footswitch and tweak plate).
constexpr std::int32_t kNoParameterTag = 11;
static_assert(!isParameter(kNoParameterTag));

// The new bitmap is made before the old one goes, so that an image this editor alone held stays
// decoded in the shared cache instead of being freed and decoded again; the same for the
// double-size variant the old one found, which the new one takes over.
void loadImage(CBitmap*& slot, std::int32_t id) {
    CBitmap* old = slot;
    slot = new CBitmap(CResourceRef(id));
    if (old) {
        if (IPlatformBitmap* variant = old->doubleSizePlatformBitmap()) {
            slot->setDoubleSizePlatformBitmap(variant);
        }
        old->releaseReference();
    }
}

void releaseImage(CBitmap*& slot) {
    if (slot) {
        slot->releaseReference();
    }
    slot = nullptr;
}

} // namespace

gravelixeditor::gravelixeditor(AudioEffect* effect) : AEffGUIEditor(effect) {
    loadPanels();
}

gravelixeditor::gravelixeditor(EditorHost& host) : AEffGUIEditor(host) {
    loadPanels();
}

void gravelixeditor::loadPanels() {
    loadImage(frontPanelImage, kFrontPanelImageId);
    loadImage(backPanelImage, kBackPanelImageId);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<std::int16_t>(frontPanelImage->height());
    rect.right = static_cast<std::int16_t>(frontPanelImage->width());
    DecodeAhead::attach();
    DecodeAhead::prepare(likelyScaleFactor());
}

void gravelixeditor::likelyScaleChanged() {
    DecodeAhead::prepare(likelyScaleFactor());
}

gravelixeditor::~gravelixeditor() {
    DecodeAhead::detach();
    // A host may destroy the effect without closing the editor first; the window must not
    // outlive the listener its controls call.
    if (frame) {
        releaseFrame();
    }
    releaseImage(frontPanelImage);
    releaseImage(footswitchImage);
    releaseImage(stereoSwitchImage);
    releaseImage(knobImage);
    releaseImage(ledImage);
    releaseImage(tweakImage);
    releaseImage(faderImage);
    releaseImage(backPanelImage);
    releaseImage(pickupSwitchImage);
}

bool gravelixeditor::open(void* ptr) {
    // A second open without a close replaces the window instead of leaking it.
    if (frame) {
        releaseFrame();
    }
    AEffGUIEditor::open(ptr);
    if (!ptr) {
        return false;
    }

    loadImage(frontPanelImage, kFrontPanelImageId);
    loadImage(footswitchImage, kFootswitchImageId);
    loadImage(stereoSwitchImage, kStereoSwitchImageId);
    loadImage(knobImage, kKnobImageId);
    loadImage(ledImage, kLedImageId);
    loadImage(tweakImage, kTweakImageId);
    loadImage(faderImage, kFaderImageId);
    loadImage(backPanelImage, kBackPanelImageId);
    loadImage(pickupSwitchImage, kPickupSwitchImageId);

    const CRect size(0, 0, frontPanelImage->width(), frontPanelImage->height());
    frame = new CFrame(size, ptr, this, platformFactory());
    IPlatformFrame* window = frame->platformFrame();
    if (!window || !window->nativeHandle()) {
        releaseFrame();
        return false;
    }
    scaleNewFrame();
    frame->setBackground(frontPanelImage);

    // Back-panel controls are added hidden; the table order is also the drawing order.
    auto add = [this](CControl* control, bool front) {
        const std::int32_t tag = control->tag();
        control->setValue(tag == kNoParameterTag ? 0.0f : editorHost().parameterValue(tag));
        control->setTransparent(false);
        frame->addView(control);
        if (!front) {
            control->setVisible(false);
        }
    };
    const CPoint origin(0, 0);
    add(outputKnob = new CAnimKnob(CRect(16, 29, 135, 148), this, kOutput, kKnobImages,
                                   kKnobImageHeight, knobImage, origin),
        true);
    add(distortionKnob = new CAnimKnob(CRect(133, 29, 252, 148), this, kDistortion, kKnobImages,
                                       kKnobImageHeight, knobImage, origin),
        true);
    add(inputFader = new CAnimKnob(CRect(68, 55, 100, 157), this, kInput, kFaderImages,
                                   kFaderImageHeight, faderImage, origin),
        false);
    add(opampFader = new CAnimKnob(CRect(68, 192, 100, 294), this, kOpampClipping, kFaderImages,
                                   kFaderImageHeight, faderImage, origin),
        false);
    add(diodeFader = new CAnimKnob(CRect(173, 192, 205, 294), this, kDiodeClipping, kFaderImages,
                                   kFaderImageHeight, faderImage, origin),
        false);
    add(highCutFader = new CAnimKnob(CRect(68, 328, 100, 430), this, kHighCut, kFaderImages,
                                     kFaderImageHeight, faderImage, origin),
        false);
    add(lowCutFader = new CAnimKnob(CRect(173, 328, 205, 430), this, kLowCut, kFaderImages,
                                    kFaderImageHeight, faderImage, origin),
        false);
    add(stereoSwitch = new COnOffButton(CRect(161, 54, 211, 78), this, kStereo, stereoSwitchImage),
        false);
    add(pickupSwitch =
            new COnOffButton(CRect(161, 118, 211, 142), this, kPickup, pickupSwitchImage),
        false);
    add(footswitch = new CKickButton(CRect(97, 295, 177, 375), this, kNoParameterTag,
                                     footswitchImage, origin),
        true);
    add(tweakButton = new COnOffButton(CRect(198, 0, 270, 25), this, kNoParameterTag, tweakImage),
        true);
    add(effectLed = new COnOffButton(CRect(119, 253, 151, 285), this, kEffect, ledImage), true);

    setKnobMode(KnobMode::linear);
    backPanelShown = false;
    frame->registerMouseObserver(this);
    return true;
}

MouseResult gravelixeditor::onMouseDown(CFrame* onFrame, const CPoint& where,
                                        const ButtonState& buttons) {
    if (scaleMenu) {
        if (scaleMenu->bounds().pointInside(where)) {
            return mouseNotHandled; // the menu takes it
        }
        // A press anywhere else only closes the menu.
        closeSizeMenu();
        return mouseHandled;
    }
    if (!(buttons.value() & rightButton) || onFrame->viewAtPoint(where, true)) {
        return mouseNotHandled;
    }
    openSizeMenu(where);
    return mouseHandled;
}

void gravelixeditor::openSizeMenu(const CPoint& where) {
    if (!frame || scaleMenu) {
        return;
    }
    scaleMenu = new CScaleMenu(where, frame->bounds(), scaleFactor(), [this](double scale) {
        closeSizeMenu();
        setPlayerScaleFactor(scale);
    });
    // On top of everything; the frame owns it from here.
    frame->addView(scaleMenu);
}

void gravelixeditor::closeSizeMenu() {
    CScaleMenu* menu = scaleMenu;
    scaleMenu = nullptr;
    if (frame && menu) {
        frame->removeView(menu, true);
    }
}

void gravelixeditor::close() {
    // The parent window stays recorded, as the base's close is not called.
    releaseFrame();
}

void gravelixeditor::releaseFrame() {
    CFrame* old = frame;
    frame = nullptr;
    scaleMenu = nullptr; // the frame's child, gone with it
    if (old) {
        old->unregisterMouseObserver(this);
    }
    if (old) {
        old->releaseReference();
    }
}

void gravelixeditor::idle() {
    if (frame && !inIdleStuff) {
        applyToldValues();
    }
    AEffGUIEditor::idle();
}

// setParameter's promise to the audio thread.
static_assert(std::atomic<float>::is_always_lock_free &&
              std::atomic<std::uint32_t>::is_always_lock_free);

void gravelixeditor::setParameter(VstInt32 index, float value) {
    // May run on the host's audio thread while the editor thread opens or closes the window,
    // so the controls are not touched here.
    if (!isParameter(index)) {
        return;
    }
    toldValues[static_cast<std::size_t>(index)].store(value, std::memory_order_relaxed);
    toldMask.fetch_or(1u << index, std::memory_order_release);
}

void gravelixeditor::applyToldValues() {
    std::uint32_t mask = toldMask.exchange(0, std::memory_order_acquire);
    for (int index = 0; mask != 0; ++index, mask >>= 1) {
        if (!(mask & 1u)) {
            continue;
        }
        // Silent: the control is only marked for redraw, its listener is not called.
        if (CControl* control = controlFor(index)) {
            control->setValue(
                toldValues[static_cast<std::size_t>(index)].load(std::memory_order_relaxed));
        }
    }
}

CControl* gravelixeditor::controlFor(VstInt32 index) const {
    if (!frame) {
        return nullptr;
    }
    if (!isParameter(index)) {
        return nullptr;
    }
    // Every parameter has its case: the build rejects a switch over the enum that misses one.
    switch (static_cast<ParameterIndex>(index)) {
    case kOutput:
        return outputKnob;
    case kDistortion:
        return distortionKnob;
    case kInput:
        return inputFader;
    case kOpampClipping:
        return opampFader;
    case kDiodeClipping:
        return diodeFader;
    case kHighCut:
        return highCutFader;
    case kLowCut:
        return lowCutFader;
    case kPickup:
        return pickupSwitch;
    case kStereo:
        return stereoSwitch;
    case kEffect:
        return effectLed;
    case kParameterCount:
        break;
    }
    return nullptr;
}

void gravelixeditor::valueChanged(CControl* control) {
    if (!control) {
        return;
    }
    const std::int32_t tag = control->tag();
    // The footswitch and the tweak plate carry a tag that is no parameter; the host is told
    // only of real parameters.
    if (tag >= 0 && tag < editorHost().parameterCount()) {
        editorHost().performEdit(tag, control->value());
    }
    control->markDirty(true);

    if (control == tweakButton) {
        backPanelShown = !backPanelShown;
        inputFader->setVisible(backPanelShown);
        opampFader->setVisible(backPanelShown);
        diodeFader->setVisible(backPanelShown);
        highCutFader->setVisible(backPanelShown);
        pickupSwitch->setVisible(backPanelShown);
        lowCutFader->setVisible(backPanelShown);
        stereoSwitch->setVisible(backPanelShown);
        footswitch->setVisible(!backPanelShown);
        outputKnob->setVisible(!backPanelShown);
        distortionKnob->setVisible(!backPanelShown);
        effectLed->setVisible(!backPanelShown);
        if (frame) {
            frame->setBackground(backPanelShown ? backPanelImage : frontPanelImage);
            // Each invalidates the whole window: the new face is painted at once.
            frame->setVisible(false);
            frame->setVisible(true);
        }
    } else if (control == footswitch) {
        // Only the release of a mouse press toggles (the key path never sets `pressed`);
        // anything but exactly 0 counts as on, so a host's 0.5 goes to 0.
        if (footswitch->pressed) {
            effectLed->setValue(effectLed->value() == 0.0f ? 1.0f : 0.0f);
        }
        // The footswitch's own gesture is bracketed under a tag the host never hears of, so
        // the Effect change it causes gets a gesture of its own: hosts recording automation
        // in touch mode drop or misplace changes that arrive outside begin/end.
        beginEdit(effectLed->tag());
        valueChanged(effectLed);
        endEdit(effectLed->tag());
    }
}
