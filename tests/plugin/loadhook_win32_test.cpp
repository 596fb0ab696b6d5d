// Guards against recording a module other than the one holding the given address, or against
// a refused lookup that still overwrites the recorded handle.
#include "aeffect.h"
#include "hinstance.h"

#include <gtest/gtest.h>

#include <windows.h>

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

TEST(EntryPoint, RecordsTheModuleHoldingTheAddress) {
    // Linked into this test program, the entry point lives in the executable's module.
    ASSERT_TRUE(recordModuleHandle(reinterpret_cast<const void*>(&VSTPluginMain)));
    EXPECT_EQ(hInstance, static_cast<void*>(GetModuleHandleW(nullptr)));
    EXPECT_FALSE(recordModuleHandle(nullptr));
    EXPECT_EQ(hInstance, static_cast<void*>(GetModuleHandleW(nullptr)));
    // An address in a system DLL names that DLL.
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    ASSERT_NE(ntdll, nullptr);
    const auto function = GetProcAddress(ntdll, "RtlGetVersion");
    ASSERT_NE(function, nullptr);
    ASSERT_TRUE(recordModuleHandle(reinterpret_cast<const void*>(function)));
    EXPECT_EQ(hInstance, static_cast<void*>(ntdll));
}
