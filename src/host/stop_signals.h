// Ctrl-C (SIGINT) and SIGTERM during offline work: the first one asks the capture or the soundtrack to
// stop after the frame or block in hand, so every file written stays complete; a second one ends the
// process at once, as usual. A dead encoder pipe or a file size limit become write errors that the
// capture reports. The live presentation keeps SDL's own handling (a quit request).
#pragma once

namespace host {

void installStopSignals();
// The signal that asked to stop, or 0.
int stopSignal();
// The conventional exit code of a process stopped by `signal` (128 + its number).
int exitCodeForSignal(int signal);
// Test hook: forget a stop request.
void resetStopSignal();

}  // namespace host
