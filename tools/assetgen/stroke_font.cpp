#include "stroke_font.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const kFontCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ?:+-0123456789.,!()] ";

namespace {

struct GlyphPath {
    char c;
    const char* path;
};

// M x y: start a line; L x y: line to; A cx cy rx ry a0 a1: arc (degrees, counter-clockwise on
// screen for a1 > a0) continuing the line; D x y: dot; R x0 y0 x1 y1: filled rectangle.
const GlyphPath kGlyphs[] = {
    {'A', "M0 12 L4 0 L8 12 M1.5 8 L6.5 8"},
    {'B', "M0 6 L0 0 L4.2 0 A4.2 3 3.2 3 90 -90 L0 6 L4.6 6 A4.6 9 3.4 3 90 -90 L0 12 L0 6"},
    {'C', "A4.3 6 4.3 6 48 312"},
    {'D', "M0 0 L0 12 L3 12 A3 6 5 6 -90 90 L0 0"},
    {'E', "M8 0 L0 0 L0 12 L8 12 M0 6 L6 6"},
    {'F', "M8 0 L0 0 L0 12 M0 6 L6 6"},
    {'G', "A4.3 6 4.3 6 48 350 L8.4 12 M4.6 7 L8.4 7"},
    {'H', "M0 0 L0 12 M8 0 L8 12 M0 6 L8 6"},
    {'I', "M4 0 L4 12 M1.5 0 L6.5 0 M1.5 12 L6.5 12"},
    {'J', "M3 0 L8 0 L8 8 A4 8 4 4 0 -180"},
    {'K', "M0 0 L0 12 M8 0 L0 7.5 M2.8 5.2 L8 12"},
    {'L', "M0 0 L0 12 L8 12"},
    {'M', "M0 12 L0 0 L4 7 L8 0 L8 12"},
    {'N', "M0 12 L0 0 L8 12 L8 0"},
    {'O', "A4 6 4 6 0 360"},
    {'P', "M0 12 L0 0 L4.5 0 A4.5 3.3 3.5 3.3 90 -90 L0 6.6"},
    {'Q', "A4 6 4 6 0 360 M4.6 8.4 L8.2 12.2"},
    {'R', "M0 12 L0 0 L4.5 0 A4.5 3.3 3.5 3.3 90 -90 L0 6.6 M4 6.6 L8 12"},
    {'S', "A4 3 3.8 3 20 270 A4 9 4 3 90 -160"},
    {'T', "M0 0 L8 0 M4 0 L4 12"},
    {'U', "M0 0 L0 8 A4 8 4 4 180 360 L8 0"},
    {'V', "M0 0 L4 12 L8 0"},
    {'W', "M0 0 L1.8 12 L4 4 L6.2 12 L8 0"},
    {'X', "M0 0 L8 12 M8 0 L0 12"},
    {'Y', "M0 0 L4 6 L8 0 M4 6 L4 12"},
    {'Z', "M0 0 L8 0 L0 12 L8 12"},
    {'?', "A4 3.6 3.8 3.6 160 -40 L4 7.6 L4 8.4 D4 11.6"},
    {':', "D4 3.5 D4 10"},
    {'+', "M4 3 L4 11 M0 7 L8 7"},
    {'-', "M1 6.5 L7 6.5"},
    {'0', "A4 6 3.7 6 0 360 M6.5 1.6 L1.5 10.4"},
    {'1', "M1.4 2.6 L4.6 0 L4.6 12 M1.4 12 L7.6 12"},
    {'2', "A4 3.7 3.8 3.7 160 -30 L0 12 L8 12"},
    {'3', "A4 3 3.6 3 150 -90 A4 9 4 3 90 -150"},
    {'4', "M6 12 L6 0 L0 8.5 L8.2 8.5"},
    {'5', "M7.6 0 L1 0 L0.5 5.4 A4 8.2 3.9 3.8 130 -145"},
    {'6', "A4 8.2 3.9 3.8 0 360 M0.1 8.2 A7 8.2 6.9 8.2 180 112"},
    {'7', "M0 0 L8 0 L3 12"},
    {'8', "A4 3 3.3 3 0 360 M4 6 A4 9 4 3 90 450"},
    {'9', "A4 3.8 3.9 3.8 0 360 M7.9 3.8 A1 3.8 6.9 8.2 0 -68"},
    {'.', "D4 11.5"},
    {',', "M4.6 10 L3.2 12.6"},
    {'!', "M4 0 L4 8 D4 11.6"},
    {'(', "A9 6 6 7.32 125 235"},
    {')', "A-1 6 6 7.32 55 -55"},
    {']', "R1.6 -0.2 6.4 12.2"},
};

const char* glyphPath(char c) {
    for (const GlyphPath& g : kGlyphs)
        if (g.c == c) return g.path;
    return nullptr;
}

} // namespace

