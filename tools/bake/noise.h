// tools/bake/noise.h - seeded random numbers and tiling noise for the picture generators.
//
// Owns: Rng (a small PCG generator: same seed, same sequence, on every machine), Hash,
// gradient noise and fractal sums that repeat with an integer period (so a picture built
// from them is seamless when its size is a whole number of periods), and cellular noise.
// Read by: the generators. Nothing here keeps global state.
#pragma once

#include <cstdint>

struct Rng {
  uint64_t state;
  explicit Rng(uint64_t seed) : state(seed * 6364136223846793005ull + 1442695040888963407ull) { Next(); }
  uint32_t Next() {
    uint64_t old = state;
    state = old * 6364136223846793005ull + 1442695040888963407ull;
    uint32_t xorshifted = (uint32_t)(((old >> 18u) ^ old) >> 27u);
    uint32_t rot = (uint32_t)(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
  }
  // Uniform in [0, 1).
  float Unit() { return (Next() >> 8) * (1.0f / 16777216.0f); }
  // Uniform in [a, b).
  float Range(float a, float b) { return a + (b - a) * Unit(); }
};

uint32_t Hash(int x, int y, uint32_t seed);

// Gradient noise in about [-1, 1] at (x, y); lattice coordinates wrap with period px, py
// (cells), so Noise(x + px, y) == Noise(x, y).
float Noise(float x, float y, int px, int py, uint32_t seed);
// Fractal sum of `octaves` layers, each of twice the frequency and `gain` times the
// amplitude of the one before; normalised to about [-1, 1]. Period of the first octave px, py.
float Fbm(float x, float y, int px, int py, int octaves, float gain, uint32_t seed);
// The same with |noise| folded into ridges (1 on the ridge lines, towards 0 between them).
float RidgedFbm(float x, float y, int px, int py, int octaves, float gain, uint32_t seed);

// Cellular noise: distances to the nearest and second nearest of one random point per
// cell, in cell units, cells wrapping with period px, py.
struct CellDistances {
  float f1, f2;
  uint32_t id;  // hash of the nearest point's cell
};
CellDistances Cells(float x, float y, int px, int py, uint32_t seed);
