#include "SnapshotCommand.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "snapshot") == 0)
        return runSnapshotCommand(argc - 1, argv + 1);
    std::puts("usage: quillent-tool snapshot <recording> --at <ms> [--channel N] <out.jpg>");
    return argc >= 2 ? 2 : 0;
}
