#include "ApplicationMain.h"

int main(int argc, char** argv) {
    return tallowick::NSApplicationMain(argc, argv);
}
