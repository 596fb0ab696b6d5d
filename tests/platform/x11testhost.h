// A stand-in host for tests that need a real X window: its own Xlib connection, a top-level
// window at a known place, and real pointer and key input through XTest.
#pragma once

#include <chrono>
#include <gtest/gtest.h>
#include <thread>
// After GoogleTest: Xlib's None and Bool macros would break its headers.
#include <X11/Xlib.h>
#include <X11/keysym.h>

class X11TestHost : public ::testing::Test {
protected:
    static constexpr int hostX = 50, hostY = 60;

    // One connection for the whole suite: a server that sees its last client go resets and
    // refuses connections while it does (retried briefly for servers run without -noreset).
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // The host's parent window as the host passes it to the editor.
    void* parentHandle() const {
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(host));
    }

    // Runs the plug-in's event pump until `done` or the timeout.
    template <class Done> bool pumpUntil(Done done, int timeoutMs = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            XSync(display, False);
            pump();
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }
    // For checks that something did not happen: lets everything in flight arrive.
    void settle() {
        pumpUntil([] { return false; }, 150);
    }
    static void pump();

    // Pointer position relative to the host window's top-left corner.
    void moveTo(int x, int y);
    void button(unsigned number, bool press);
    void key(KeySym sym, bool press);
    // The 0xRRGGBB colour of one pixel of `window` as the server has it.
    unsigned long pixel(Window window, int x, int y);
    // XGrabPointer from this client: GrabSuccess only when nobody holds the pointer.
    int grabFromAnotherClient();
    bool isChildOfHost(Window window);

    static inline Display* display = nullptr;
    Window host = 0;
};
