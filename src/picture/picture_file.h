// The whole file layer, for a caller that uses several of its concerns:
// reading files, saving them, and looking at what a path names. None of it
// prints anything; results carry what went wrong and the run driver words
// the messages.
#pragma once

#include "picture/file_paths.h"
#include "picture/file_reading.h"
#include "picture/file_saving.h"
