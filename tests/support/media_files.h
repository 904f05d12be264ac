// Pictures and samples for tests: a scratch working directory with a data/ folder filled from the
// generated game data where it exists, and small PNG and WAV writers for what is missing.
#pragma once

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace testmedia {

// Writes an 8-bit RGBA PNG of width x height; pixel(x, y, rgba) fills each pixel, y from the top.
inline bool writePng(const std::string& path, int width, int height,
                     const std::function<void(int, int, uint8_t*)>& pixel) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixel(x, y, &row[static_cast<size_t>(x) * 4]);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return true;
}

// Writes a 16-bit mono WAV of a sine tone: frequency Hz, milliseconds long, at 22050 Hz.
inline bool writeWav(const std::string& path, double frequency, int milliseconds) {
    const uint32_t rate = 22050;
    const uint32_t frames = rate * static_cast<uint32_t>(milliseconds) / 1000;
    std::vector<uint8_t> b;
    auto u32 = [&b](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&b](uint16_t v) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    };
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    u32(36 + frames * 2);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    u32(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const double s = std::sin(2 * M_PI * frequency * i / rate);
        u16(static_cast<uint16_t>(static_cast<int16_t>(s * 12000)));
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    std::fclose(f);
    return ok;
}

// The whole content of the file at path; empty when it cannot be read.
inline std::string readText(const std::string& path) {
    std::string text;
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return text;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
        text.append(buf, n);
    std::fclose(in);
    return text;
}

inline bool copyFile(const std::string& from, const std::string& to) {
    FILE* in = std::fopen(from.c_str(), "rb");
    if (!in) return false;
    FILE* out = std::fopen(to.c_str(), "wb");
    if (!out) {
        std::fclose(in);
        return false;
    }
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
        std::fwrite(buf, 1, n, out);
    std::fclose(in);
    std::fclose(out);
    return true;
}

// A fresh directory with an empty data/ folder that becomes the working directory for the
// object's lifetime; the previous working directory is restored and the folder removed after.
class ScratchDir {
  public:
    ScratchDir() {
        char tmpl[] = "/tmp/corvane_test_XXXXXX";
        char* d = mkdtemp(tmpl);
        path_ = d ? d : "/tmp";
        char cwd[4096];
        old_ = getcwd(cwd, sizeof cwd) ? cwd : ".";
        ::mkdir((path_ + "/data").c_str(), 0755);
        if (chdir(path_.c_str()) != 0) std::perror("chdir");
    }
    ~ScratchDir() {
        if (chdir(old_.c_str()) != 0) std::perror("chdir");
        std::string cmd = "rm -rf '" + path_ + "'";
        if (std::system(cmd.c_str()) != 0) std::perror("rm");
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // Copies data/<name> from the generated game data; false if the game data lacks it.
    bool fromGameData(const std::string& name) const {
        return copyFile(std::string(CORVANE_BUILD_DIR) + "/data/" + name, path_ + "/data/" + name);
    }
    std::string file(const std::string& name) const { return path_ + "/data/" + name; }

  private:
    std::string path_;
    std::string old_;
};

} // namespace testmedia
