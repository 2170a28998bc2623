// SIGINT and SIGTERM ask a run to stop instead of ending the process at
// once, so that it can take away what it has half written; SIGPIPE is
// ignored, so that a program that stops reading is an error to report.
#pragma once

namespace render {

void CatchInterruptions();
bool Interrupted();
// The exit status of a run stopped by its signal: 128 + the signal.
int InterruptedStatus();

}  // namespace render
