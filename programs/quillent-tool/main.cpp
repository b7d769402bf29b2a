#include <cstdio>

int main(int argc, char** argv) {
    std::puts("quillent-tool: no commands yet");
    return 0;
}
