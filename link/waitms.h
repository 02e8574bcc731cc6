#pragma once

// Pauses the caller for ms milliseconds while the event loop keeps running:
// received bytes, timers and (in the window) clicks are all handled meanwhile.
void waitMs(int ms);
