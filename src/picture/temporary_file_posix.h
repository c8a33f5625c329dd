// The temporary file a save writes before it renames it over the
// destination, and the signal handlers that remove it again when the run is
// ended half-way. One save at a time: the handlers work from a single
// record of the file. Used by the *_posix.cc files only.
#pragma once

#include <string>

namespace bitmosaic {

// Creates the temporary file in the folder `folder` (a descriptor), with the
// handler in place for every ending signal that is not ignored (signals the
// user chose to ignore, as nohup does, stay ignored), so that an
// interruption at any moment removes it again. Returns its descriptor, or
// -1 with errno set.
int create_temporary(int folder);

// The name create_temporary gave the file in its folder.
const char* temporary_name();

// Gives the temporary file the destination's name, unless an interruption
// removed it first; returns 0, or the error (EINTR: it was removed).
int rename_temporary(int folder, const std::string& name);

// Removes the temporary file where it is still there and puts the previous
// handlers back.
void release_temporary(int folder);

// True when a handler removed the temporary file and the process went on:
// a handler that a host (the fuzzer) installed before returned.
bool temporary_removed_by_signal();

}  // namespace bitmosaic
