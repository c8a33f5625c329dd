// The one way a run ends in error: message on standard error, usage on
// standard output, exit status 1.
#pragma once

namespace bitmosaic {

// Something that ends a run with an exit status and does not return.
using RunEnder = void (*)(int status);

// Installs `ender` in place of process exit; nullptr restores process exit.
// A host that drives whole runs inside one process (the fuzz target, the
// in-process tests) installs an ender that unwinds, typically by throwing,
// so that it gets control back with the status the program would exit with.
void set_run_ender(RunEnder ender);

// Standard output was closed when the run started (the run put the null
// device in its place): nothing it prints there reaches anyone.
void note_standard_output_closed(bool closed);

// Flushes standard output. When anything printed there could not be
// written, says so on standard error ("ERROR: Standard output could not be
// written (%s).") and returns 1; otherwise returns `status`.
int finish_standard_output(int status);

// Ends the run with `status`, after finish_standard_output: exits, or hands
// the status to the installed ender. Help words, errors and main end here.
[[noreturn]] void end_run(int status);

// Prints the formatted message to standard error exactly as given (no line
// feed is added), then "\n\nUsage:" and the usage for the name "bitmosaic"
// to standard output, and ends the run with status 1.
[[noreturn]] void die_with_usage(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

}  // namespace bitmosaic
