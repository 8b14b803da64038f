// tools/bake/image.cpp - resampling, blurs and compositing of the baker's pictures.
#include "tools/bake/image.h"

#include <cmath>

namespace {
int Wrap(int i, int n) { return ((i % n) + n) % n; }
int Edge(int i, int n) { return i < 0 ? 0 : i >= n ? n - 1 : i; }

// The Catmull-Rom cubic as a kernel of the distance x (in source samples) from a tap.
float CatmullRom(float x) {
  x = std::fabs(x);
  if (x < 1) return 1.5f * x * x * x - 2.5f * x * x + 1;
  if (x < 2) return -0.5f * x * x * x + 2.5f * x * x - 4 * x + 2;
  return 0;
}

// One dimension of a resample: every output sample takes a filtered window of input samples.
// Downscaling widens the kernel by the scale so that detail is averaged, not aliased.
struct Taps {
  std::vector<int> index;
  std::vector<float> weight;
  int perSample = 0;
};

Taps MakeTaps(int srcN, int dstN, bool wrap) {
  Taps taps;
  float scale = (float)srcN / dstN;
  float support = scale > 1 ? 2 * scale : 2;
  taps.perSample = (int)std::ceil(support) * 2 + 1;
  for (int i = 0; i < dstN; i++) {
    float centre = (i + 0.5f) * scale - 0.5f;
    int first = (int)std::floor(centre) - taps.perSample / 2;
    float total = 0;
    size_t base = taps.weight.size();
    for (int k = 0; k < taps.perSample; k++) {
      int j = first + k;
      float d = (j - centre) / (scale > 1 ? scale : 1);
      float w = CatmullRom(d);
      taps.index.push_back(wrap ? Wrap(j, srcN) : Edge(j, srcN));
      taps.weight.push_back(w);
      total += w;
    }
    for (int k = 0; k < taps.perSample; k++) taps.weight[base + k] /= total;
  }
  return taps;
}
}  // namespace

Image Resize(const Image& src, int w, int h, bool wrap) {
  if (src.width == w && src.height == h) return src;
  Taps tx = MakeTaps(src.width, w, wrap), ty = MakeTaps(src.height, h, wrap);
  Image mid(w, src.height);
  for (int y = 0; y < src.height; y++)
    for (int x = 0; x < w; x++) {
      Colour c;
      for (int k = 0; k < tx.perSample; k++) {
        size_t t = (size_t)x * tx.perSample + k;
        c += src.At(tx.index[t], y) * tx.weight[t];
      }
      mid.At(x, y) = c;
    }
  Image out(w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      Colour c;
      for (int k = 0; k < ty.perSample; k++) {
        size_t t = (size_t)y * ty.perSample + k;
        c += mid.At(x, ty.index[t]) * ty.weight[t];
      }
      out.At(x, y) = c;
    }
  return out;
}

namespace {
// One box pass along rows (stride 1) or columns, over `count` lines of `n` samples.
template <typename T>
void BoxPass(std::vector<T>& data, int n, int count, size_t step, size_t lineStep, int r, bool wrap) {
  std::vector<T> line(n);
  float inv = 1.0f / (2 * r + 1);
  for (int l = 0; l < count; l++) {
    T* base = data.data() + (size_t)l * lineStep;
    for (int i = 0; i < n; i++) line[i] = base[(size_t)i * step];
    auto get = [&](int i) { return line[wrap ? Wrap(i, n) : Edge(i, n)]; };
    T sum{};
    for (int i = -r; i <= r; i++) sum = sum + get(i);
    for (int i = 0; i < n; i++) {
      base[(size_t)i * step] = sum * inv;
      sum = sum + get(i + r + 1) - get(i - r);
    }
  }
}

template <typename T>
void BlurData(std::vector<T>& data, int w, int h, float radius, bool wrap) {
  // Three box passes of this width approximate a Gaussian of sigma ~ radius / 2.
  int r = (int)std::lround(radius / 1.7f);
  if (r < 1) r = 1;
  for (int pass = 0; pass < 3; pass++) {
    BoxPass(data, w, h, 1, (size_t)w, r, wrap);
    BoxPass(data, h, w, (size_t)w, 1, r, wrap);
  }
}
}  // namespace

void Blur(Mask& m, float radius, bool wrap) { BlurData(m.values, m.width, m.height, radius, wrap); }
void Blur(Image& img, float radius, bool wrap) { BlurData(img.pixels, img.width, img.height, radius, wrap); }

void Paint(Image& img, const Mask& m, Colour colour, float opacity) {
  for (size_t i = 0; i < img.pixels.size(); i++) {
    float a = m.values[i] * opacity;
    if (a > 0) img.pixels[i] = Mix(img.pixels[i], colour, a > 1 ? 1 : a);
  }
}

void AddLight(Image& img, const Mask& m, Colour colour, float gain) {
  for (size_t i = 0; i < img.pixels.size(); i++)
    if (m.values[i] > 0) img.pixels[i] += colour * (m.values[i] * gain);
}

void MaskMax(Mask& dst, const Mask& src) {
  for (size_t i = 0; i < dst.values.size(); i++) dst.values[i] = std::max(dst.values[i], src.values[i]);
}

void MaskScale(Mask& m, float factor) {
  for (float& v : m.values) v *= factor;
}

std::vector<uint8_t> ToRgb8(const Image& img) {
  std::vector<uint8_t> out(img.pixels.size() * 3);
  for (size_t i = 0; i < img.pixels.size(); i++) {
    const Colour& c = img.pixels[i];
    out[i * 3 + 0] = (uint8_t)std::lround(Clamp01(c.r) * 255);
    out[i * 3 + 1] = (uint8_t)std::lround(Clamp01(c.g) * 255);
    out[i * 3 + 2] = (uint8_t)std::lround(Clamp01(c.b) * 255);
  }
  return out;
}

Image FromRgb8(const uint8_t* rgb, int w, int h) {
  Image img(w, h);
  for (size_t i = 0; i < img.pixels.size(); i++)
    img.pixels[i] = Rgb255(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]);
  return img;
}
