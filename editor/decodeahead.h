// The one thread per loaded library that gets the front face's images ready, decoded and, at
// sizes between the images' own, resampled, before a host opens an editor. Editors open
// without it too: whatever it has not done yet is done on the host's thread when first drawn.
#pragma once

namespace DecodeAhead {

// Called by each editor when made and when gone (host's thread). The first starts the thread;
// the last stops it, waiting at most for the image it is on, and lets go of what it prepared.
// Does nothing where the platform cannot decode off the editor's thread.
void attach();
void detach();
// Asks for the images at `scale` (a supported factor); the latest request wins, and the thread
// turns to it at its next image. Never blocks on the thread's work.
void prepare(double scale);

} // namespace DecodeAhead
