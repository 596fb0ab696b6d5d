#pragma once

#include "recordingplatform.h"
#include "toolkit/cframe.h"

#include <gtest/gtest.h>

namespace Toolkit::Testing {

// A frame of 300 x 200 in a (pretend) host window, with a recording editor.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        int parentWindow = 0;
        frame = new CFrame(CRect(0, 0, 300, 200), &parentWindow, &editor, factory());
        editor.setFrame(frame);
        platform = factory().lastFrame;
        ASSERT_NE(platform, nullptr);
        platform->invalidated.clear();
    }
    void TearDown() override {
        if (frame) {
            frame->releaseReference();
        }
    }
    ProbeView* addProbe(const CRect& r, const char* name) {
        auto* v = new ProbeView(r, name, log);
        frame->addView(v);
        return v;
    }

    EventLog log;
    RecordingEditor editor{log};
    CFrame* frame = nullptr;
    RecordingFrame* platform = nullptr;
};

} // namespace Toolkit::Testing
