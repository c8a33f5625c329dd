// What the run makes sure of about its process before it opens anything.
#pragma once

namespace bitmosaic {

// Opens the null device on any of standard input, output and error that is
// closed, so that no file the run opens can take their place; where the C
// library has a text mode (Windows), switches standard output and error to
// binary, so that a picture sent to standard output arrives unchanged and
// every line ends in a line feed alone, as on other systems. True when
// standard output was closed: the run's output then has nowhere to go.
bool prepare_standard_streams();

// The program's arguments in UTF-8: `argv` itself where the system passes
// them so; on Windows, made from the UTF-16 command line, so that any name
// (絵.kla) arrives whatever the console's code page.
char** utf8_arguments(int argc, char** argv);

}  // namespace bitmosaic
