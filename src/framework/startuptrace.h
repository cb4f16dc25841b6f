#pragma once

// Where the window's thread spends its time from main() to the first paint of a note. Off unless the environment
// names NOLTNOLT_STARTUP_TRACE (read once): then each step's end is printed to standard error, as wall and thread
// CPU milliseconds since main(), until the first paint. Off, a mark costs a test of one flag.
namespace StartupTrace {

// The step that ends now; the first mark starts the clock.
void mark(const char *step);
// The note's first paint: the last mark.
void firstPaint();

} // namespace StartupTrace
