// The player: everything happens in the application object of the user-interface library.
#include "ui/app/CHvViewerApp.h"

int main(int argc, char** argv) {
    return CHvViewerApp::Main(argc, argv);
}
