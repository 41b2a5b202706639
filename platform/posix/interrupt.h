// Ctrl-C as a press of Cancel: the ending signals (SIGINT, SIGTERM,
// SIGHUP) are caught and noted, and the waits of a front end (a line from
// standard input, a read of a stream) end when one comes.
#pragma once

#include <stdint.h>

#include <string>

namespace pvx {

// Catches the ending signals: the first is noted (TakeInterrupt); a second
// before the first has been noticed ends the program the usual way.
// SIGPIPE is ignored (the write fails).
void CatchEndingSignals();
// True once CatchEndingSignals has been called.
bool EndingSignalsCaught();
// The signal that cancelled the work (SIGINT, SIGTERM, SIGHUP), or 0.
int EndingSignal();
// True when an ending signal is pending; it is taken (no longer pending).
bool TakeInterrupt();

// status, unless SIGTERM or SIGHUP ended the work: then the program ends as
// that signal would, its output flushed (128 + the signal should it live).
int EndAsSignalled(int status);

enum class LineRead { kLine, kEnd, kInterrupted };
// Reads one line from standard input (without its '\n'), byte by byte so
// that nothing past the line is consumed; a pending or arriving ending
// signal ends the wait (it stays pending).
LineRead ReadInputLine(std::string* line);

// read() from fd, waiting for data and for the ending signals alike: an
// ending signal ends the wait with *got 0 (it stays pending). False with
// errno set when the wait or the read fails.
bool ReadUnlessInterrupted(int fd, void* buf, uint32_t n, uint32_t* got);

}  // namespace pvx