void TextShape::extend(float x, float y) {
    x0_ = std::fmin(x0_, x), y0_ = std::fmin(y0_, y);
    x1_ = std::fmax(x1_, x), y1_ = std::fmax(y1_, y);
}

void TextShape::addText(const char* text, float x, float y, float w, float h, float advance) {
    float sx = w / 8.0f, sy = h / 12.0f;
    for (size_t i = 0; text[i]; ++i, x += advance) {
        const char* p = glyphPath(text[i]);
        if (!p) continue;
        auto map = [&](float gx, float gy) { return Point{x + gx * sx, y + gy * sy}; };
        bool have = false;
        Point cur{0, 0};
        auto lineTo = [&](Point q) {
            if (have) segments_.push_back({cur, q});
            extend(q.x, q.y);
            cur = q;
            have = true;
        };
        const char* s = p;
        while (*s) {
            char op = *s++;
            if (op == ' ') continue;
            float v[6] = {0, 0, 0, 0, 0, 0};
            int n = op == 'A' ? 6 : (op == 'R' ? 4 : 2);
            for (int k = 0; k < n; ++k)
                v[k] = std::strtof(s, const_cast<char**>(&s));
            if (op == 'M') {
                have = false;
                lineTo(map(v[0], v[1]));
            } else if (op == 'L') {
                lineTo(map(v[0], v[1]));
            } else if (op == 'D') {
                have = false;
                lineTo(map(v[0], v[1]));
                lineTo(map(v[0], v[1]));
                have = false;
            } else if (op == 'R') {
                Point a = map(v[0], v[1]), b = map(v[2], v[3]);
                boxes_.push_back({a.x, a.y, b.x, b.y});
                extend(a.x, a.y);
                extend(b.x, b.y);
            } else if (op == 'A') {
                float a0 = v[4], a1 = v[5];
                int steps = static_cast<int>(std::fabs(a1 - a0) / 6.0f) + 2;
                for (int k = 0; k <= steps; ++k) {
                    float a = (a0 + (a1 - a0) * k / steps) * 3.14159265f / 180.0f;
                    lineTo(map(v[0] + v[2] * std::cos(a), v[1] - v[3] * std::sin(a)));
                }
            }
        }
    }
}

float TextShape::distance(float px, float py) const {
    float d = 1e30f;
    for (const Segment& s : segments_)
        d = std::fmin(d, segmentDistance(s.a, s.b, px, py));
    for (const Box& b : boxes_) {
        float dx = std::fmax(std::fmax(b.x0 - px, px - b.x1), 0.0f);
        float dy = std::fmax(std::fmax(b.y0 - py, py - b.y1), 0.0f);
        d = std::fmin(d, std::sqrt(dx * dx + dy * dy));
    }
    return d;
}

void drawTextShape(Canvas& c, const TextShape& shape, const StrokeStyle& st, float aspectX,
                   float aspectY) {
    if (shape.empty()) return;
    float reach = st.halfWidth + st.outline + std::fabs(st.shadow) + 2;
    int ix0 = static_cast<int>(std::floor((shape.minX() - reach) / aspectX));
    int ix1 = static_cast<int>(std::ceil((shape.maxX() + reach) / aspectX));
    int iy0 = static_cast<int>(std::floor((shape.minY() - reach) / aspectY));
    int iy1 = static_cast<int>(std::ceil((shape.maxY() + reach) / aspectY));
    ix0 = ix0 < 0 ? 0 : ix0, iy0 = iy0 < 0 ? 0 : iy0;
    ix1 = ix1 >= c.width() ? c.width() - 1 : ix1, iy1 = iy1 >= c.height() ? c.height() - 1 : iy1;
    float ps = std::fmax(aspectX, aspectY);
    float height = shape.maxY() - shape.minY();
    for (int y = iy0; y <= iy1; ++y)
        for (int x = ix0; x <= ix1; ++x) {
            float lx = (x + 0.5f) * aspectX, ly = (y + 0.5f) * aspectY;
            if (st.shadow != 0) {
                float ds = shape.distance(lx - st.shadow, ly - st.shadow);
                float cs = clampf(0.5f - (ds - st.halfWidth - st.outline) / (ps * 2.5f), 0, 1);
                if (cs > 0) c.blend(x, y, Rgba{0, 0, 0, 0.6f}, cs);
            }
            float d = shape.distance(lx, ly);
            if (st.outline > 0) {
                float co = clampf(0.5f - (d - st.halfWidth - st.outline) / ps, 0, 1);
                if (co > 0) c.blend(x, y, st.outlineColour, co);
            }
            float cf = clampf(0.5f - (d - st.halfWidth) / ps, 0, 1);
            if (cf > 0) {
                float t = height > 0 ? clampf((ly - shape.minY()) / height, 0, 1) : 0;
                c.blend(x, y, mix(st.top, st.bottom, t), cf);
            }
        }
}
