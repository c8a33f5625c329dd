#include "base/colour_names.h"

namespace bitmosaic {
namespace {

constexpr const char* kColourNames[16] = {
    "black", "white",  "red",       "cyan",  "purple",      "green",
    "blue",  "yellow", "orange",    "brown", "pink",        "dark grey",
    "grey",  "light green", "light blue", "light grey",
};

}  // namespace

const char* colour_name(int colour) { return kColourNames[colour & 0x0F]; }

}  // namespace bitmosaic
