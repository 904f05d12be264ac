#include "symbols.h"

#include <cmath>
#include <vector>

namespace {
const float kPi = 3.14159265f;
const Rgba kInk{0.06f, 0.05f, 0.08f, 1};

std::vector<Point> scaled(std::vector<Point> pts, float k) {
    for (Point& p : pts)
        p.x *= k, p.y *= k;
    return pts;
}

void outlinedPolygon(Canvas& c, const std::vector<Point>& poly, float width, Rgba fill) {
    std::vector<Point> closed = poly;
    closed.push_back(poly[0]);
    c.polyline(closed, width, kInk);
    c.polygon(poly, fill);
}

std::vector<Point> arcPoints(float cx, float cy, float r, float a0, float a1, int n) {
    std::vector<Point> pts;
    for (int i = 0; i <= n; ++i) {
        float a = (a0 + (a1 - a0) * i / n) * kPi / 180;
        pts.push_back({cx + r * std::cos(a), cy - r * std::sin(a)});
    }
    return pts;
}
} // namespace

void drawStar(Canvas& c, float cx, float cy, float outer, float inner, int points, float turn,
              Rgba colour) {
    std::vector<Point> poly;
    for (int i = 0; i < points * 2; ++i) {
        float a = turn + i * kPi / points;
        float r = (i % 2) ? inner : outer;
        poly.push_back({cx + r * std::sin(a), cy - r * std::cos(a)});
    }
    c.polygon(poly, colour);
}

void drawBadge(Canvas& c, float k, Rgba colour) {
    Rgba dark{colour.r * 0.45f, colour.g * 0.45f, colour.b * 0.45f, 1};
    c.disc(32 * k, 32 * k, 30 * k, dark);
    c.disc(32 * k, 32 * k, 27 * k, colour);
    for (int i = 0; i < 6; ++i)
        c.disc(26 * k - i * k, 22 * k - i * k, (14 - 2 * i) * k, Rgba{1, 1, 1, 0.05f});
}

void drawBomb(Canvas& c, float k, float cx, float cy, float r) {
    std::vector<Point> fuse = {{cx + 0.62f * r, cy - 0.7f * r},
                               {cx + 0.85f * r, cy - 1.05f * r},
                               {cx + 1.15f * r, cy - 1.2f * r}};
    c.polyline(scaled(fuse, k), 0.28f * r * k, Rgba{0.45f, 0.3f, 0.15f, 1});
    c.disc(cx * k, cy * k, (r + 1.2f) * k, kInk);
    c.disc(cx * k, cy * k, r * k, Rgba{0.16f, 0.16f, 0.2f, 1});
    c.roundRect((cx + 0.38f * r) * k, (cy - 0.95f * r) * k, (cx + 0.85f * r) * k,
                (cy - 0.55f * r) * k, 0.08f * r * k, Rgba{0.5f, 0.5f, 0.55f, 1});
    c.disc((cx - 0.35f * r) * k, (cy - 0.35f * r) * k, 0.3f * r * k, Rgba{0.6f, 0.65f, 0.8f, 0.8f});
    c.disc((cx - 0.42f * r) * k, (cy - 0.42f * r) * k, 0.12f * r * k, Rgba{1, 1, 1, 0.9f});
    float sx = (cx + 1.2f * r) * k, sy = (cy - 1.25f * r) * k;
    drawStar(c, sx, sy, 0.55f * r * k, 0.2f * r * k, 6, 0.2f, Rgba{1, 0.45f, 0.05f, 1});
    drawStar(c, sx, sy, 0.32f * r * k, 0.12f * r * k, 6, 0.5f, Rgba{1, 0.95f, 0.4f, 1});
}

void drawBolt(Canvas& c, float k) {
    std::vector<Point> bolt = {{37, 7}, {18, 35}, {30, 35}, {25, 57}, {47, 26}, {34, 26}, {42, 7}};
    outlinedPolygon(c, scaled(bolt, k), 3.5f * k, Rgba{1, 0.92f, 0.2f, 1});
}

void drawRangeFlame(Canvas& c, float k) {
    auto tear = [&](float cx, float cy, float r, Rgba col) {
        std::vector<Point> pts;
        for (int i = 0; i < 48; ++i) {
            float t = i * 2 * kPi / 48;
            float s = std::pow(std::fabs(std::sin(t / 2)), 1.4f);
            pts.push_back(
                {(cx + 0.8f * r * std::sin(t) * s) * k, (cy - 1.25f * r * std::cos(t)) * k});
        }
        return std::make_pair(pts, col);
    };
    auto outer = tear(32, 27, 15, Rgba{0.95f, 0.2f, 0.05f, 1});
    outlinedPolygon(c, outer.first, 3 * k, outer.second);
    auto inner = tear(32, 32, 9, Rgba{1, 0.8f, 0.15f, 1});
    c.polygon(inner.first, inner.second);
    c.line({13 * k, 51 * k}, {51 * k, 51 * k}, 7 * k, kInk);
    c.polygon(scaled({{7, 51}, {16, 44}, {16, 58}}, k), kInk);
    c.polygon(scaled({{57, 51}, {48, 44}, {48, 58}}, k), kInk);
    c.line(Point{15 * k, 51 * k}, Point{49 * k, 51 * k}, 3 * k, Rgba{1, 1, 1, 1});
    c.polygon(scaled({{10, 51}, {16, 47}, {16, 55}}, k), Rgba{1, 1, 1, 1});
    c.polygon(scaled({{54, 51}, {48, 47}, {48, 55}}, k), Rgba{1, 1, 1, 1});
}

