// quillent-tool: recording work from the command line (conversion, records, information, ...).
#include "ToolCommand.h"

#include <cstdio>
#include <cstring>

namespace {

void printHelp(FILE* to) {
    std::fputs("usage: quillent-tool <command> [arguments]\n\ncommands:\n", to);
    for (const auto& c : ToolCommands())
        std::fprintf(to, "  %-10s %s\n", c.name, c.summary);
    std::fputs("\n\"quillent-tool <command> --help\" describes a command.\n", to);
}

} // namespace

int UsageError(const char* command, const std::string& text) {
    std::fprintf(stderr, "quillent-tool %s: %s\n", command, text.c_str());
    for (const auto& c : ToolCommands())
        if (std::strcmp(c.name, command) == 0)
            std::fprintf(stderr, "usage: quillent-tool %s\n", c.usage);
    return kExitUsage;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        printHelp(stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(stdout);
        return kExitOk;
    }
    for (const auto& c : ToolCommands()) {
        if (name != c.name)
            continue;
        std::vector<std::string> args(argv + 2, argv + argc);
        for (const auto& a : args)
            if (a == "--help" || a == "-h") {
                std::printf("usage: quillent-tool %s\n", c.usage);
                return kExitOk;
            }
        return c.run(args);
    }
    std::fprintf(stderr, "quillent-tool: unknown command \"%s\"\n\n", name.c_str());
    printHelp(stderr);
    return kExitUsage;
}
