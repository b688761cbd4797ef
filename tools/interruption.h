// How vellora-render ends on a signal. SIGINT (Ctrl-C), SIGTERM, SIGHUP and
// SIGQUIT are caught once, for the whole run, and only set a flag. Every long
// step checks it: after each picture is loaded, after rendering, at every
// write of a file (core::TReplacement takes the flag), after each picture of
// a sequence and before each pair matched. The run then removes what it was
// writing, leaves the old output as it was, says so in one line and exits
// with 128 + the signal's number, as a shell reports a process it ended.
#pragma once

#include <string>
#include <string_view>

#include "core/replacefile.h"

namespace interruption {

// Catches the four signals, SIGHUP only when it is not ignored already (as
// under nohup); once, at the start of main.
void Install();

// The flag the handlers set (to the signal's number), for the writers.
const core::TStopFlag& Flag();
bool Requested();

// 128 + the signal's number.
int ExitCode();
// The line for the user: "interrupted by SIGTERM; " and what is left.
std::string Message(std::string_view whatIsLeft);

// For the tests: when the environment variable VELLORA_RENDER_TEST_HOLD names
// this point ("load", "write", "frame", "match"), says "ready" on stderr and
// waits for a signal, so that one arrives exactly there.
void Hold(const char* point);

}  // namespace interruption
