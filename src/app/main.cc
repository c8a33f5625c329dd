#include "app/run.h"

#include "app/process.h"
#include "cli/fatal.h"

int main(int argc, char** argv) {
  bitmosaic::end_run(bitmosaic::run_bitmosaic(argc, bitmosaic::utf8_arguments(argc, argv)));
}
