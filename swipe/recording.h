// The card-swipe server's recording: one per process, shared by every control instance and
// outliving each of them. The sound input is the default wave-input device; every buffer is
// decoded by the Track 2 decoder; lines go to the process's standard output.
#pragma once

#include <string>

namespace swipe {

// Stops a running recording, empties the result text and starts recording in buffers of the low
// 16 bits of recTime (signed) seconds, 2 when that is zero or negative. Returns at once.
void BeginRecording(long recTime);
// Ends a running recording before it returns (at least 200 ms when one runs); at once otherwise.
void StopRecording();
// Returns the recording bookkeeping to idle; the result text stays. A recording that is still
// running is stopped first, so that no open device is forgotten.
void ResetRecordingState();
// The result text: the last decoded Track 2 text, or empty. Copied out under the lock that
// keeps it from being read half-written.
std::string ReadTrack2Text();

}  // namespace swipe
