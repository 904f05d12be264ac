#include "sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstring>

#include "globals.h"

namespace {

const char* const kSongFiles[2] = {"data/sound.s3m", "data/intro.s3m"};
const char* const kSampleFiles[7] = {
    "data/explode.wav",  "data/type.wav",     "data/whoosh.wav", "data/itempickup.wav",
    "data/carbrake.wav", "data/caraccel.wav", "data/camera.wav"};

const char* const kDeviceError = "Error initializing output device.";
// A song stops and starts with a short volume ramp instead of a cut, which would click.
const int kFadeOutMs = 60;
const int kFadeInMs = 150;
const int kFadePollMs = 5;

// Lets a song that is fading out finish its ramp (a little longer than the ramp at most).
void awaitFadeOut() {
    for (int waited = 0; Mix_FadingMusic() == MIX_FADING_OUT && waited < kFadeOutMs + 40;
         waited += kFadePollMs)
        SDL_Delay(kFadePollMs);
}

bool contains(const char* text, const char* word) {
    return text && std::strstr(text, word) != nullptr;
}

// The text of a failed load of file, judged from the file itself and the mixer's own message.
const char* loadErrorText(const char* file) {
    FILE* f = std::fopen(file, "rb");
    if (!f) return "File not found";
    std::fclose(f);
    const char* why = Mix_GetError();
    if (contains(why, "memory")) return "Not enough memory ";
    if (contains(why, "format") || contains(why, "Unrecognized") || contains(why, "Unsupported"))
        return "Unknown file format";
    return "Error loading file";
}

void printError(const char* text) {
    std::fprintf(stderr, "ERROR: %s\n", text);
}

} // namespace

Sound::~Sound() {
    shutdown();
}

void Sound::init() {
    if (initialised_) return;
    ownsAudio_ = 0;
    // Ctrl-C and kill end the client as they end any console program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            printError(kDeviceError);
            return;
        }
        ownsAudio_ = 1;
    }
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
        printError(kDeviceError);
        if (ownsAudio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        ownsAudio_ = 0;
        return;
    }
    Mix_AllocateChannels(32);
    for (int i = 0; i < 2; ++i) {
        songs_[i] = Mix_LoadMUS(kSongFiles[i]);
        if (!songs_[i]) printError(loadErrorText(kSongFiles[i]));
    }
    Mix_VolumeMusic(MIX_MAX_VOLUME * 3 / 5);
    for (int i = 0; i < 7; ++i) {
        samples_[i] = Mix_LoadWAV(kSampleFiles[i]);
        if (!samples_[i]) printError(loadErrorText(kSampleFiles[i]));
    }
    playing_ = 0;
    initialised_ = 1;
}

void Sound::shutdown() {
    if (!initialised_) return;
    initialised_ = 0;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    playing_ = 0;
    for (Mix_Music*& song : songs_) {
        if (song) Mix_FreeMusic(song);
        song = nullptr;
    }
    for (Mix_Chunk*& sample : samples_) {
        if (sample) Mix_FreeChunk(sample);
        sample = nullptr;
    }
    Mix_CloseAudio();
    if (ownsAudio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    ownsAudio_ = 0;
}

void Sound::playMusic(int n) {
    if (!initialised_ || n < 1 || n > 2 || !songs_[n - 1]) return;
    if (Mix_PlayingMusic() && Mix_FadingMusic() != MIX_FADING_OUT) Mix_FadeOutMusic(kFadeOutMs);
    awaitFadeOut();
    if (Mix_FadeInMusic(songs_[n - 1], -1, kFadeInMs) == 0) playing_ = n;
}

void Sound::stopMusic(int n) {
    if (!initialised_ || n < 1 || n > 2 || playing_ != n) return;
    Mix_FadeOutMusic(kFadeOutMs);
    playing_ = 0;
}

void Sound::playSample(int n) {
    if (!initialised_ || n < 1 || n > 7 || !samples_[n - 1]) return;
    Mix_PlayChannel(-1, samples_[n - 1], 0);
}

void soundPlaySample(int n) {
    if (gSound) gSound->playSample(n);
}

void soundPlayMusic(int n) {
    if (gSound) gSound->playMusic(n);
}

void soundStopMusic(int n) {
    if (gSound) gSound->stopMusic(n);
}
