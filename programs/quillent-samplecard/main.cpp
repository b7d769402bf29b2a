#include <cstdio>

int main(int argc, char** argv) {
    std::puts("quillent-samplecard: not yet");
    return 1;
}
