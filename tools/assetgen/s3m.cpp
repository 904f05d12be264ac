#include "s3m.h"

#include <cstring>

namespace {

void put8(std::vector<uint8_t>& b, size_t at, uint8_t v) {
    b[at] = v;
}
void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = v & 0xff;
    b[at + 1] = v >> 8;
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xffff);
    put16(b, at + 2, v >> 16);
}
void putText(std::vector<uint8_t>& b, size_t at, const std::string& s, size_t max) {
    for (size_t i = 0; i < max && i < s.size(); ++i)
        b[at + i] = static_cast<uint8_t>(s[i]);
}
void align16(std::vector<uint8_t>& b) {
    while (b.size() % 16)
        b.push_back(0);
}

std::vector<uint8_t> packPattern(const S3mPattern& p, int channels) {
    std::vector<uint8_t> out(2, 0);
    for (int r = 0; r < kS3mRows; ++r) {
        for (int ch = 0; ch < channels; ++ch) {
            const S3mCell& c = p.cells[r][ch];
            uint8_t what = static_cast<uint8_t>(ch);
            if (c.note != 255 || c.ins != 0) what |= 32;
            if (c.vol != 255) what |= 64;
            if (c.cmd != 0) what |= 128;
            if (what == ch) continue;
            out.push_back(what);
            if (what & 32) out.push_back(c.note), out.push_back(c.ins);
            if (what & 64) out.push_back(c.vol);
            if (what & 128) out.push_back(c.cmd), out.push_back(c.info);
        }
        out.push_back(0);
    }
    put16(out, 0, static_cast<uint16_t>(out.size()));
    return out;
}

} // namespace

uint8_t s3mNote(int midi) {
    int octave = midi / 12 - 1;
    if (octave < 0) octave = 0;
    if (octave > 7) octave = 7;
    return static_cast<uint8_t>(octave << 4 | (midi % 12));
}

std::vector<uint8_t> buildS3m(const S3mModule& m) {
    size_t ordNum = m.orders.size() + 1;
    if (ordNum % 2) ++ordNum;
    size_t insNum = m.samples.size(), patNum = m.patterns.size();
    std::vector<uint8_t> b(0x60 + ordNum + 2 * insNum + 2 * patNum + 32, 0);
    putText(b, 0, m.name, 27);
    put8(b, 0x1c, 0x1a);
    put8(b, 0x1d, 16);
    put16(b, 0x20, static_cast<uint16_t>(ordNum));
    put16(b, 0x22, static_cast<uint16_t>(insNum));
    put16(b, 0x24, static_cast<uint16_t>(patNum));
    put16(b, 0x26, 0);
    put16(b, 0x28, 0x1320);
    put16(b, 0x2a, 2);
    std::memcpy(&b[0x2c], "SCRM", 4);
    put8(b, 0x30, m.globalVolume);
    put8(b, 0x31, m.speed);
    put8(b, 0x32, m.tempo);
    put8(b, 0x33, static_cast<uint8_t>(0x80 | m.masterVolume));
    put8(b, 0x34, 16);
    put8(b, 0x35, 252);
    for (int ch = 0; ch < 32; ++ch)
        put8(b, 0x40 + ch,
             ch < m.channels ? static_cast<uint8_t>(ch % 2 ? 8 + ch / 2 : ch / 2) : 255);
    for (size_t i = 0; i < ordNum; ++i)
        put8(b, 0x60 + i, i < m.orders.size() ? m.orders[i] : 255);
    size_t insPtrAt = 0x60 + ordNum, patPtrAt = insPtrAt + 2 * insNum;
    size_t panAt = patPtrAt + 2 * patNum;
    for (int ch = 0; ch < 32; ++ch)
        put8(b, panAt + ch, ch < m.channels ? static_cast<uint8_t>(0x20 | (m.pan[ch] & 15)) : 0);

    align16(b);
    std::vector<size_t> insAt(insNum);
    for (size_t i = 0; i < insNum; ++i) {
        insAt[i] = b.size();
        put16(b, insPtrAt + 2 * i, static_cast<uint16_t>(b.size() / 16));
        b.resize(b.size() + 80, 0);
    }
    for (size_t i = 0; i < patNum; ++i) {
        align16(b);
        put16(b, patPtrAt + 2 * i, static_cast<uint16_t>(b.size() / 16));
        std::vector<uint8_t> packed = packPattern(m.patterns[i], m.channels);
        b.insert(b.end(), packed.begin(), packed.end());
    }
    for (size_t i = 0; i < insNum; ++i) {
        const S3mSample& s = m.samples[i];
        align16(b);
        size_t para = b.size() / 16;
        size_t h = insAt[i];
        put8(b, h, 1);
        putText(b, h + 1, s.name, 12);
        put8(b, h + 0x0d, static_cast<uint8_t>(para >> 16));
        put16(b, h + 0x0e, static_cast<uint16_t>(para & 0xffff));
        put32(b, h + 0x10, static_cast<uint32_t>(s.data.size()));
        bool loop = s.loopEnd > s.loopStart;
        put32(b, h + 0x14, loop ? s.loopStart : 0);
        put32(b, h + 0x18, loop ? s.loopEnd : 0);
        put8(b, h + 0x1c, s.volume);
        put8(b, h + 0x1f, static_cast<uint8_t>((loop ? 1 : 0) | 4));
        put32(b, h + 0x20, s.c2spd);
        putText(b, h + 0x30, s.name, 27);
        std::memcpy(&b[h + 0x4c], "SCRS", 4);
        for (int16_t v : s.data) {
            uint16_t u = static_cast<uint16_t>(static_cast<int32_t>(v) + 32768);
            b.push_back(u & 0xff);
            b.push_back(u >> 8);
        }
    }
    align16(b);
    return b;
}
