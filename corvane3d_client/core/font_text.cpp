#include "font_text.h"

#include <cstring>

const char* const kFontCharset = "ABCDEFGHIJKLMNOPQRSTUVWXYZ?:+-0123456789.,!()] ";

bool isFontText(char c) {
    return c != '\0' && c != ']' && std::strchr(kFontCharset, c) != nullptr;
}

void toFontText(const char* text, char* out, size_t size) {
    if (size == 0) return;
    size_t n = 0;
    for (const char* p = text ? text : ""; *p && n + 1 < size; ++p) {
        char c = *p;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == '_' || c == '/') c = '-';
        if (c == '\t') c = ' ';
        if (isFontText(c)) out[n++] = c;
    }
    out[n] = '\0';
}

void toPrintable(const char* text, char* out, size_t size) {
    if (size == 0) return;
    size_t n = 0;
    for (const char* p = text ? text : ""; *p && n + 1 < size; ++p)
        if (*p >= 0x20 && *p <= 0x7E) out[n++] = *p;
    out[n] = '\0';
}
