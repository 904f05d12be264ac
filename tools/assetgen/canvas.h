// Floating-point RGBA drawing surface with anti-aliased shapes and deterministic PNG output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgba {
    float r, g, b, a;
};

// Returns the colour with its alpha replaced by a.
inline Rgba withAlpha(Rgba c, float a) {
    return Rgba{c.r, c.g, c.b, a};
}
// Returns the per-channel mix of a and b at t (0 gives a, 1 gives b).
Rgba mix(Rgba a, Rgba b, float t);
// Returns x clamped to [lo, hi].
inline float clampf(float x, float lo, float hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}
// Returns the Hermite step of x between e0 and e1, 0 below e0 and 1 above e1.
float smoothstep(float e0, float e1, float x);

struct Point {
    float x, y;
};

// Signed distance (negative inside) from (px, py) to a closed polygon.
float polygonDistance(const std::vector<Point>& poly, float px, float py);
// Distance from (px, py) to the segment a-b.
float segmentDistance(Point a, Point b, float px, float py);

class Canvas {
  public:
    // A w x h surface, every pixel transparent black.
    Canvas(int w, int h);
    int width() const { return w_; }
    int height() const { return h_; }
    Rgba& at(int x, int y) { return px_[static_cast<size_t>(y) * w_ + x]; }
    const Rgba& at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
    // Composites colour c over the pixel with coverage cov (0..1), straight alpha.
    void blend(int x, int y, Rgba c, float cov);
    // Paints c wherever sdf(x, y) < 0 (pixel centres at +0.5), anti-aliased over one pixel, within
    // the box [x0, x1] x [y0, y1].
    template <typename F> void paint(float x0, float y0, float x1, float y1, F sdf, Rgba c) {
        int ix0 = x0 < 0 ? 0 : static_cast<int>(x0), iy0 = y0 < 0 ? 0 : static_cast<int>(y0);
        int ix1 = x1 >= w_ ? w_ - 1 : static_cast<int>(x1 + 1);
        int iy1 = y1 >= h_ ? h_ - 1 : static_cast<int>(y1 + 1);
        for (int y = iy0; y <= iy1; ++y)
            for (int x = ix0; x <= ix1; ++x) {
                float d = sdf(x + 0.5f, y + 0.5f);
                float cov = clampf(0.5f - d, 0.0f, 1.0f);
                if (cov > 0) blend(x, y, c, cov);
            }
    }
    // Paints a filled disc.
    void disc(float cx, float cy, float r, Rgba c);
    // Paints a ring of the given radius and stroke width.
    void ring(float cx, float cy, float r, float width, Rgba c);
    // Paints a thick segment with round caps.
    void line(Point a, Point b, float width, Rgba c);
    // Paints a thick open polyline with round joins.
    void polyline(const std::vector<Point>& pts, float width, Rgba c);
    // Paints a filled polygon.
    void polygon(const std::vector<Point>& poly, Rgba c);
    // Paints a filled rectangle with rounded corners of radius rad.
    void roundRect(float x0, float y0, float x1, float y1, float rad, Rgba c);
    // Gives fully transparent pixels the colour of nearby visible ones, so that linear filtering
    // does not darken the edges of alpha pictures.
    void bleedColour(int passes);
    // Writes the surface as an 8-bit PNG, RGBA when alpha is true, otherwise RGB; returns false on
    // any failure. The bytes depend only on the pixels.
    bool writePng(const std::string& path, bool alpha) const;

  private:
    int w_, h_;
    std::vector<Rgba> px_;
};
