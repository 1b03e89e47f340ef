// Ctrl-C during a long run, and ending the process as a signal would, so
// that a calling shell or script sees the usual status (130 for Ctrl-C, 141
// for a closed pipe) and stops a loop around the command.
#pragma once

namespace velkor::cli {

// From now on SIGINT only sets a flag for interrupted() (a second one ends
// the process at once), except during a save: then SIGINT, SIGTERM and
// SIGHUP remove the save's temporary file, say so, and end the process.
void catch_interrupt();

// A save of the file shown as `shown_path` begins (nullptr: it ended).
void saving(const char* shown_path);

// Whether SIGINT came since catch_interrupt().
bool interrupted();

// Ends the process by signal number, whatever its disposition was.
[[noreturn]] void end_by_signal(int number);

}  // namespace velkor::cli
