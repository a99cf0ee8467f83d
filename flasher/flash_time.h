// What a flash costs on the link, counted from the frames it sends: for the link check and the
// benchmarks, without the procedure itself.
#pragma once

namespace flasher {

// The frames Flash firmware (flashImage and the link check after it) sends for an image of
// `packetCount` packets when the bootloader is idle at its first look after the erase and after
// each packet; every poll while it is still busy adds four. With a measured time per frame this
// is what a flash costs on the link.
int framesToFlash(int packetCount);
// What a flash of `packetCount` packets costs on the link, from the time of a frame sent in a
// packet's run and of a frame whose answer is waited for (the same on the standard link; on the
// fast link the run's frames are streamed).
double secondsToFlash(int packetCount, double msPerRunFrame, double msPerAnsweredFrame);

}  // namespace flasher
