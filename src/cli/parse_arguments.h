// Turns the program's arguments into CommandSettings, or ends the run: the
// help words print their text and exit 0, every error goes through
// die_with_usage.
#pragma once

#include "cli/command_settings.h"

namespace bitmosaic {

void parse_arguments(int argc, char** argv, CommandSettings& settings);

}  // namespace bitmosaic
