// tools/bake/launcher_art.cpp - launcher picture and icon, and their BMP and ICO files.
#include "tools/bake/launcher_art.h"

#include <algorithm>
#include <cmath>

#include "tools/bake/draw.h"
#include "tools/bake/noise.h"
#include "tools/bake/text.h"

namespace {
void Put16(std::vector<uint8_t>& b, unsigned v) {
  b.push_back(v & 255);
  b.push_back((v >> 8) & 255);
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; i++) b.push_back((v >> (8 * i)) & 255);
}
void InfoHeader(std::vector<uint8_t>& b, int w, int h, int bits, int colours, uint32_t imageSize) {
  Put32(b, 40);
  Put32(b, (uint32_t)w);
  Put32(b, (uint32_t)h);
  Put16(b, 1);
  Put16(b, (unsigned)bits);
  Put32(b, 0);
  Put32(b, imageSize);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, (uint32_t)colours);
  Put32(b, 0);
}
void PutPalette(std::vector<uint8_t>& b, const std::vector<Colour>& palette, int entries) {
  for (int i = 0; i < entries; i++) {
    Colour c = i < (int)palette.size() ? palette[i] : Colour{};
    b.push_back((uint8_t)std::lround(Clamp01(c.b) * 255));
    b.push_back((uint8_t)std::lround(Clamp01(c.g) * 255));
    b.push_back((uint8_t)std::lround(Clamp01(c.r) * 255));
    b.push_back(0);
  }
}

float Channel(const Colour& c, int k) { return k == 0 ? c.r : k == 1 ? c.g : c.b; }
}  // namespace

Image DrawLauncherPicture() {
  const int W = 281, H = 67;
  Image img(W, H);
  // Night over a glowing horizon, as on the loading screen, with a few stars.
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      float t = (float)y / (H - 1);
      Colour c = Mix(Colour{0.02f, 0.02f, 0.07f}, Colour{0.2f, 0.05f, 0.22f}, t * t);
      c += Colour{1.0f, 0.35f, 0.22f} * (std::exp(-(1 - t) * 5) * 0.6f);
      float neb = Fbm(x / 60.0f, y / 40.0f, 0, 0, 4, 0.5f, 301) * 0.5f + 0.5f;
      c += Colour{0.1f, 0.04f, 0.18f} * neb * (1 - t);
      img.At(x, y) = c;
    }
  Rng rng(302);
  for (int i = 0; i < 40; i++) {
    int x = (int)(rng.Unit() * W), y = (int)(rng.Unit() * H * 0.7f);
    float b = rng.Range(0.3f, 0.9f);
    img.At(x, y) += Colour{b, b, b};
  }
  TextStyle title{FontStyle::SansBold, 34, 1.0f, 0.04f};
  TextStyle two{FontStyle::SerifBold, 50};
  float nameW = MeasureText(title, "VELLUMAR"), twoW = MeasureText(two, "2");
  float left = (W - nameW - 6 - twoW) / 2, base = 40;
  Mask letters(W, H), digit(W, H);
  DrawText(letters, title, "VELLUMAR", left, base);
  DrawText(digit, two, "2", left + nameW + 6, base + 6);
  Mask glow = digit;
  MaskMax(glow, letters);
  Blur(glow, 4);
  AddLight(img, glow, Colour{0.9f, 0.35f, 0.2f}, 1.2f);
  float cap = CapHeight(title);
  Ramp chrome{{0.0f, {0.55f, 0.7f, 1.0f}},   {0.42f, {1.0f, 1.0f, 1.0f}}, {0.5f, {0.15f, 0.16f, 0.32f}},
              {0.58f, {0.7f, 0.42f, 0.18f}}, {1.0f, {1.0f, 0.85f, 0.45f}}};
  for (int y = 0; y < H; y++) {
    Colour c = chrome((y + 0.5f - (base - cap)) / cap);
    Colour d = Mix(Colour{1.0f, 0.85f, 0.3f}, Colour{0.85f, 0.2f, 0.05f}, Clamp01((y - 8.0f) / 45));
    for (int x = 0; x < W; x++) {
      img.At(x, y) = Mix(img.At(x, y), d, digit.At(x, y));
      img.At(x, y) = Mix(img.At(x, y), c, letters.At(x, y));
    }
  }
  Mask sub(W, H);
  DrawText(sub, TextStyle{FontStyle::Sans, 9, 1.0f, 0.5f}, "OVALITH  \xC2\xB7  2003", W / 2.0f, 58, true);
  Paint(img, sub, Colour{0.85f, 0.8f, 1.0f});
  return img;
}

