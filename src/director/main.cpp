// Entry point: the command line chooses how the presentation is shown; the presentation itself starts
// in demoMain.
#include "host/run.h"

int main(int argc, char** argv) { return host::run(argc, argv); }
