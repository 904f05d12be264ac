#include "audio.h"
#include "s3m.h"
#include "synth.h"

#include <cmath>
#include <cstdio>

namespace {

const float kTwoPi = 6.2831853f;
const float kMiddleC = 261.6256f;
const int kDrumRate = 22050;

// --- instruments -----------------------------------------------------------------------------

enum Instrument { kKick = 1, kSnare, kHatClosed, kHatOpen, kBass, kLead, kPad, kBell, kFlute };

// Playback rate of C-4 for a tone whose waveform period is period samples and whose C-4 should
// sound as the C of the given octave (4 = middle C).
uint32_t toneRate(int period, int octave) {
    return static_cast<uint32_t>(std::lround(kMiddleC * period * std::pow(2.0f, octave - 4.0f)));
}

S3mSample fromWave(const char* name, const Wave& w, uint32_t rate, uint32_t loopStart,
                   uint32_t loopEnd) {
    S3mSample s;
    s.name = name;
    s.c2spd = rate;
    s.loopStart = loopStart;
    s.loopEnd = loopEnd;
    s.data.reserve(w.size());
    for (float v : w) {
        long q = std::lround(v * 32767.0f);
        s.data.push_back(static_cast<int16_t>(q > 32767 ? 32767 : (q < -32767 ? -32767 : q)));
    }
    return s;
}

S3mSample kick() {
    Rng rng(1);
    Wave w(static_cast<size_t>(0.42f * kDrumRate));
    Svf hp;
    float phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kDrumRate;
        phase += kTwoPi * (46 + 130 * std::exp(-t / 0.04f)) / kDrumRate;
        hp.step(rng.range(-1, 1), 3000, 0.7f, kDrumRate);
        w[i] = std::sin(phase) * std::exp(-t / 0.2f) + hp.high() * 0.4f * std::exp(-t / 0.003f);
    }
    saturate(w, 1.5f);
    fadeOut(w, 400);
    normalise(w, 0.95f);
    return fromWave("kick", w, kDrumRate, 0, 0);
}

S3mSample snare() {
    Rng rng(2);
    Wave w(static_cast<size_t>(0.3f * kDrumRate));
    Svf bp;
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kDrumRate;
        bp.step(rng.range(-1, 1), 4200, 0.6f, kDrumRate);
        w[i] = bp.band() * 1.4f * std::exp(-t / 0.075f) +
               (std::sin(kTwoPi * 185 * t) + 0.5f * std::sin(kTwoPi * 330 * t)) * 0.6f *
                   std::exp(-t / 0.04f);
    }
    fadeOut(w, 500);
    normalise(w, 0.9f);
    return fromWave("snare", w, kDrumRate, 0, 0);
}

S3mSample hat(bool open) {
    Rng rng(open ? 4 : 3);
    Wave w(static_cast<size_t>((open ? 0.35f : 0.07f) * kDrumRate));
    Svf hp, hp2;
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / kDrumRate;
        hp.step(rng.range(-1, 1), 6500, 0.8f, kDrumRate);
        hp2.step(hp.high(), 7500, 0.8f, kDrumRate);
        w[i] = hp2.high() * std::exp(-t / (open ? 0.11f : 0.016f));
    }
    fadeOut(w, 200);
    normalise(w, 0.8f);
    return fromWave(open ? "hat open" : "hat closed", w, kDrumRate, 0, 0);
}

// Plucked bass, C-4 sounds C2; harmonics die faster the higher they are.
S3mSample bass() {
    const int period = 256;
    uint32_t rate = toneRate(period, 2);
    Wave w(static_cast<size_t>(1.4f * rate));
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / rate;
        float x = static_cast<float>(i) / period;
        float s = 0;
        for (int h = 1; h <= 40; ++h) {
            float a = (h % 2 ? 1.0f : 0.6f) / h * std::exp(-t * (1.2f + 0.55f * h));
            s += a * std::sin(kTwoPi * h * x);
        }
        s += 0.7f * std::sin(kTwoPi * x) * std::exp(-t * 1.0f);
        w[i] = s * std::fmin(1.0f, t / 0.003f);
    }
    fadeOut(w, 2000);
    normalise(w, 0.9f);
    return fromWave("bass", w, rate, 0, 0);
}

