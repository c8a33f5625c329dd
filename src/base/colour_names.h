// The names of the C64's sixteen colours, as every message and report
// writes them.
#pragma once

namespace bitmosaic {

// Name of C64 colour `colour`; only the low four bits count, as on the
// machine, so any byte value has a name.
const char* colour_name(int colour);

}  // namespace bitmosaic
