// The client's command line.
#pragma once

struct CommandLine {
    char gameModeString[256] = "320x256:256@60";
    bool noSound = false;
};

// Reads the options after argv[0] into the settings globals and options; false on an unknown
// option or an option whose value is missing (the caller prints the usage). Values longer than
// 255 characters are cut; -details is clamped to 1 when outside 0..2.
bool parseCommandLine(int argc, char** argv, CommandLine* options);
// Prints the nine usage lines to standard output.
void printUsage();