// A sustained tone: a short attack, then a seamless loop of `cycles` periods. amp(h, t) gives the
// amplitude of harmonic h at time t; it must not change once t reaches the attack time.
template <typename Amp>
S3mSample sustained(const char* name, int period, int octave, int cycles, float attack, int detune,
                    float detuneGain, Amp amp) {
    uint32_t rate = toneRate(period, octave);
    size_t loopLen = static_cast<size_t>(period) * cycles;
    size_t attackLen = (static_cast<size_t>(attack * rate) / period + 1) * period;
    Wave w(attackLen + loopLen);
    int maxH = period / 2 - 1;
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / rate;
        float s = 0;
        for (int h = 1; h <= maxH; ++h) {
            float a = amp(h, std::fmin(t, attack));
            if (a == 0) continue;
            double base = static_cast<double>(h) * cycles * i / loopLen;
            s += a * static_cast<float>(std::sin(kTwoPi * std::fmod(base, 1.0)));
            if (detune != 0 && h * (cycles + detune) < static_cast<int>(loopLen) / 2) {
                double d = static_cast<double>(h) * (cycles + detune) * i / loopLen;
                s += a * detuneGain *
                     static_cast<float>(std::sin(kTwoPi * std::fmod(d + 0.37 * h, 1.0)));
                double e = static_cast<double>(h) * (cycles - detune) * i / loopLen;
                s += a * detuneGain *
                     static_cast<float>(std::sin(kTwoPi * std::fmod(e + 0.71 * h, 1.0)));
            }
        }
        w[i] = s;
    }
    normalise(w, 0.9f);
    return fromWave(name, w, rate, static_cast<uint32_t>(attackLen),
                    static_cast<uint32_t>(attackLen + loopLen));
}

S3mSample lead() {
    const float f0 = kMiddleC * 2;
    return sustained("lead", 64, 5, 128, 0.06f, 1, 0.5f, [&](int h, float t) {
        float rolloff = 1.0f / (1 + std::pow(h * f0 / 2600.0f, 2.0f));
        float bright = h > 1 ? 1 + 1.5f * std::pow(1 - t / 0.06f, 2.0f) : 1;
        float attackAmp = 0.3f + 0.7f * std::fmin(1.0f, t / 0.015f);
        return (h % 2 ? 1.0f : 0.5f) / h * rolloff * bright * attackAmp;
    });
}

S3mSample pad() {
    const float f0 = kMiddleC;
    return sustained("pad", 64, 4, 256, 0.4f, 1, 0.8f, [&](int h, float t) {
        float rolloff = 1.0f / (1 + std::pow(h * f0 / 1500.0f, 3.0f));
        float swell = std::sin(1.5707963f * t / 0.4f);
        return swell * swell / h * rolloff;
    });
}

S3mSample flute() {
    const float f0 = kMiddleC * 2;
    return sustained("flute", 64, 5, 128, 0.09f, 1, 0.25f, [&](int h, float t) {
        float env = std::sin(1.5707963f * t / 0.09f);
        const float partials[5] = {1.0f, 0.32f, 0.14f, 0.05f, 0.02f};
        if (h > 5) return 0.0f;
        (void)f0;
        return partials[h - 1] * env;
    });
}

S3mSample bell() {
    const int period = 64;
    uint32_t rate = toneRate(period, 5);
    Wave w(static_cast<size_t>(1.3f * rate));
    const float ratio[5] = {1, 2, 3, 4.07f, 5.43f};
    const float gain[5] = {1, 0.45f, 0.2f, 0.25f, 0.12f};
    const float decay[5] = {0.55f, 0.3f, 0.18f, 0.09f, 0.05f};
    for (size_t i = 0; i < w.size(); ++i) {
        float t = static_cast<float>(i) / rate;
        float x = static_cast<float>(i) / period;
        float s = 0;
        for (int p = 0; p < 5; ++p)
            s += gain[p] * std::exp(-t / decay[p]) * std::sin(kTwoPi * ratio[p] * x);
        w[i] = s * std::fmin(1.0f, t / 0.002f);
    }
    fadeOut(w, 3000);
    normalise(w, 0.9f);
    return fromWave("bell", w, rate, 0, 0);
}

// --- composition ---------------------------------------------------------------------------------

struct Chord {
    int root; // pitch class
    bool minor;
};

