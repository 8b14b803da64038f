// tools/bake/colour.h - colours and the small numeric helpers every generator uses.
//
// Owns: Colour (three floats), mixing, gradient ramps, smoothstep and clamps.
// Read by: every generator and drawing helper. Header only.
#pragma once

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

struct Colour {
  float r = 0, g = 0, b = 0;
};

inline Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Colour operator-(Colour a, Colour b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Colour operator*(Colour a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Colour operator*(Colour a, Colour b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Colour& operator+=(Colour& a, Colour b) { return a = a + b; }

// A value that is not a number (a power of a rounding error below zero) becomes 0.
inline float Clamp01(float v) { return v > 0 ? (v < 1 ? v : 1) : 0; }
inline float Lerp(float a, float b, float t) { return a + (b - a) * t; }
inline Colour Mix(Colour a, Colour b, float t) { return a + (b - a) * t; }
inline float Smoothstep(float e0, float e1, float x) {
  float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}
// From 0..255 components, as colours are usually picked.
inline Colour Rgb255(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }
inline float Luma(Colour c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; }

// A piecewise-linear gradient through (position, colour) stops in ascending order.
struct Ramp {
  struct Stop {
    float at;
    Colour colour;
  };
  std::vector<Stop> stops;
  Ramp(std::initializer_list<Stop> s) : stops(s) {}
  Colour operator()(float t) const {
    if (t <= stops.front().at) return stops.front().colour;
    for (size_t i = 1; i < stops.size(); i++) {
      if (t <= stops[i].at) {
        float span = stops[i].at - stops[i - 1].at;
        return Mix(stops[i - 1].colour, stops[i].colour, span > 0 ? (t - stops[i - 1].at) / span : 1);
      }
    }
    return stops.back().colour;
  }
};

constexpr float Pi = 3.14159265358979f;
