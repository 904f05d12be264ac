// What the game rules ask of the display, input and sound side of the client. The rules call these
// helpers; the client's start-up points the hooks at the real GLUT, OpenGL and sound functions.
// Every hook may stay null (headless tests), and then the request does nothing.
#pragma once

struct PlatformHooks {
    void (*playSample)(int n) = nullptr;
    void (*playMusic)(int n) = nullptr;
    void (*stopMusic)(int n) = nullptr;
    // Loads data/sphere.png and returns its texture name, 0 on failure.
    unsigned (*loadPlanetTexture)() = nullptr;
    // Compiles the vehicle model's display lists 1 to 6.
    void (*buildVehicleModel)() = nullptr;
    // OpenGL state for the game view (clear colour, shading, culling, depth, lighting).
    void (*prepareGameView)() = nullptr;
    // Ignores key repeat, installs the game's GLUT callbacks and arms the first tick (50 ms).
    void (*installGameCallbacks)() = nullptr;
    // Removes the arrow-key callbacks: the local player is out.
    void (*disableSteering)() = nullptr;
};

extern PlatformHooks platform;

inline void playSample(int n) {
    if (platform.playSample) platform.playSample(n);
}
inline void playMusic(int n) {
    if (platform.playMusic) platform.playMusic(n);
}
inline void stopMusic(int n) {
    if (platform.stopMusic) platform.stopMusic(n);
}

// Sample and music numbers.
enum SampleNumber {
    kSampleExplode = 1,
    kSampleType = 2,
    kSampleWhoosh = 3,
    kSampleItemPickup = 4,
    kSampleCarBrake = 5,
    kSampleCarAccel = 6,
    kSampleCamera = 7
};
enum MusicNumber { kMusicGame = 1, kMusicMenu = 2 };
