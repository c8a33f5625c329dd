// What the run makes sure of about its process before it opens anything.
#pragma once

namespace bitmosaic {

// Opens the null device on any of standard input, output and error that is
// closed, so that no file the run opens can take their place. True when
// standard output was one of them: the run's output then has nowhere to go.
bool open_closed_standard_streams();

}  // namespace bitmosaic
