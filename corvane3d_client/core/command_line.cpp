#include "command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "globals.h"

bool parseCommandLine(int argc, char** argv, CommandLine* options) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        bool takesValue = std::strcmp(a, "-dimension") == 0 || std::strcmp(a, "-server") == 0 ||
                          std::strcmp(a, "-nick") == 0 || std::strcmp(a, "-details") == 0;
        if (takesValue && i + 1 >= argc) return false;
        if (std::strcmp(a, "-full") == 0) {
            fullScreen = 1;
        } else if (std::strcmp(a, "-nosound") == 0) {
            options->noSound = true;
        } else if (std::strcmp(a, "-dimension") == 0) {
            copyText(options->gameModeString, argv[++i], sizeof options->gameModeString);
        } else if (std::strcmp(a, "-server") == 0) {
            copyText(serverAddress, argv[++i], sizeof serverAddress);
        } else if (std::strcmp(a, "-nick") == 0) {
            copyText(nickName, argv[++i], sizeof nickName);
        } else if (std::strcmp(a, "-details") == 0) {
            detailLevel = static_cast<int32_t>(std::strtol(argv[++i], nullptr, 10));
        } else {
            return false;
        }
    }
    if (detailLevel < 0 || detailLevel > 2) detailLevel = 1;
    return true;
}

void printUsage() {
    std::fputs("Options:\n", stdout);
    std::fputs("\t-full\t\tRun in Fullscreen Mode\n", stdout);
    std::fputs("\t-dimension dim\tWindow dimension in Fullscreen Mode\n", stdout);
    std::fputs("\t\t\t\"640x400:256@60\"\n", stdout);
    std::fputs("\t-details [0-2]\tLevel of Details\n", stdout);
    std::fputs("\t-nosound\t\tTurn off sound\n", stdout);
    std::fputs("\t-server addr\tCorvane 3d Server Address in IP Format\n", stdout);
    std::fputs("\t-nick name\tPlayer Nick Name\n", stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}
