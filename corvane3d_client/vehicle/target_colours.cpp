#include "target_colours.h"

#include <algorithm>
#include <cmath>

#include "random.h"

namespace {
const double kColourDivisor = 49150.5;
const double kMinDistance = 0.25;
const double kMinSpread = 0.2;
const int kDrawsBeforeGivingUpDistance = 1000;
const int kDrawsBeforeGivingUp = 2000;

void drawColour(double c[3]) {
    for (int i = 0; i < 3; ++i)
        c[i] = nextRandom() / kColourDivisor;
}

bool farEnough(const double c[3], const double avoid[3], double colours[][3], int drawn) {
    if (colourDistance(c, avoid) < kMinDistance) return false;
    for (int j = 0; j < drawn; ++j)
        if (colourDistance(c, colours[j]) < kMinDistance) return false;
    return true;
}
} // namespace

bool greyish(const double colour[3]) {
    double hi = std::max({colour[0], colour[1], colour[2]});
    double lo = std::min({colour[0], colour[1], colour[2]});
    return hi - lo < kMinSpread;
}

double colourDistance(const double a[3], const double b[3]) {
    double d0 = a[0] - b[0], d1 = a[1] - b[1], d2 = a[2] - b[2];
    return std::sqrt(d0 * d0 + d1 * d1 + d2 * d2);
}

void drawTargetColours(const double avoid[3], double colours[][3], int count) {
    for (int i = 0; i < count; ++i) {
        int draws = 0;
        for (;;) {
            drawColour(colours[i]);
            ++draws;
            if (draws > kDrawsBeforeGivingUp) break;
            if (greyish(colours[i])) continue;
            if (draws > kDrawsBeforeGivingUpDistance || farEnough(colours[i], avoid, colours, i))
                break;
        }
    }
}