void drawRemote(Canvas& c, float k, float size) {
    auto m = [&](float x, float y) {
        return Point{(32 + (x - 32) * size) * k, (32 + (y - 32) * size) * k};
    };
    auto r = [&](float v) { return v * size * k; };
    Rgba body{0.22f, 0.23f, 0.28f, 1};
    c.line(m(38, 24), m(45, 9), r(2.6f), kInk);
    c.disc(m(45, 9).x, m(45, 9).y, r(3), Rgba{0.9f, 0.2f, 0.2f, 1});
    for (int i = 0; i < 2; ++i) {
        std::vector<Point> a = arcPoints(45, 9, 7.5f + i * 5, -30, 60, 12);
        for (Point& p : a)
            p = m(p.x, p.y);
        c.polyline(a, r(2.2f), Rgba{1, 1, 1, 1});
    }
    Point a = m(21, 22), b = m(42, 56);
    c.roundRect(a.x - r(1.5f), a.y - r(1.5f), b.x + r(1.5f), b.y + r(1.5f), r(5), kInk);
    c.roundRect(a.x, a.y, b.x, b.y, r(4), body);
    c.roundRect(m(24, 25).x, m(24, 25).y, m(39, 31).x, m(39, 31).y, r(1.5f),
                Rgba{0.4f, 0.9f, 0.6f, 1});
    c.disc(m(31.5f, 39).x, m(31.5f, 39).y, r(4.5f), Rgba{0.95f, 0.15f, 0.15f, 1});
    for (int i = 0; i < 3; ++i)
        c.disc(m(25.5f + i * 6, 49).x, m(25.5f + i * 6, 49).y, r(2), Rgba{0.75f, 0.75f, 0.8f, 1});
}

void drawGhost(Canvas& c, float k) {
    std::vector<Point> g = arcPoints(32, 27, 14, 180, 0, 24);
    g.push_back({46, 50});
    for (int i = 1; i <= 6; ++i) {
        float x = 46 - i * 28.0f / 6;
        g.push_back({x + 28.0f / 12, (i % 2) ? 44.0f : 50.0f});
        g.push_back({x, (i % 2) ? 47.0f : 50.0f});
    }
    outlinedPolygon(c, scaled(g, k), 3 * k, Rgba{0.92f, 0.97f, 1, 1});
    c.disc(26 * k, 27 * k, 3.6f * k, kInk);
    c.disc(38 * k, 27 * k, 3.6f * k, kInk);
    c.disc(27 * k, 26 * k, 1.2f * k, Rgba{1, 1, 1, 1});
    c.disc(39 * k, 26 * k, 1.2f * k, Rgba{1, 1, 1, 1});
}

void drawChevrons(Canvas& c, float k) {
    for (int i = 0; i < 2; ++i) {
        float x = 17 + i * 14;
        std::vector<Point> ch = {{x, 17}, {x + 13, 32}, {x, 47}};
        c.polyline(scaled(ch, k), 10 * k, kInk);
        c.polyline(scaled(ch, k), 5.5f * k, Rgba{1, 1, 1, 1});
    }
}

void drawSnail(Canvas& c, float k) {
    std::vector<Point> body = {{10, 46}, {14, 40}, {44, 40}, {54, 46}, {50, 49}, {12, 49}};
    outlinedPolygon(c, scaled(body, k), 3 * k, Rgba{0.7f, 0.85f, 0.5f, 1});
    c.line({15 * k, 41 * k}, {12 * k, 30 * k}, 2.4f * k, kInk);
    c.line({19 * k, 41 * k}, {19 * k, 30 * k}, 2.4f * k, kInk);
    c.disc(12 * k, 30 * k, 2.4f * k, kInk);
    c.disc(19 * k, 30 * k, 2.4f * k, kInk);
    c.disc(35 * k, 31 * k, 15 * k, kInk);
    c.disc(35 * k, 31 * k, 13 * k, Rgba{0.85f, 0.55f, 0.2f, 1});
    std::vector<Point> spiral;
    for (int i = 0; i <= 60; ++i) {
        float a = i * 0.2f;
        float r = 1.0f + a * 1.7f;
        spiral.push_back({(35 + r * std::cos(a)) * k, (31 + r * std::sin(a)) * k});
    }
    c.polyline(spiral, 2.2f * k, Rgba{0.35f, 0.18f, 0.05f, 1});
}
