// PNG files straight into OpenGL textures, on libpng.
#pragma once

// Mipmap argument of pngBind.
#define PNG_NOMIPMAPS 0
// Transparency arguments of pngBind: opaque pixels, or the picture's own alpha channel.
#define PNG_SOLID -1
#define PNG_ALPHA -2

struct pngInfo {
    unsigned int Width;
    unsigned int Height;
    unsigned int Depth; // bits per pixel of the file
    unsigned int Alpha; // 1 when the file carries alpha (channel or tRNS)
};

// With 1, the picture's top row lands at t = 1 (OpenGL's standard); with 0, at t = 0.
void pngSetStandardOrientation(int standardOrientation);

// Loads filename into a new 2D texture (RGB for PNG_SOLID, RGBA for PNG_ALPHA) with the given
// wrap and filters, no mipmaps, and fills info when it is not null. Accepts grey, grey+alpha,
// palette (with tRNS), RGB and RGBA files of 1 to 16 bits, interlaced or not. Returns the texture
// name, or 0 for a missing, truncated or non-PNG file, leaving no texture object behind.
unsigned int pngBind(const char* filename, int mipmap, int trans, pngInfo* info, int wrapst,
                     int minfilter, int magfilter);
