#include <gtest/gtest.h>

#include "png_read.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using assets::dataPath;

namespace {

const char* const kSamples[] = {"explode.wav",  "type.wav",     "whoosh.wav", "itempickup.wav",
                                "carbrake.wav", "caraccel.wav", "camera.wav"};
const char* const kModules[] = {"sound.s3m", "intro.s3m"};

const int kRate = 44100;

bool openAudio(const char* driver) {
    setenv("SDL_AUDIODRIVER", driver, 1);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    return Mix_OpenAudio(kRate, AUDIO_S16SYS, 2, 1024) == 0;
}

void closeAudio() {
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

struct Level {
    double seconds = 0, rms = 0;
    int peak = 0;
};

Level measure(const int16_t* s, size_t count) {
    Level l;
    double sq = 0;
    for (size_t i = 0; i < count; ++i) {
        sq += static_cast<double>(s[i]) * s[i];
        l.peak = std::max(l.peak, std::abs(static_cast<int>(s[i])));
    }
    l.rms = count ? std::sqrt(sq / count) : 0;
    l.seconds = static_cast<double>(count) / (2.0 * kRate);
    return l;
}

long fileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// Plays a module through SDL's disk audio driver until `seconds` of output exist, then returns the
// PCM bytes written (16-bit stereo at kRate).
std::vector<int16_t> renderThroughDisk(const char* module, double seconds) {
    char path[] = "/tmp/corvane_musicXXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    setenv("SDL_DISKAUDIOFILE", path, 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    std::vector<int16_t> pcm;
    if (openAudio("disk")) {
        Mix_Music* music = Mix_LoadMUS(dataPath(module).c_str());
        long silence = 0;
        if (music && Mix_PlayMusic(music, -1) == 0) {
            // The device writes silence from the moment it opens: count from where the song starts.
            silence = fileSize(path);
            long want = silence + static_cast<long>(seconds * kRate) * 4;
            for (int i = 0; i < 20000 && fileSize(path) < want; ++i)
                SDL_Delay(1);
            Mix_HaltMusic();
        }
        if (music) Mix_FreeMusic(music);
        closeAudio();
        long size = fileSize(path);
        FILE* f = std::fopen(path, "rb");
        if (f && size > 0) {
            pcm.resize(static_cast<size_t>(size) / 2);
            pcm.resize(std::fread(pcm.data(), 2, pcm.size(), f));
            size_t start = std::min(pcm.size(), static_cast<size_t>(silence / 2));
            while (start < pcm.size() && pcm[start] == 0)
                ++start;
            pcm.erase(pcm.begin(), pcm.begin() + static_cast<long>(start));
        }
        if (f) std::fclose(f);
    }
    unlink(path);
    return pcm;
}

class Mixer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(openAudio("dummy")) << Mix_GetError(); }
    void TearDown() override { closeAudio(); }
};

} // namespace

TEST_F(Mixer, EverySampleLoadsIsAudibleAndShorterThanThreeSeconds) {
    for (const char* name : kSamples) {
        Mix_Chunk* chunk = Mix_LoadWAV(dataPath(name).c_str());
        ASSERT_NE(chunk, nullptr) << name << ": " << Mix_GetError();
        Level l = measure(reinterpret_cast<const int16_t*>(chunk->abuf), chunk->alen / 2);
        EXPECT_LT(l.seconds, 3.0) << name;
        EXPECT_GT(l.seconds, 0.03) << name;
        EXPECT_GT(l.peak, 8000) << name;
        EXPECT_GT(l.rms, 800) << name;
        Mix_FreeChunk(chunk);
    }
}

TEST_F(Mixer, ExplosionIsLongerAndLouderThanTheKeyClickAndDiesAway) {
    Mix_Chunk* boom = Mix_LoadWAV(dataPath("explode.wav").c_str());
    Mix_Chunk* click = Mix_LoadWAV(dataPath("type.wav").c_str());
    ASSERT_TRUE(boom && click);
    Level b = measure(reinterpret_cast<const int16_t*>(boom->abuf), boom->alen / 2);
    Level c = measure(reinterpret_cast<const int16_t*>(click->abuf), click->alen / 2);
    EXPECT_GT(b.seconds, 1.0);
    EXPECT_LT(c.seconds, 0.2);
    EXPECT_GT(b.rms * b.seconds, c.rms * c.seconds * 10);
    const int16_t* pcm = reinterpret_cast<const int16_t*>(boom->abuf);
    size_t quarter = static_cast<size_t>(kRate / 4) * 2;
    Level head = measure(pcm, quarter);
    Level tail = measure(pcm + boom->alen / 2 - quarter, quarter);
    EXPECT_GT(head.rms, tail.rms * 6) << "the explosion does not die away";
    Mix_FreeChunk(boom);
    Mix_FreeChunk(click);
}

TEST_F(Mixer, BothModulesLoadAsTrackerMusicOfAMinuteOrMore) {
    for (const char* name : kModules) {
        Mix_Music* music = Mix_LoadMUS(dataPath(name).c_str());
        ASSERT_NE(music, nullptr) << name << ": " << Mix_GetError();
        EXPECT_EQ(Mix_GetMusicType(music), MUS_MOD) << name;
        EXPECT_GE(Mix_MusicDuration(music), 60.0) << name;
        EXPECT_LE(Mix_MusicDuration(music), 240.0) << name;
        Mix_FreeMusic(music);
    }
}

TEST(ModulePlayback, BothModulesSoundThroughTheMixerWithoutGapsOrClipping) {
    for (const char* name : kModules) {
        std::vector<int16_t> pcm = renderThroughDisk(name, 4.0);
        ASSERT_GE(pcm.size(), static_cast<size_t>(4 * kRate * 2)) << name;
        Level whole = measure(pcm.data(), 4 * kRate * 2);
        EXPECT_GT(whole.rms, 1000) << name;
        EXPECT_LT(whole.peak, 32767) << name;
        for (int second = 0; second < 4; ++second) {
            Level l = measure(pcm.data() + second * kRate * 2, kRate * 2);
            EXPECT_GT(l.rms, 300) << name << " second " << second;
        }
    }
}