Image DrawIconPicture(Mask* coverage) {
  const int S = 32;
  Image img(S, S);
  Mask disc(S, S);
  FillDisc(disc, {16, 16}, 15.5f);
  for (int y = 0; y < S; y++)
    for (int x = 0; x < S; x++) {
      float t = y / 31.0f;
      img.At(x, y) = Mix(Colour{0.05f, 0.05f, 0.2f}, Colour{0.45f, 0.1f, 0.25f}, t);
    }
  Mask ring(S, S), inner(S, S);
  FillDisc(inner, {16, 16}, 14.0f);
  for (size_t i = 0; i < ring.values.size(); i++) ring.values[i] = Clamp01(disc.values[i] - inner.values[i]);
  Paint(img, ring, Colour{1.0f, 0.6f, 0.2f});
  Mask v(S, S);
  DrawText(v, TextStyle{FontStyle::SansBold, 24}, "V", 16, 25, true);
  for (int y = 0; y < S; y++) {
    Colour c = y < 15 ? Colour{0.85f, 0.92f, 1.0f} : Colour{1.0f, 0.75f, 0.3f};
    for (int x = 0; x < S; x++) img.At(x, y) = Mix(img.At(x, y), c, v.At(x, y));
  }
  if (coverage) *coverage = disc;
  return img;
}

std::vector<Colour> ChoosePalette(const std::vector<Colour>& pixels, int count) {
  // Split the box with the widest channel range at its median until there are enough boxes;
  // each box's mean is one palette colour.
  std::vector<std::vector<Colour>> boxes{pixels};
  while ((int)boxes.size() < count) {
    int best = -1, channel = 0;
    float widest = 0;
    for (size_t i = 0; i < boxes.size(); i++) {
      if (boxes[i].size() < 2) continue;
      for (int k = 0; k < 3; k++) {
        float lo = 1e9f, hi = -1e9f;
        for (const Colour& c : boxes[i]) lo = std::min(lo, Channel(c, k)), hi = std::max(hi, Channel(c, k));
        // Wide and well-populated boxes are split first.
        float score = (hi - lo) * std::sqrt((float)boxes[i].size());
        if (score > widest) widest = score, best = (int)i, channel = k;
      }
    }
    if (best < 0) break;
    std::vector<Colour>& box = boxes[best];
    std::stable_sort(box.begin(), box.end(),
                     [channel](const Colour& a, const Colour& b) { return Channel(a, channel) < Channel(b, channel); });
    std::vector<Colour> upper(box.begin() + box.size() / 2, box.end());
    box.resize(box.size() / 2);
    boxes.push_back(std::move(upper));
  }
  std::vector<Colour> palette;
  for (const auto& box : boxes) {
    Colour sum;
    for (const Colour& c : box) sum += c;
    palette.push_back(box.empty() ? Colour{} : sum * (1.0f / box.size()));
  }
  return palette;
}

std::vector<uint8_t> MapToPalette(const Image& img, const std::vector<Colour>& palette, bool diffuse) {
  Image work = img;
  std::vector<uint8_t> out((size_t)img.width * img.height);
  for (int y = 0; y < img.height; y++)
    for (int x = 0; x < img.width; x++) {
      Colour c = work.At(x, y);
      int best = 0;
      float bestD = 1e9f;
      for (size_t i = 0; i < palette.size(); i++) {
        Colour d = palette[i] - c;
        float dist = d.r * d.r * 0.3f + d.g * d.g * 0.59f + d.b * d.b * 0.11f;
        if (dist < bestD) bestD = dist, best = (int)i;
      }
      out[(size_t)y * img.width + x] = (uint8_t)best;
      if (!diffuse) continue;
      // Floyd-Steinberg, at half strength: smooth gradients without visible grain.
      Colour e = (c - palette[best]) * 0.5f;
      if (x + 1 < img.width) work.At(x + 1, y) += e * (7 / 16.0f);
      if (y + 1 < img.height) {
        if (x > 0) work.At(x - 1, y + 1) += e * (3 / 16.0f);
        work.At(x, y + 1) += e * (5 / 16.0f);
        if (x + 1 < img.width) work.At(x + 1, y + 1) += e * (1 / 16.0f);
      }
    }
  return out;
}

