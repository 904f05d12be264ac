// corvane_assetgen OUTPUT_DIR: draws and synthesises every picture, sample and module of the game
// into OUTPUT_DIR. corvane_assetgen --icon FILE: draws the client's desktop icon into FILE. The
// output depends on nothing but this program.
#include "audio.h"
#include "pictures.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--icon") return writeDesktopIcon(argv[2]) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "cannot create %s\n", dir.c_str());
        return 1;
    }
    int fails = writeHudPictures(dir) + writeArenaPictures(dir) + writeFlamePictures(dir) +
                writeFrontEndPictures(dir) + writeSamples(dir) + writeModules(dir);
    return fails == 0 ? 0 : 1;
}
