// What the editor base needs of the window system besides the toolkit: per-thread services,
// the tick counter, the event pumping around idle and the native-window sizing fallback.
// Each platform library defines these; everything but platformFactory runs on the editor thread.
#pragma once

#include <cstdint>

namespace Toolkit {
class IPlatformFactory;
}

namespace Toolkit::EditorSupport {

// This platform's windows, drawing, bitmaps and timers: what the editor base hands its frame
// and installs as the toolkit's default.
IPlatformFactory& platformFactory();

// Each editor object calls enter once when constructed and leave once when destroyed
// (Windows: OLE for the thread, which drag and drop needs).
void enterEditorThread();
void leaveEditorThread();

// Milliseconds as an unsigned 32-bit count that wraps.
std::uint32_t ticks();
void wait(std::uint32_t ms);

// Before and after the frame's idle pass on effEditIdle (after only when there is a frame).
void beforeFrameIdle();
void afterFrameIdle();
// The idle request's event step: runs at most one pending paint of the calling thread.
void pumpPaint();

// The host cannot size its window: resize the editor's native window (and the host windows
// around it, where the platform does that) to width x height. Answers whether the size change
// may go ahead.
bool resizeNativeWindows(void* nativeWindow, std::int32_t width, std::int32_t height);

// Whether editors may decode their images, and draw them into offscreen contexts, on a thread
// of their own ahead of being opened.
bool decodesAheadOffThread();
// First and last on that thread: what decoding there needs (Windows: COM in the thread's own
// apartment, an imaging factory of its own, a hold on GDI+). Never touches a window.
void enterDecodingThread();
void leaveDecodingThread();
// Whether the parts an offscreen context resamples are the ones a window's paint draws, so
// that drawing the front panel offscreen ahead saves its first paint the filter pass.
bool offscreenResamplingServesWindows();

// The file descriptor on which the calling thread's window-system events arrive while one of
// its editor windows is open, for hosts that watch descriptors and idle the editor when it
// is readable; -1 where there is none (no window open, or a system without one).
int eventDescriptor();

// The scale the system asks for on the screen of the host's window `parentWindow` (null: the
// default screen), not yet rounded to a supported one; 1 when the system says nothing. May be
// asked before any editor window exists.
double systemScaleFactor(void* parentWindow);

} // namespace Toolkit::EditorSupport