std::vector<uint8_t> LauncherBitmapFile() {
  Image img = DrawLauncherPicture();
  for (Colour& c : img.pixels) c = {Clamp01(c.r), Clamp01(c.g), Clamp01(c.b)};
  std::vector<Colour> palette = ChoosePalette(img.pixels, 256);
  std::vector<uint8_t> index = MapToPalette(img, palette, true);
  const int W = img.width, H = img.height, stride = (W + 3) & ~3;
  std::vector<uint8_t> pixels((size_t)stride * H, 0);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) pixels[(size_t)(H - 1 - y) * stride + x] = index[(size_t)y * W + x];  // bottom-up rows
  std::vector<uint8_t> bmp;
  uint32_t offset = 14 + 40 + 256 * 4;
  bmp.push_back('B');
  bmp.push_back('M');
  Put32(bmp, offset + (uint32_t)pixels.size());
  Put32(bmp, 0);
  Put32(bmp, offset);
  InfoHeader(bmp, W, H, 8, 256, (uint32_t)pixels.size());
  PutPalette(bmp, palette, 256);
  bmp.insert(bmp.end(), pixels.begin(), pixels.end());
  return bmp;
}

std::vector<uint8_t> ProgramIconFile() {
  const int S = 32;
  Mask coverage;
  Image img = DrawIconPicture(&coverage);
  for (Colour& c : img.pixels) c = {Clamp01(c.r), Clamp01(c.g), Clamp01(c.b)};
  // Only the opaque pixels choose the 16 colours; entry 0 stays black for the masked ones.
  std::vector<Colour> opaque;
  for (size_t i = 0; i < img.pixels.size(); i++)
    if (coverage.values[i] >= 0.5f) opaque.push_back(img.pixels[i]);
  std::vector<Colour> palette = ChoosePalette(opaque, 15);
  palette.insert(palette.begin(), Colour{0, 0, 0});
  std::vector<uint8_t> index = MapToPalette(img, palette, false);
  std::vector<uint8_t> colour((size_t)S * S / 2, 0), mask((size_t)S * 4, 0);
  for (int y = 0; y < S; y++)
    for (int x = 0; x < S; x++) {
      bool transparent = coverage.At(x, y) < 0.5f;
      int i = transparent ? 0 : index[(size_t)y * S + x];
      int row = S - 1 - y;  // bottom-up
      uint8_t& cell = colour[(size_t)row * S / 2 + x / 2];
      cell |= (uint8_t)(x % 2 ? i : i << 4);
      if (transparent) mask[(size_t)row * 4 + x / 8] |= (uint8_t)(0x80 >> (x % 8));
    }
  std::vector<uint8_t> image;
  InfoHeader(image, S, S * 2, 4, 16, (uint32_t)(colour.size() + mask.size()));
  PutPalette(image, palette, 16);
  image.insert(image.end(), colour.begin(), colour.end());
  image.insert(image.end(), mask.begin(), mask.end());
  std::vector<uint8_t> ico;
  Put16(ico, 0);
  Put16(ico, 1);
  Put16(ico, 1);
  ico.push_back(S);
  ico.push_back(S);
  ico.push_back(16);
  ico.push_back(0);
  Put16(ico, 1);
  Put16(ico, 4);
  Put32(ico, (uint32_t)image.size());
  Put32(ico, 6 + 16);
  ico.insert(ico.end(), image.begin(), image.end());
  return ico;
}
