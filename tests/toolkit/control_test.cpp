// Guards the control value model: program changes must stay silent but redraw, user changes
// must reach listener and host inside balanced, correctly ordered edit brackets.

#include "testfixture.h"
#include "toolkit/conoffbutton.h"

#include <cmath>

using namespace Toolkit;
using namespace Toolkit::Testing;

using Log = std::vector<std::string>;

class Control : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        control = new COnOffButton(CRect(0, 0, 20, 20), &listener, 5);
        frame->addView(control);
        control->markDirty(false);
    }
    RecordingListener listener{log};
    COnOffButton* control = nullptr;
};

TEST_F(Control, ProgramChangesAreClampedSilentAndMarkDirty) {
    control->setValue(2.0f);
    EXPECT_FLOAT_EQ(control->value(), 1.0f);
    EXPECT_TRUE(log.entries.empty());
    EXPECT_TRUE(control->isDirty());
    control->setNormalizedValue(1.5f);
    EXPECT_FLOAT_EQ(control->value(), 1.0f);
    control->setValue(std::nanf(""));
    EXPECT_FLOAT_EQ(control->value(), 1.0f) << "NaN must not be stored";
    control->setMinValue(1.0f);
    EXPECT_FLOAT_EQ(control->normalizedValue(), 0.0f) << "an empty range must not give NaN";
}

TEST_F(Control, MarkDirtyStaysDirtyEvenForValueMinusOne) {
    control->setMinValue(-2.0f);
    control->setValue(-1.0f);
    control->markDirty(false);
    EXPECT_FALSE(control->isDirty());
    control->markDirty(true);
    EXPECT_FLOAT_EQ(control->drawnValue(), 0.0f);
    EXPECT_TRUE(control->isDirty());
}

TEST_F(Control, BeginTellsListenerFirstAndEndTellsFrameFirst) {
    control->beginEdit();
    control->endEdit();
    EXPECT_EQ(log.entries,
              (Log{"listener.began", "editor.begin 5", "editor.end 5", "listener.ended"}));
}

TEST_F(Control, ControlClickResetsToDefaultInsideOneEdit) {
    control->setValue(0.2f);
    EXPECT_FALSE(control->resetOnModifierClick(leftButton));
    EXPECT_FALSE(control->resetOnModifierClick(leftButton | rightButton | controlKey));
    EXPECT_TRUE(log.entries.empty());
    EXPECT_TRUE(control->resetOnModifierClick(leftButton | controlKey | shiftKey));
    EXPECT_EQ(log.entries, (Log{"listener.began", "editor.begin 5", "changed 0.5", "editor.end 5",
                                "listener.ended"}));
    log.clear();
    EXPECT_TRUE(control->resetOnModifierClick(leftButton | controlKey));
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Control, DeferredNotificationsAreSentOnceWhenTheDeferralEnds) {
    struct Dependent : CBaseObject {
        std::vector<IdStringPtr> got;
        MessageResult handleMessage(CBaseObject*, IdStringPtr m) override {
            got.push_back(m);
            return messageNotified;
        }
    } dependent;
    control->addDependent(&dependent);
    control->deferNotifications(true);
    control->setValue(0.1f);
    control->setValue(0.2f);
    control->beginEdit();
    EXPECT_TRUE(dependent.got.empty());
    control->deferNotifications(false);
    EXPECT_EQ(dependent.got, (std::vector<IdStringPtr>{kMessageValueChanged, kMessageBeginEdit}));
    control->removeDependent(&dependent);
}
