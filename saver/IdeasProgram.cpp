#include "saver/IdeasScene.h"
#include "saver/host/SaverHost.h"

int main(int argc, char** argv) {
    IdeasScene scene;
    return runSaverHost(argc, argv, scene, "ideas");
}
