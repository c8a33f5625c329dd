#include "app/run.h"

int main(int argc, char** argv) { return bitmosaic::run_bitmosaic(argc, argv); }
