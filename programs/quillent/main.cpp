// The player: everything happens in the application object of the user-interface library.
#include "ui/app/Application.h"

int main(int argc, char** argv) {
    return Application::main(argc, argv);
}
