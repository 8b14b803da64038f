// tools/bake/image.h - the baker's working pictures: float RGB images and one-channel masks.
//
// Owns: Image (linear float RGB, 0..1 nominal, rows from the top) and Mask (coverage 0..1),
// resampling, blurring and compositing a mask onto an image in a colour.
// Read by: every generator, the JPEG writer and the contact sheet.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/bake/colour.h"

struct Image {
  int width = 0, height = 0;
  std::vector<Colour> pixels;  // row-major, row 0 at the top

  Image() = default;
  Image(int w, int h, Colour fill = {0, 0, 0}) : width(w), height(h), pixels((size_t)w * h, fill) {}
  Colour& At(int x, int y) { return pixels[(size_t)y * width + x]; }
  const Colour& At(int x, int y) const { return pixels[(size_t)y * width + x]; }
};

struct Mask {
  int width = 0, height = 0;
  std::vector<float> values;

  Mask() = default;
  Mask(int w, int h, float fill = 0) : width(w), height(h), values((size_t)w * h, fill) {}
  float& At(int x, int y) { return values[(size_t)y * width + x]; }
  float At(int x, int y) const { return values[(size_t)y * width + x]; }
  // Clamped read, 0 outside the mask.
  float Get(int x, int y) const {
    return (x < 0 || y < 0 || x >= width || y >= height) ? 0.0f : values[(size_t)y * width + x];
  }
};

// Catmull-Rom resampling to w by h; `wrap` treats the picture as tiling (for seamless ones).
Image Resize(const Image& src, int w, int h, bool wrap = false);

// Approximate Gaussian blur (three box passes) with the given radius in pixels.
void Blur(Mask& m, float radius, bool wrap = false);
void Blur(Image& img, float radius, bool wrap = false);

// img = mix(img, colour, mask * opacity)
void Paint(Image& img, const Mask& m, Colour colour, float opacity = 1.0f);
// img += colour * mask * gain
void AddLight(Image& img, const Mask& m, Colour colour, float gain = 1.0f);
// Per-pixel union and scaling of masks.
void MaskMax(Mask& dst, const Mask& src);
void MaskScale(Mask& m, float factor);

// Clamped 8-bit RGB rows for the encoders.
std::vector<uint8_t> ToRgb8(const Image& img);
Image FromRgb8(const uint8_t* rgb, int w, int h);
