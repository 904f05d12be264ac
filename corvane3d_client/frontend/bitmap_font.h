// Text in a font picture laid out as a grid of equal glyph cells, drawn as unit squares.
#pragma once

#include <cstdint>

class BitmapFont {
  public:
    // A font of the picture fileName whose cells of cellWidth x cellHeight pixels (gapX, gapY
    // between them, perRow to a row) hold the characters of charset in order. Loads nothing.
    BitmapFont(const char* fileName, const char* charset, int32_t cellWidth, int32_t cellHeight,
               int32_t gapX, int32_t gapY, int32_t perRow);
    // Releases the coordinate table.
    ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Loads the picture and builds the coordinate table: 1 on success, 0 if the picture fails
    // (the table is then not built).
    int load();
    // Binds the font texture to GL_TEXTURE_2D; returns 1.
    int bind() const;
    // Draws the first count characters of text as unit quads, each followed by a translation of
    // (1, 0, 0); a character outside the set leaves a blank unit. Returns 1.
    int drawText(const char* text, int count) const;
    // Frees the coordinate table if there is one; returns 1.
    int release();

    // Fills the coordinate table for a picture of width x height pixels.
    void buildCoordinates(int width, int height);
    // Position of c in the character set (first occurrence), or -1.
    int glyphIndex(char c) const;
    // The eight texture coordinates (bottom-left, bottom-right, top-right, top-left as s, t pairs)
    // of glyph g, or nullptr without a table or for g outside the set.
    const float* glyph(int g) const;
    unsigned texture() const { return texture_; }

  private:
    unsigned texture_ = 0;
    int32_t cellWidth_;
    int32_t cellHeight_;
    int32_t gapX_;
    int32_t gapY_;
    int32_t perRow_;
    const char* charset_;
    const char* fileName_;
    float* coordinates_ = nullptr;
};
