// Guards the effect-editor link against unclamped, out-of-range or late notifications, and the
// pedal editor against showing host changes on the caller's thread or losing them while closed.
#include "aeffguieditor.h"
#include "gravelix.h"
#include "recordinghost.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Told {
    VstInt32 index;
    float value;
    float effectValueThen; // what the effect answered for that index at the time
};

// Stands in for the pedal editor and records what the effect tells it.
class SpyEditor : public AEffGUIEditor {
public:
    explicit SpyEditor(AudioEffect* effect) : AEffGUIEditor(effect) {}
    void setParameter(VstInt32 index, float value) override {
        told.push_back({index, value, effect->getParameter(index)});
    }
    std::vector<Told> told;
};

class EditorLinkTest : public ::testing::Test {
protected:
    RecordingHost host;
    std::unique_ptr<Gravelix> effect = std::make_unique<Gravelix>(RecordingHost::callback());
    SpyEditor* spy = nullptr;

    void SetUp() override {
        AEffEditor* own = effect->getEditor();
        effect->setEditor(nullptr);
        delete own;
        spy = new SpyEditor(effect.get());
    }
};

TEST(EditorLink, TheEffectComesWithItsEditor) {
    RecordingHost host;
    Gravelix effect(RecordingHost::callback());
    ASSERT_NE(effect.getEditor(), nullptr);
    EXPECT_TRUE(effect.getAeffect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    AEffect* record = effect.getAeffect();
    EXPECT_EQ(record->dispatcher(record, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 475);
    EXPECT_EQ(rect->right, 270);
    // Closed: changes are harmless.
    record->setParameter(record, 0, 0.3f);
    EXPECT_FLOAT_EQ(record->getParameter(record, 0), 0.3f);
    EXPECT_EQ(record->dispatcher(record, effEditOpen, 0, 0, nullptr, 0.0f), 0)
        << "no parent window, no editor window";
}

TEST_F(EditorLinkTest, ChangesAreShownClampedAndBeforeTheEffectChanges) {
    effect->setParameter(0, 0.2f);
    spy->told.clear();
    effect->setParameter(0, 1.5f);
    effect->setParameter(1, -0.5f);
    effect->setParameter(10, 0.5f);
    effect->setParameter(-1, 0.5f);
    ASSERT_EQ(spy->told.size(), 2u);
    EXPECT_EQ(spy->told[0].index, 0);
    EXPECT_EQ(spy->told[0].value, 1.0f);
    EXPECT_FLOAT_EQ(spy->told[0].effectValueThen, 0.2f);
    EXPECT_EQ(spy->told[1].index, 1);
    EXPECT_EQ(spy->told[1].value, 0.0f);
}

TEST_F(EditorLinkTest, ProgramChangeShowsAllTenInRecordOrder) {
    AEffect* record = effect->getAeffect();
    record->dispatcher(record, effSetProgram, 0, 2, nullptr, 0.0f);
    std::vector<VstInt32> order;
    for (const Told& t : spy->told) {
        order.push_back(t.index);
        EXPECT_FLOAT_EQ(t.value, effect->getParameter(t.index));
    }
    EXPECT_EQ(order, (std::vector<VstInt32>{0, 1, 2, 3, 4, 7, 5, 6, 8, 9}));
}

} // namespace
