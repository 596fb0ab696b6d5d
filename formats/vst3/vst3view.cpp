#include "vst3view.h"

#include "gravelixeditor.h"
#include "vst3controller.h"

using namespace Steinberg;

Vst3View::Vst3View(Vst3Controller& owner) : controller(&owner) {
    controller->addRef();
}

Vst3View::~Vst3View() {
    close();
    if (frame) {
        frame->release();
    }
    controller->viewGone(this);
    controller->release();
}

tresult PLUGIN_API Vst3View::queryInterface(const TUID iid, void** obj) {
    if (!obj) {
        return kInvalidArgument;
    }
    *obj = nullptr;
    if (vst3::sameId(iid, FUnknown_iid) || vst3::sameId(iid, IPlugView_iid)) {
        *obj = static_cast<IPlugView*>(this);
    } else if (vst3::sameId(iid, IPlugViewContentScaleSupport_iid)) {
        *obj = static_cast<IPlugViewContentScaleSupport*>(this);
    } else {
        return kNoInterface;
    }
    addRef();
    return kResultOk;
}

tresult PLUGIN_API Vst3View::isPlatformTypeSupported(FIDString type) {
    return Vst3ViewDriver::supports(type) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API Vst3View::attached(void* parent, FIDString type) {
    gravelixeditor* editor = controller->editorOf();
    if (open || !editor || !parent || !Vst3ViewDriver::supports(type) ||
        !Vst3ViewDriver::canDrive(frame)) {
        return kResultFalse;
    }
    if (!editor->open(parent)) {
        return kResultFalse;
    }
    open = true;
    Vst3Controller* owner = controller;
    if (!driver.start(frame, [owner] { owner->idle(); })) {
        close();
        return kResultFalse;
    }
    return kResultOk;
}

tresult PLUGIN_API Vst3View::removed() {
    if (!open) {
        return kResultFalse;
    }
    close();
    return kResultOk;
}

void Vst3View::close() {
    driver.stop();
    if (!open) {
        return;
    }
    open = false;
    if (gravelixeditor* editor = controller->editorOf(); editor && editor->isOpen()) {
        editor->close();
        // What the server still had for the closed window would wait in the connection's queue
        // until the next editor's idle; read and dropped now.
        editor->idle();
    }
}

void Vst3View::controllerGone() {
    close();
}

tresult PLUGIN_API Vst3View::onWheel(float) {
    return kResultFalse;
}

tresult PLUGIN_API Vst3View::onKeyDown(char16, int16, int16) {
    return kResultFalse;
}

tresult PLUGIN_API Vst3View::onKeyUp(char16, int16, int16) {
    return kResultFalse;
}

tresult PLUGIN_API Vst3View::getSize(ViewRect* size) {
    gravelixeditor* editor = controller->editorOf();
    ERect* rect = nullptr;
    if (!size || !editor || !editor->getRect(&rect) || !rect) {
        return kInvalidArgument;
    }
    *size = ViewRect(0, 0, rect->right - rect->left, rect->bottom - rect->top);
    return kResultOk;
}

tresult PLUGIN_API Vst3View::onSize(ViewRect* newSize) {
    // The sizes are the editor's own; a host sizing its window to one it asked for lands here.
    return newSize ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API Vst3View::onFocus(TBool) {
    return kResultOk;
}

tresult PLUGIN_API Vst3View::setFrame(IPlugFrame* newFrame) {
    if (newFrame) {
        newFrame->addRef();
    }
    if (frame) {
        frame->release();
    }
    frame = newFrame;
    return kResultOk;
}

tresult PLUGIN_API Vst3View::canResize() {
    return kResultFalse;
}

tresult PLUGIN_API Vst3View::checkSizeConstraint(ViewRect* rect) {
    // Whatever the host proposes, the editor keeps its own size.
    return getSize(rect);
}

tresult PLUGIN_API Vst3View::setContentScaleFactor(ScaleFactor factor) {
    gravelixeditor* editor = controller->editorOf();
    if (!editor || !(factor > 0.0f)) {
        return kResultFalse;
    }
    editor->setHostScaleFactor(static_cast<double>(factor));
    return kResultOk;
}

EditorHost::SizeAnswer Vst3View::requestSize(std::int32_t width, std::int32_t height) {
    if (!frame) {
        return EditorHost::SizeAnswer::unsupported;
    }
    ViewRect rect(0, 0, width, height);
    return frame->resizeView(this, &rect) == kResultOk ? EditorHost::SizeAnswer::resized
                                                       : EditorHost::SizeAnswer::refused;
}
