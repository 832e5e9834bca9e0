// The built-in test camera of the Sequence Grabber (SequenceGrabber.h).
//
// Device "Lumora Test Camera" with the one input "Test Pattern". It delivers '2vuy' frames
// (BT.601, video range, tagged so by a 'colr' extension) of exactly the channel's frame size, at the channel's frame rate
// (30 per second when none is set), numbered from 0 when recording starts. Frame n is due
// n / rate seconds after SGStartRecord; SGIdle delivers the newest frame that is due (frames
// that fell due between two SGIdle calls are skipped, as a camera drops them).
//
// The picture of frame n, width W, height H:
// - Rows 0 to max(1, H / 8) - 1: the frame number as 32 cells, most significant bit first;
//   column x is in cell floor(32 * x / W), which is white (Y 235) for a 1 bit and black
//   (Y 16) for a 0 bit, chroma 128. Readable when W >= 64.
// - The rows below: eight vertical bars, each kTestCameraBarWidth pixels wide, in the
//   order white, yellow, cyan, green, magenta, red, blue, black (full intensity), repeating
//   across the row and moving right by 4 pixels a frame: column x shows bar
//   ((x - 4 * n) mod (8 * kTestCameraBarWidth)) / kTestCameraBarWidth, the modulo taken
//   non-negative. Bar edges fall on even columns, so the two pixels of a pair (which share
//   their chroma) always show the same bar.
#pragma once

#include <CoreFoundation/MacTypes.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

enum { kTestCameraBarWidth = 32 };

// Test hook: while unplugged, the test camera is not listed, cannot be opened
// (noDeviceForChannel) and a recording test camera delivers nothing more: SGIdle answers
// noDeviceForChannel, as for a camera pulled out while recording.
void LumoraTestCameraSetUnplugged(Boolean unplugged);

}  // extern "C"
