#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "globals.h"
#include "platform.h"
#include "sound.h"
#include "support/media_files.h"

namespace {

const char* const kSamples[7] = {"explode.wav",  "type.wav",     "whoosh.wav", "itempickup.wav",
                                 "carbrake.wav", "caraccel.wav", "camera.wav"};

// The "ERROR:" lines of captured standard error (the disk device announces itself there too).
std::string errorLines(const std::string& captured) {
    std::string out;
    size_t at = 0;
    while (at < captured.size()) {
        size_t end = captured.find('\n', at);
        if (end == std::string::npos) end = captured.size() - 1;
        if (captured.compare(at, 7, "ERROR: ") == 0) out += captured.substr(at, end - at + 1);
        at = end + 1;
    }
    return out;
}

// A data/ folder with both modules and all seven samples: the game's own files where they were
// generated, short tones otherwise (the mixer recognises a WAV by its content whatever its name).
class SoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rawFile_ = dir_.path() + "/out.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", rawFile_.c_str(), 1);
        for (const char* song : {"sound.s3m", "intro.s3m"})
            if (!dir_.fromGameData(song)) testmedia::writeWav(dir_.file(song), 330, 2000);
        for (int i = 0; i < 7; ++i)
            if (!dir_.fromGameData(kSamples[i]))
                testmedia::writeWav(dir_.file(kSamples[i]), 200 + 100 * i, 300);
    }

    // Waits (bounded) until the disk device has written at least bytes, then returns all of it.
    std::vector<int16_t> deviceOutput(size_t bytes) {
        std::vector<int16_t> out;
        for (int i = 0; i < 150; ++i) {
            FILE* f = std::fopen(rawFile_.c_str(), "rb");
            if (f) {
                std::fseek(f, 0, SEEK_END);
                long size = std::ftell(f);
                if (size >= static_cast<long>(bytes)) {
                    std::fseek(f, 0, SEEK_SET);
                    out.resize(static_cast<size_t>(size) / 2);
                    size_t got = std::fread(out.data(), 2, out.size(), f);
                    out.resize(got);
                    std::fclose(f);
                    return out;
                }
                std::fclose(f);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return out;
    }

    // True once the music has stopped, waiting at most ms.
    static bool stopsWithin(int ms) {
        for (int waited = 0; Mix_PlayingMusic() && waited < ms; waited += 5)
            SDL_Delay(5);
        return Mix_PlayingMusic() == 0;
    }

    // The largest step between neighbouring samples of one channel within [from, to).
    static int largestStep(const std::vector<int16_t>& s, size_t from, size_t to) {
        int m = 0;
        for (size_t i = from + 2; i < to && i < s.size(); ++i)
            m = std::max(m, std::abs(s[i] - s[i - 2]));
        return m;
    }

    static int loudest(const std::vector<int16_t>& s) {
        int m = 0;
        for (int16_t v : s)
            m = std::max(m, std::abs(static_cast<int>(v)));
        return m;
    }

    testmedia::ScratchDir dir_;
    std::string rawFile_;
};

TEST_F(SoundTest, NothingHappensWhileNotInitialised) {
    Sound sound;
    EXPECT_EQ(sound.isInitialised(), 0);
    sound.playMusic(1);
    sound.playSample(1);
    sound.stopMusic(1);
    sound.shutdown();
    EXPECT_EQ(sound.isInitialised(), 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST_F(SoundTest, MusicLoopsAudiblyAtThreeFifthsVolume) {
    Sound sound;
    testing::internal::CaptureStderr();
    sound.init();
    EXPECT_EQ(errorLines(testing::internal::GetCapturedStderr()), "");
    ASSERT_EQ(sound.isInitialised(), 1);
    EXPECT_EQ(Mix_VolumeMusic(-1), MIX_MAX_VOLUME * 3 / 5);
    sound.playMusic(kMusicMenu);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_GT(loudest(deviceOutput(44100 * 4 / 2)), 500);

    sound.stopMusic(kMusicGame); // not the one playing
    EXPECT_NE(Mix_FadingMusic(), MIX_FADING_OUT);
    sound.stopMusic(kMusicMenu);
    EXPECT_EQ(Mix_FadingMusic(), MIX_FADING_OUT);
    EXPECT_TRUE(stopsWithin(200));
    sound.shutdown();
}

TEST_F(SoundTest, SamplesTakeFreeChannelsAndOutOfRangeNumbersDoNothing) {
    Sound sound;
    sound.init();
    ASSERT_EQ(sound.isInitialised(), 1);
    EXPECT_EQ(Mix_AllocateChannels(-1), 32);
    sound.playSample(0);
    sound.playSample(8);
    sound.playMusic(0);
    sound.playMusic(3);
    EXPECT_EQ(Mix_Playing(-1), 0);
    EXPECT_EQ(Mix_PlayingMusic(), 0);

    sound.playSample(kSampleExplode);
    sound.playSample(kSampleExplode);
    sound.playSample(kSampleCamera);
    EXPECT_EQ(Mix_Playing(-1), 3);
    EXPECT_GT(loudest(deviceOutput(44100 * 4 / 2)), 500);
    sound.shutdown();
    EXPECT_EQ(sound.isInitialised(), 0);
    sound.playSample(kSampleExplode); // ignored after shutdown
}

TEST_F(SoundTest, MissingMenuMusicPrintsOneLineAndTheRestPlays) {
    std::remove(dir_.file("intro.s3m").c_str());
    Sound sound;
    testing::internal::CaptureStderr();
    sound.init();
    EXPECT_EQ(errorLines(testing::internal::GetCapturedStderr()), "ERROR: File not found\n");
    ASSERT_EQ(sound.isInitialised(), 1);
    sound.playMusic(kMusicMenu);
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    sound.playMusic(kMusicGame);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    sound.playSample(kSampleType);
    EXPECT_EQ(Mix_Playing(-1), 1);
    sound.shutdown();
}

TEST_F(SoundTest, UnreadableFilesNameTheirCause) {
    FILE* f = std::fopen(dir_.file("whoosh.wav").c_str(), "wb");
    std::fputs("this is no sound at all, just a few words of text", f);
    std::fclose(f);
    Sound sound;
    testing::internal::CaptureStderr();
    sound.init();
    EXPECT_EQ(errorLines(testing::internal::GetCapturedStderr()), "ERROR: Unknown file format\n");
    sound.shutdown();
}

TEST_F(SoundTest, ShutdownThenInitReloadsEveryFile) {
    std::remove(dir_.file("intro.s3m").c_str());
    Sound sound;
    testing::internal::CaptureStderr();
    sound.init();
    EXPECT_EQ(errorLines(testing::internal::GetCapturedStderr()), "ERROR: File not found\n");
    sound.shutdown();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    testmedia::writeWav(dir_.file("intro.s3m"), 440, 1000);
    std::remove(dir_.file("camera.wav").c_str());
    testing::internal::CaptureStderr();
    sound.init();
    EXPECT_EQ(errorLines(testing::internal::GetCapturedStderr()), "ERROR: File not found\n");
    sound.playMusic(kMusicMenu);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    sound.playSample(kSampleCamera);
    EXPECT_EQ(Mix_Playing(-1), 0);
}

TEST_F(SoundTest, FailedDeviceLeavesSoundOff) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    Sound sound;
    testing::internal::CaptureStderr();
    sound.init();
    EXPECT_EQ(errorLines(testing::internal::GetCapturedStderr()),
              "ERROR: Error initializing output device.\n");
    EXPECT_EQ(sound.isInitialised(), 0);
    sound.playMusic(kMusicGame);
}

TEST_F(SoundTest, PlatformHooksForwardToTheSoundObject) {
    Sound sound;
    sound.init();
    soundPlaySample(kSampleWhoosh); // gSound not set: nothing
    EXPECT_EQ(Mix_Playing(-1), 0);
    gSound = &sound;
    soundPlaySample(kSampleWhoosh);
    EXPECT_EQ(Mix_Playing(-1), 1);
    soundPlayMusic(kMusicGame);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    soundStopMusic(kMusicGame);
    EXPECT_TRUE(stopsWithin(200));
    gSound = nullptr;
}

TEST_F(SoundTest, AnExplosionOverTheMusicStaysBelowMinusOneDecibel) {
    if (!dir_.fromGameData("explode.wav")) GTEST_SKIP() << "the generated data/ is not built";
    Sound sound;
    sound.init();
    ASSERT_EQ(sound.isInitialised(), 1);
    sound.playMusic(kMusicGame);
    sound.playSample(kSampleExplode);
    std::vector<int16_t> out = deviceOutput(44100 * 4 * 3 / 2);
    sound.shutdown();
    const int minusOneDb = static_cast<int>(32768 * 0.8912509);
    EXPECT_LE(loudest(out), minusOneDb);
}

TEST_F(SoundTest, SwitchingSongsRampsInsteadOfCutting) {
    if (!dir_.fromGameData("sound.s3m")) GTEST_SKIP() << "the generated data/ is not built";
    Sound sound;
    sound.init();
    ASSERT_EQ(sound.isInitialised(), 1);
    sound.playMusic(kMusicMenu);
    std::vector<int16_t> before = deviceOutput(44100 * 4 * 6 / 10);
    // What the game's start does: the menu stops its music, the game starts its own.
    sound.stopMusic(kMusicMenu);
    sound.playMusic(kMusicGame);
    const size_t at = before.size();
    std::vector<int16_t> out = deviceOutput(at * 2 + 44100 * 4 * 6 / 10);
    sound.shutdown();
    const size_t window = 44100 * 2 / 5;
    const int steady =
        std::max(largestStep(out, 0, at - window), largestStep(out, at + window, out.size()));
    // A cut leaves a step as tall as the wave at that instant, about twice the music's own.
    EXPECT_LE(largestStep(out, at - window, at + window), steady * 5 / 4);
}

} // namespace
