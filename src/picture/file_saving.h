// Saving files: a picture's bytes written so that a failed save leaves the
// old file whole. It prints nothing; it reports through its result and
// leaves every message to the run driver. Each platform implements it in
// its own file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace bitmosaic {

struct SaveResult {
  bool written = false;
  std::string reason;  // the system's words for the cause, when not written
};

// Writes `data` to `path`. The system resolves the path, links included,
// with the permissions and protections that apply to this user.
//  - A regular file, or a name that does not exist yet, is replaced
//    atomically through a temporary file in the same folder, flushed to disk
//    first, working from the folder's descriptor (any depth): a failed save
//    leaves any old file whole, a file size limit is a failed write, and an
//    interruption by any signal whose default action ends the process (the
//    fault signals aside) removes the temporary file before the signal goes
//    on to its previous handler. A file this user may not write is refused
//    (POSIX: as faccessat with the effective ids decides; Windows: the
//    read-only attribute). A replaced file keeps its owner, group,
//    permission bits, extended attributes and ACLs where the system lets
//    this user keep them; where it does not, the new file grants nobody more
//    than the old one did.
//  - A symbolic link is followed: its target gets the bytes, the link stays.
//    A link that leads nowhere is refused.
//  - Anything else (a device, a pipe, a terminal) is written in place; the
//    run's own standard output through its descriptor, at its offset.
SaveResult save_file_bytes(std::span<const std::uint8_t> data, const std::string& path);

}  // namespace bitmosaic
