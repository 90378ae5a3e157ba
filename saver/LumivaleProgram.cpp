#include "saver/LumivaleScene.h"
#include "saver/host/SaverHost.h"

int main(int argc, char** argv) {
    LumivaleScene scene;
    return runSaverHost(argc, argv, scene, "lumivale");
}