struct Section {
    Chord chords[4];
    int drums; // 0 none, 1 light, 2 full
    int bass;  // 0 none, 1 eighths, 2 half notes
    bool pad;
    bool arp;
    int melody;  // 0 none, otherwise the phrase seed
    int variant; // 0 open ending, 1 closed ending
    bool fill;
    bool end; // jump back to the first order after this pattern
};

struct SongStyle {
    const int* scale; // seven pitch classes
    int leadInstrument, leadOctave;
    const int (*rhythms)[8]; // onset rows in a bar, -1 terminated
    int rhythmCount;
    int leadVolume;
};

enum Channel { kChKick, kChSnare, kChHat, kChBass, kChLead, kChPad1, kChPad2, kChPad3, kChArp };
const int kChannels = 9;

// Written S3M note so that an instrument whose C-4 sounds octave `home` plays MIDI key midi.
uint8_t written(int midi, int home) {
    return s3mNote(midi + 12 * (4 - home));
}

void setNote(S3mPattern& p, int row, int ch, int midi, int ins, int home, int vol) {
    S3mCell& c = p.cells[row][ch];
    c.note = written(midi, home);
    c.ins = static_cast<uint8_t>(ins);
    c.vol = static_cast<uint8_t>(vol);
}

void noteOff(S3mPattern& p, int row, int ch) {
    if (p.cells[row][ch].note == 255) p.cells[row][ch].note = 254;
}

int chordTone(const Chord& c, int k) {
    int third = c.minor ? 3 : 4;
    const int offsets[3] = {0, third, 7};
    return (c.root + offsets[k % 3]) % 12;
}

// Puts pitch class pc into [lo, lo + 12).
int place(int pc, int lo) {
    int m = lo + ((pc - lo) % 12 + 12) % 12;
    return m;
}

bool inSet(const int* set, int n, int pc) {
    for (int i = 0; i < n; ++i)
        if (set[i] == pc) return true;
    return false;
}

// The song's scale bent so that every tone of the chord belongs to it.
void barScale(const SongStyle& st, const Chord& c, int out[7]) {
    for (int i = 0; i < 7; ++i)
        out[i] = st.scale[i];
    for (int k = 0; k < 3; ++k) {
        int pc = chordTone(c, k);
        if (inSet(out, 7, pc)) continue;
        for (int i = 0; i < 7; ++i)
            if ((out[i] + 1) % 12 == pc) out[i] = pc;
    }
}

// Nearest key to `from`, moving `steps` scale degrees (negative: down) within the bar's scale.
int scaleStep(int from, int steps, const int scale[7]) {
    int m = from;
    int dir = steps > 0 ? 1 : -1;
    for (int s = 0; s != steps; s += dir) {
        do {
            m += dir;
        } while (!inSet(scale, 7, ((m % 12) + 12) % 12));
    }
    return m;
}

int nearestChordTone(int from, const Chord& c, Rng& rng) {
    int best = from, bestScore = 1000;
    for (int m = from - 6; m <= from + 6; ++m) {
        int pc = ((m % 12) + 12) % 12;
        bool tone = pc == chordTone(c, 0) || pc == chordTone(c, 1) || pc == chordTone(c, 2);
        if (!tone) continue;
        int score = std::abs(m - from) * 2 + rng.below(5);
        if (score < bestScore) best = m, bestScore = score;
    }
    return best;
}

