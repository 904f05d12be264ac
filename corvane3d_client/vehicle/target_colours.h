// Colours for the single-player targets that stand out from the planet, the player and each other.
#pragma once

// Draws count colours whose components are random values from the generator divided by 49150.5
// (0 to about 0.667), redrawing one until it lies at least 0.25 (RGB distance) from avoid and from
// the colours drawn before it, and is not greyish (largest minus smallest component at least 0.2).
// After 1000 draws for one colour only the greyness rule is kept; after 2000 the last draw stays
// (a generator that keeps repeating itself).
void drawTargetColours(const double avoid[3], double colours[][3], int count);

// True when colour's largest and smallest components differ by less than 0.2.
bool greyish(const double colour[3]);
// Euclidean distance between two RGB colours.
double colourDistance(const double a[3], const double b[3]);
