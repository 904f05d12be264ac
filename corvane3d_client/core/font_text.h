// Texts shown on screen are drawn with the menu's bitmap font, which knows upper-case letters,
// digits, a few signs and the space; whatever else a player or a server sends is mapped or dropped.
#pragma once

#include <cstddef>

// The font's characters in picture order; the last visible one, "]", is the text cursor.
extern const char* const kFontCharset;

// True when c is a character the font draws as text (the cursor glyph is not text).
bool isFontText(char c);
// Copies text into out (size bytes, always NUL-terminated when size > 0): letters upper-cased,
// '_' and '/' shown as '-', tabs as spaces, other characters outside the font dropped.
void toFontText(const char* text, char* out, size_t size);
// Copies text into out keeping only printable ASCII (0x20 to 0x7E), for the console.
void toPrintable(const char* text, char* out, size_t size);
