#include "canvas.h"

#include <cmath>
#include <cstdio>
#include <png.h>

Rgba mix(Rgba a, Rgba b, float t) {
    return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                a.a + (b.a - a.a) * t};
}

float smoothstep(float e0, float e1, float x) {
    float t = clampf((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

float segmentDistance(Point a, Point b, float px, float py) {
    float dx = b.x - a.x, dy = b.y - a.y;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? clampf(((px - a.x) * dx + (py - a.y) * dy) / len2, 0.0f, 1.0f) : 0.0f;
    float ex = a.x + dx * t - px, ey = a.y + dy * t - py;
    return std::sqrt(ex * ex + ey * ey);
}

float polygonDistance(const std::vector<Point>& poly, float px, float py) {
    float best = 1e30f;
    bool inside = false;
    size_t n = poly.size();
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        Point a = poly[j], b = poly[i];
        best = std::fmin(best, segmentDistance(a, b, px, py));
        if ((b.y > py) != (a.y > py) && px < (a.x - b.x) * (py - b.y) / (a.y - b.y) + b.x)
            inside = !inside;
    }
    return inside ? -best : best;
}

Canvas::Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, Rgba{0, 0, 0, 0}) {}

void Canvas::blend(int x, int y, Rgba c, float cov) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    Rgba& d = at(x, y);
    float sa = c.a * cov;
    float oa = sa + d.a * (1 - sa);
    if (oa <= 0) {
        d = Rgba{c.r, c.g, c.b, 0};
        return;
    }
    float k = d.a * (1 - sa);
    d.r = (c.r * sa + d.r * k) / oa;
    d.g = (c.g * sa + d.g * k) / oa;
    d.b = (c.b * sa + d.b * k) / oa;
    d.a = oa;
}

void Canvas::disc(float cx, float cy, float r, Rgba c) {
    paint(
        cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1,
        [&](float x, float y) { return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - r; },
        c);
}

void Canvas::ring(float cx, float cy, float r, float width, Rgba c) {
    float o = r + width / 2 + 1;
    paint(
        cx - o, cy - o, cx + o, cy + o,
        [&](float x, float y) {
            return std::fabs(std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - r) - width / 2;
        },
        c);
}

void Canvas::line(Point a, Point b, float width, Rgba c) {
    float o = width / 2 + 1;
    paint(
        std::fmin(a.x, b.x) - o, std::fmin(a.y, b.y) - o, std::fmax(a.x, b.x) + o,
        std::fmax(a.y, b.y) + o,
        [&](float x, float y) { return segmentDistance(a, b, x, y) - width / 2; }, c);
}

void Canvas::polyline(const std::vector<Point>& pts, float width, Rgba c) {
    if (pts.empty()) return;
    float x0 = pts[0].x, y0 = pts[0].y, x1 = x0, y1 = y0;
    for (const Point& p : pts) {
        x0 = std::fmin(x0, p.x), y0 = std::fmin(y0, p.y);
        x1 = std::fmax(x1, p.x), y1 = std::fmax(y1, p.y);
    }
    float o = width / 2 + 1;
    paint(
        x0 - o, y0 - o, x1 + o, y1 + o,
        [&](float x, float y) {
            float d = 1e30f;
            for (size_t i = 0; i + 1 < pts.size(); ++i)
                d = std::fmin(d, segmentDistance(pts[i], pts[i + 1], x, y));
            if (pts.size() == 1) d = segmentDistance(pts[0], pts[0], x, y);
            return d - width / 2;
        },
        c);
}

void Canvas::polygon(const std::vector<Point>& poly, Rgba c) {
    float x0 = poly[0].x, y0 = poly[0].y, x1 = x0, y1 = y0;
    for (const Point& p : poly) {
        x0 = std::fmin(x0, p.x), y0 = std::fmin(y0, p.y);
        x1 = std::fmax(x1, p.x), y1 = std::fmax(y1, p.y);
    }
    paint(
        x0 - 1, y0 - 1, x1 + 1, y1 + 1,
        [&](float x, float y) { return polygonDistance(poly, x, y); }, c);
}

void Canvas::roundRect(float x0, float y0, float x1, float y1, float rad, Rgba c) {
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    float hx = (x1 - x0) / 2 - rad, hy = (y1 - y0) / 2 - rad;
    paint(
        x0 - 1, y0 - 1, x1 + 1, y1 + 1,
        [&](float x, float y) {
            float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
            float ox = std::fmax(qx, 0.0f), oy = std::fmax(qy, 0.0f);
            return std::sqrt(ox * ox + oy * oy) + std::fmin(std::fmax(qx, qy), 0.0f) - rad;
        },
        c);
}

void Canvas::bleedColour(int passes) {
    std::vector<char> known(px_.size());
    for (size_t i = 0; i < px_.size(); ++i)
        known[i] = px_[i].a > 0.02f;
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<char> next = known;
        std::vector<Rgba> out = px_;
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                size_t i = static_cast<size_t>(y) * w_ + x;
                if (known[i]) continue;
                float r = 0, g = 0, b = 0;
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= w_ || ny >= h_) continue;
                        size_t j = static_cast<size_t>(ny) * w_ + nx;
                        if (!known[j]) continue;
                        r += px_[j].r, g += px_[j].g, b += px_[j].b, ++n;
                    }
                if (n == 0) continue;
                out[i].r = r / n, out[i].g = g / n, out[i].b = b / n;
                next[i] = 1;
            }
        px_.swap(out);
        known.swap(next);
    }
}

static uint8_t toByte(float v) {
    return static_cast<uint8_t>(std::lround(clampf(v, 0, 1) * 255));
}

bool Canvas::writePng(const std::string& path, bool alpha) const {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(f);
        return false;
    }
    int channels = alpha ? 4 : 3;
    std::vector<uint8_t> row(static_cast<size_t>(w_) * channels);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, w_, h_, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            const Rgba& p = at(x, y);
            uint8_t* o = &row[static_cast<size_t>(x) * channels];
            o[0] = toByte(p.r), o[1] = toByte(p.g), o[2] = toByte(p.b);
            if (alpha) o[3] = toByte(p.a);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}
