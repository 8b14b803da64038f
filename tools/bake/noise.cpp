// tools/bake/noise.cpp - tiling gradient and cellular noise.
#include "tools/bake/noise.h"

#include <cmath>

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B1u ^ (uint32_t)x * 0x85EBCA77u ^ (uint32_t)y * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

namespace {
int WrapCell(int i, int n) { return n > 0 ? ((i % n) + n) % n : i; }

float Gradient(int ix, int iy, float dx, float dy, uint32_t seed) {
  float angle = (Hash(ix, iy, seed) & 0xFFFF) * (6.2831853f / 65536.0f);
  return std::cos(angle) * dx + std::sin(angle) * dy;
}

float Fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
}  // namespace

float Noise(float x, float y, int px, int py, uint32_t seed) {
  int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
  float fx = x - x0, fy = y - y0;
  int ax = WrapCell(x0, px), bx = WrapCell(x0 + 1, px);
  int ay = WrapCell(y0, py), by = WrapCell(y0 + 1, py);
  float n00 = Gradient(ax, ay, fx, fy, seed), n10 = Gradient(bx, ay, fx - 1, fy, seed);
  float n01 = Gradient(ax, by, fx, fy - 1, seed), n11 = Gradient(bx, by, fx - 1, fy - 1, seed);
  float u = Fade(fx), v = Fade(fy);
  float top = n00 + (n10 - n00) * u, bottom = n01 + (n11 - n01) * u;
  return (top + (bottom - top) * v) * 1.41421356f;
}

float Fbm(float x, float y, int px, int py, int octaves, float gain, uint32_t seed) {
  float sum = 0, amplitude = 1, total = 0;
  for (int o = 0; o < octaves; o++) {
    sum += amplitude * Noise(x, y, px, py, seed + (uint32_t)o * 101u);
    total += amplitude;
    amplitude *= gain;
    x *= 2;
    y *= 2;
    px *= 2;
    py *= 2;
  }
  return sum / total;
}

float RidgedFbm(float x, float y, int px, int py, int octaves, float gain, uint32_t seed) {
  float sum = 0, amplitude = 1, total = 0;
  for (int o = 0; o < octaves; o++) {
    float n = 1 - std::fabs(Noise(x, y, px, py, seed + (uint32_t)o * 131u));
    sum += amplitude * n * n;
    total += amplitude;
    amplitude *= gain;
    x *= 2;
    y *= 2;
    px *= 2;
    py *= 2;
  }
  return sum / total;
}

CellDistances Cells(float x, float y, int px, int py, uint32_t seed) {
  int cx = (int)std::floor(x), cy = (int)std::floor(y);
  CellDistances best{1e9f, 1e9f, 0};
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++) {
      int ix = cx + dx, iy = cy + dy;
      uint32_t h = Hash(WrapCell(ix, px), WrapCell(iy, py), seed);
      float fx = ix + (h & 0xFFFF) / 65536.0f, fy = iy + (h >> 16) / 65536.0f;
      float d = std::sqrt((fx - x) * (fx - x) + (fy - y) * (fy - y));
      if (d < best.f1) {
        best.f2 = best.f1;
        best.f1 = d;
        best.id = h;
      } else if (d < best.f2) {
        best.f2 = d;
      }
    }
  return best;
}
