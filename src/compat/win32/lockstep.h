// Capture mode's lock-step events (a port addition, not a kernel32 operation).
// With lock-step on, SetEvent first calls the hook on the caller's thread, then wakes the thread that
// waits on the event and returns only once that thread waits again (or has ended); waits with a time-out
// never time out; CreateThread returns once the new thread first waits (or ends). So the work a wake
// triggers happens at a fixed point of the caller's sequence, and an offline render is the same from run
// to run.
#pragma once

namespace win32compat {

using WakeHook = void (*)(void* context);

void setLockstepEvents(bool enabled, WakeHook hook = nullptr, void* context = nullptr);
bool lockstepEvents();

}  // namespace win32compat
