// corvane3d_client: start-up, the reshape callback and the quit path.
#include <GL/glut.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "bomb.h"
#include "command_line.h"
#include "game.h"
#include "game_gl.h"
#include "game_render.h"
#include "globals.h"
#include "heap_tuning.h"
#include "menu.h"
#include "net.h"
#include "platform.h"
#include "random.h"
#include "round.h"
#include "saved_settings.h"
#include "sound.h"
#include "vehicle.h"
#include "world.h"

namespace {

CommandLine options;
bool inGameMode = false;

// The pictures, samples and music live in data/ beside the program, or, once installed, in
// share/corvane3d/data beside the program's bin/: work from there whatever directory the program
// was started in.
void enterProgramDirectory() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return;
    path[n] = '\0';
    std::string dir(path);
    size_t slash = dir.rfind('/');
    if (slash == std::string::npos) return;
    dir.resize(slash);
    for (const std::string& home : {dir, dir + "/../share/corvane3d"}) {
        if (access((home + "/data").c_str(), F_OK) == 0) {
            if (chdir(home.c_str()) == 0) return;
        }
    }
}

void reshape(int width, int height) {
    windowWidth = width;
    windowHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(80.0, 1.3, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
}

void quit() {
    saveSettingsNow();
    delete gGame;
    gGame = nullptr;
    delete gMenu;
    gMenu = nullptr;
    delete gSound;
    gSound = nullptr;
    if (inGameMode)
        glutLeaveGameMode();
    else if (windowId)
        glutDestroyWindow(windowId);
    NetCleanup();
    std::exit(1);
}

void dot() {
    std::fputs(".", stdout);
    std::fflush(stdout);
}

void installPlatformHooks() {
    platform.playSample = soundPlaySample;
    platform.playMusic = soundPlayMusic;
    platform.stopMusic = soundStopMusic;
    platform.loadPlanetTexture = loadPlanetTexture;
    platform.buildVehicleModel = buildVehicleModel;
    platform.prepareGameView = prepareGameViewGl;
    platform.installGameCallbacks = installGameCallbacksGl;
    platform.disableSteering = disableSteeringGl;
    returnToFrontEnd = [] {
        if (gMenu) gMenu->installCallbacks();
    };
    roundReturn = returnToFrontEnd;
    menuQuit = quit;
}

} // namespace

int main(int argc, char** argv) {
    keepRendererBuffersInHeap();
    seedRandomForThisProcess();
    enterProgramDirectory();
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    std::fputs("\nCORVANE 3D Client\n", stdout);

    windowWidth = 320;
    windowHeight = 256;
    serverAddress[0] = '\0';
    copyText(nickName, "CORVANE", sizeof nickName);
    restoreSavedSettings();
    if (!parseCommandLine(argc, argv, &options)) {
        printUsage();
        std::exit(1);
    }

    if (fullScreen) {
        glutGameModeString(options.gameModeString);
        if (glutGameModeGet(GLUT_GAME_MODE_POSSIBLE)) inGameMode = glutEnterGameMode() != 0;
        if (!inGameMode) {
            // The screen cannot switch to that mode: cover it with a window instead.
            std::fprintf(stderr, "game mode %s not available, using a full-screen window\n",
                         options.gameModeString);
            glutInitWindowPosition(0, 0);
            windowId = glutCreateWindow("corvane3D");
            glutFullScreen();
        }
    } else {
        glutInitWindowSize(windowWidth, windowHeight);
        glutInitWindowPosition(0, 0);
        windowId = glutCreateWindow("corvane3D");
    }
    glutSetCursor(GLUT_CURSOR_NONE);

    if (!NetStartup()) std::fprintf(stderr, "%s: unable to initialize socket\n", argv[0]);

    installPlatformHooks();
    std::fputs("Loading .", stdout);
    std::fflush(stdout);
    loadHudTextures();
    dot();
    loadFlameTextures();
    dot();
    loadOverlayTextures();
    dot();
    loadArenaTextures();
    std::fputs(".\n\n", stdout);
    std::fflush(stdout);

    gSound = new Sound;
    if (!options.noSound && savedSoundWanted()) gSound->init();
    noteRunSettings();
    gGame = new Game;
    gGame->lights->setUp();
    gMenu = new Menu;
    gMenu->installCallbacks();
    glutReshapeFunc(reshape);
    glutMainLoop();
    return 0;
}
