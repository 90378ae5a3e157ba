#include "saver/host/ProgramDescription.h"
#include "saver/host/SaverHost.h"

// Compiled into each saver program, which only describes itself, as the platform's library
// owns the process entry of a screen saver.
int main(int argc, char** argv) {
    return runSaverHost(argc, argv, describeProgram());
}
