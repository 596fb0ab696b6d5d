// What the editor must call so that the Linux platform layer gets to run.
#pragma once

namespace Toolkit::LinuxPlatform {

// No Linux host delivers a plug-in's window events or timers, so the plug-in pumps them
// itself. Call on the editor thread (the one that calls effEditOpen/effEditIdle/effEditClose),
// never from the audio or any other thread:
//   - on every effEditIdle, before the frame's idle pass, and once more after it so that the
//     redraws that pass asked for are painted in the same idle call;
//   - in doIdleStuff where a paint-message pump would run.
// It never blocks: it reads every event that has arrived for our windows and hands each to
// its frame, fires the timers that are due, then paints each window's invalid area once
// (all rectangles collected since the last paint, exposures included). Without an open
// window it only fires timers. A call made from inside one of its own callbacks only paints.
void pumpEvents();

} // namespace Toolkit::LinuxPlatform