void writeMelody(S3mPattern& p, const Section& sec, const SongStyle& st) {
    Rng phrase(static_cast<uint64_t>(sec.melody) * 7919u);
    int rA = phrase.below(st.rhythmCount), rB = phrase.below(st.rhythmCount);
    int pitch = place(chordTone(sec.chords[0], phrase.below(3)), 67);
    Rng motif(static_cast<uint64_t>(sec.melody) * 104729u + static_cast<uint64_t>(sec.variant));
    Rng barRng = motif;
    int lastRow = -1;
    for (int bar = 0; bar < 4; ++bar) {
        const Chord& chord = sec.chords[bar];
        int scale[7];
        barScale(st, chord, scale);
        if (bar == 2) barRng = motif; // the third bar echoes the first one's contour
        Rng& rng = (bar == 0 || bar == 2) ? barRng : phrase;
        const int* rhythm = st.rhythms[bar == 1 ? rB : rA];
        bool cadence = bar == 3;
        const int cadenceRhythm[4] = {0, 4, 8, -1};
        if (cadence) rhythm = cadenceRhythm;
        for (int k = 0; k < 8 && rhythm[k] >= 0; ++k) {
            int row = bar * 16 + rhythm[k];
            bool strong = rhythm[k] % 8 == 0;
            if (cadence && rhythm[k + 1] < 0) {
                int target =
                    sec.variant ? chordTone(chord, 0) : chordTone(chord, 1 + phrase.below(2));
                pitch = place(target, pitch - 5);
            } else if (strong) {
                pitch = nearestChordTone(pitch, chord, rng);
            } else {
                int step = 1 + (rng.below(3) == 0 ? 1 : 0);
                int dir = rng.below(2) ? 1 : -1;
                if (pitch > 81) dir = -1;
                if (pitch < 69) dir = 1;
                pitch = scaleStep(pitch, dir * step, scale);
            }
            if (pitch > 83) pitch -= 12;
            if (pitch < 60) pitch += 12;
            setNote(p, row, kChLead, pitch, st.leadInstrument, st.leadOctave,
                    strong ? st.leadVolume : st.leadVolume - 8);
            lastRow = row;
        }
    }
    if (lastRow >= 0) noteOff(p, 62, kChLead);
}

S3mPattern buildPattern(const Section& sec, const SongStyle& st) {
    S3mPattern p;
    for (int bar = 0; bar < 4; ++bar) {
        const Chord& c = sec.chords[bar];
        int r0 = bar * 16;
        bool fillBar = sec.fill && bar == 3;
        if (sec.drums == 2) {
            for (int b = 0; b < 4; ++b)
                setNote(p, r0 + 4 * b, kChKick, 60, kKick, 4, 64);
            if (bar % 2 == 1 && !fillBar) setNote(p, r0 + 14, kChKick, 60, kKick, 4, 44);
            setNote(p, r0 + 4, kChSnare, 60, kSnare, 4, 50);
            setNote(p, r0 + 12, kChSnare, 60, kSnare, 4, 50);
            for (int r = 0; r < 16; r += 2)
                setNote(p, r0 + r, kChHat, 60, r == 14 ? kHatOpen : kHatClosed, 4,
                        r % 4 == 0 ? 34 : 24);
        } else if (sec.drums == 1) {
            setNote(p, r0, kChKick, 60, kKick, 4, 56);
            setNote(p, r0 + 10, kChKick, 60, kKick, 4, 40);
            setNote(p, r0 + 8, kChSnare, 60, kSnare, 4, 34);
            for (int r = 0; r < 16; r += 4)
                setNote(p, r0 + r, kChHat, 60, kHatClosed, 4, 22);
        }
        if (fillBar && sec.drums > 0) {
            const int rows[6] = {8, 10, 12, 13, 14, 15};
            for (int i = 0; i < 6; ++i)
                setNote(p, r0 + rows[i], kChSnare, 60, kSnare, 4, 30 + i * 6);
        }
        int root = place(c.root, 36);
        if (sec.bass == 1) {
            const int offsets[8] = {0, 0, 12, 0, 0, 7, 12, 0};
            for (int e = 0; e < 8; ++e)
                setNote(p, r0 + 2 * e, kChBass, root + offsets[e], kBass, 2, e % 2 ? 40 : 54);
        } else if (sec.bass == 2) {
            setNote(p, r0, kChBass, root, kBass, 2, 56);
            setNote(p, r0 + 8, kChBass, root + 7, kBass, 2, 44);
            setNote(p, r0 + 12, kChBass, root + 12, kBass, 2, 36);
        }
        if (sec.pad) {
            for (int k = 0; k < 3; ++k)
                setNote(p, r0, kChPad1 + k, place(chordTone(c, k), 55), kPad, 4, 24);
        }
        if (sec.arp) {
            const int order[8] = {0, 1, 2, 3, 4, 5, 4, 2};
            for (int e = 0; e < 8; ++e) {
                int k = order[e];
                int m = place(chordTone(c, k % 3), 67) + (k >= 3 ? 12 : 0);
                setNote(p, r0 + 2 * e, kChArp, m, kBell, 5, e == 0 ? 30 : 22);
            }
        }
    }
    if (sec.pad)
        for (int k = 0; k < 3; ++k)
            noteOff(p, 63, kChPad1 + k);
    if (sec.melody) writeMelody(p, sec, st);
    if (sec.end) {
        S3mCell& c = p.cells[63][kChKick];
        c.cmd = 2; // B: jump to order
        c.info = 0;
    }
    return p;
}

