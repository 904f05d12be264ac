// Reads a PNG file through libpng into 8-bit RGBA, remembering the file's own channel count.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace assets {

struct Picture {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> rgba;
    uint8_t alpha(int x, int y) const { return rgba[(static_cast<size_t>(y) * width + x) * 4 + 3]; }
    const uint8_t* pixel(int x, int y) const {
        return &rgba[(static_cast<size_t>(y) * width + x) * 4];
    }
};

inline bool readPng(const std::string& path, Picture& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    out.channels = png_get_channels(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    out.rgba.assign(static_cast<size_t>(out.width) * out.height * 4, 0);
    std::vector<png_bytep> rows(out.height);
    for (int y = 0; y < out.height; ++y)
        rows[y] = &out.rgba[static_cast<size_t>(y) * out.width * 4];
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

inline std::string dataPath(const std::string& name) {
    return std::string(CORVANE_BUILD_DIR) + "/data/" + name;
}

} // namespace assets
