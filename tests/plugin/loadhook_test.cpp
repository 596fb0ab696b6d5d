// Guards against a load hook that records no module, or another module than the one holding
// the entry point (the platform would then look for our images in the wrong place).
#include "aeffect.h"
#include "hinstance.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

TEST(EntryPoint, LoadHookRecordsTheModuleOfTheEntryPoint) {
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&VSTPluginMain), &info), 0);
    EXPECT_EQ(hInstance, info.dli_fbase);
    EXPECT_FALSE(recordModuleHandle(nullptr));
    EXPECT_EQ(hInstance, info.dli_fbase);
}