S3mModule baseModule(const char* name, uint8_t tempo, uint8_t masterVolume) {
    S3mModule m;
    m.name = name;
    m.channels = kChannels;
    m.tempo = tempo;
    m.speed = 6;
    m.masterVolume = masterVolume;
    const uint8_t pans[kChannels] = {7, 8, 10, 7, 9, 3, 12, 6, 4};
    for (int ch = 0; ch < kChannels; ++ch)
        m.pan[ch] = pans[ch];
    m.samples = {kick(), snare(), hat(false), hat(true), bass(), lead(), pad(), bell(), flute()};
    return m;
}

const int kRhythmsGame[5][8] = {{0, 4, 6, 8, 12, -1},
                                {0, 2, 4, 8, 10, 12, 14, -1},
                                {0, 6, 8, 12, -1},
                                {0, 3, 6, 8, 10, 12, -1},
                                {0, 4, 8, 10, 12, 14, -1}};
const int kRhythmsIntro[4][8] = {{0, 8, -1}, {0, 4, 8, -1}, {0, 6, 8, 12, -1}, {0, 8, 12, -1}};

// The in-game song: A minor, 125 beats a minute, ten orders of four bars (about 77 seconds).
S3mModule gameSong() {
    S3mModule m = baseModule("Corvane 3D - Surface Run", 125, 64);
    static const int scale[7] = {9, 11, 0, 2, 4, 5, 7};
    SongStyle st{scale, kLead, 5, kRhythmsGame, 5, 50};
    const Chord am{9, true}, f{5, false}, c{0, false}, g{7, false}, em{4, true}, dm{2, true},
        e{4, false};
    const Section sections[8] = {
        {{am, f, c, g}, 1, 2, true, false, 0, 0, false, false},
        {{am, f, c, g}, 2, 1, true, false, 1, 0, false, false},
        {{am, f, c, g}, 2, 1, true, false, 1, 1, true, false},
        {{f, g, em, am}, 2, 1, true, true, 2, 0, false, false},
        {{dm, g, e, am}, 2, 1, true, true, 2, 1, true, false},
        {{am, f, c, g}, 0, 2, true, true, 0, 0, false, false},
        {{am, f, c, g}, 1, 1, true, true, 3, 0, true, false},
        {{f, g, e, am}, 2, 1, true, true, 2, 1, true, true},
    };
    for (const Section& s : sections)
        m.patterns.push_back(buildPattern(s, st));
    m.orders = {0, 1, 2, 3, 4, 5, 6, 1, 2, 7};
    return m;
}

// The menu song: D minor, 96 beats a minute, calmer, seven orders (about 70 seconds).
S3mModule introSong() {
    S3mModule m = baseModule("Corvane 3D - Orbit", 96, 108);
    static const int scale[7] = {2, 4, 5, 7, 9, 10, 0};
    SongStyle st{scale, kFlute, 5, kRhythmsIntro, 4, 54};
    const Chord dm{2, true}, bb{10, false}, f{5, false}, c{0, false}, gm{7, true}, a{9, false};
    const Section sections[7] = {
        {{dm, bb, f, c}, 0, 0, true, true, 0, 0, false, false},
        {{dm, bb, f, c}, 0, 2, true, true, 0, 0, false, false},
        {{dm, bb, f, c}, 1, 2, true, true, 11, 0, false, false},
        {{gm, bb, c, a}, 1, 2, true, true, 12, 0, false, false},
        {{dm, bb, f, c}, 1, 2, true, true, 11, 1, true, false},
        {{gm, bb, c, a}, 0, 2, true, true, 12, 1, false, false},
        {{dm, bb, f, a}, 0, 2, true, true, 0, 0, false, true},
    };
    for (const Section& s : sections)
        m.patterns.push_back(buildPattern(s, st));
    m.orders = {0, 1, 2, 3, 4, 5, 6};
    return m;
}

int save(const S3mModule& m, const std::string& dir, const char* name) {
    std::vector<uint8_t> bytes = buildS3m(m);
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (ok) return 0;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
}

} // namespace

int writeModules(const std::string& dir) {
    return save(gameSong(), dir, "sound.s3m") + save(introSong(), dir, "intro.s3m");
}
