// The fixed texts of the program: title, usage, detailed help, examples and
// credits. They describe the commands for the user and define no behaviour.
#pragma once

namespace bitmosaic {

inline constexpr const char* kVersion = "1.0.0";

// The usage lines, with `name` as the program name on the first one and every
// later keyword aligned under "info".
void print_usage(const char* name);

// Title, version and usage; used for a run without arguments and by "help".
void print_title(const char* name);

void print_detailed_help();
void print_examples();
void print_credits();

}  // namespace bitmosaic
