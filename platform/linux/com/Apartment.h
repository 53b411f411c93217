// Per-thread COM initialisation, as the rest of the COM runtime needs to know it.
#pragma once

namespace comrt {

// True when the calling thread may use COM: it initialised COM itself, or some
// thread of the process keeps the multithreaded apartment alive (which then
// takes in every uninitialised thread, as on the platform).
bool comUsableOnThisThread();

} // namespace comrt
