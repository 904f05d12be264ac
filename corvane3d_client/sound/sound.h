// Samples and music of the client, on SDL2_mixer. Every request is ignored while not initialised.
#pragma once

struct Mix_Chunk;
typedef struct _Mix_Music Mix_Music;

class Sound {
  public:
    Sound() = default;
    // Shuts down.
    ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // Opens the audio device (44100 Hz, 32 channels) and loads both modules and the seven samples;
    // every failure prints one "ERROR: %s" line. Initialised unless the device failed.
    void init();
    // Frees everything and closes the device, if initialised.
    void shutdown();
    // Plays music 1 (game) or 2 (menu), fading it in; a song still playing or fading out is
    // faded out first (waiting at most about 0.1 s). Other numbers do nothing.
    void playMusic(int n);
    // Fades music n out (within 60 ms) if it is the one playing; other numbers do nothing.
    void stopMusic(int n);
    // Plays sample 1..7 on any free channel; other numbers do nothing.
    void playSample(int n);
    int isInitialised() const { return initialised_; }

  private:
    Mix_Music* songs_[2] = {nullptr, nullptr};
    Mix_Chunk* samples_[7] = {};
    int initialised_ = 0;
    int playing_ = 0;
    int ownsAudio_ = 0; // init started SDL's audio subsystem and shutdown stops it again
};

// Platform hooks: forward to gSound when it exists, else do nothing.
void soundPlaySample(int n);
void soundPlayMusic(int n);
void soundStopMusic(int n);
