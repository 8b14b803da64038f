// tools/bake/picture_posters.cpp - the screens, cards and posters: the lettered pictures.
//
// Full-screen pictures are drawn at 1024 by 768 (their aspect on screen) and stretched to
// their square files afterwards, so lettering keeps its shape on screen.
#include <cmath>
#include <string>
#include <vector>

#include "tools/bake/picture_draw.h"

namespace {
Mask TextMask(const Image& c, const TextStyle& style, const std::string& text, float x, float y, bool centred = true) {
  Mask m(c.width, c.height);
  DrawText(m, style, text, x, y, centred);
  return m;
}

// Paints the mask with a vertical gradient: ramp position 0 at row y0, 1 at row y1.
void PaintRamp(Image& c, const Mask& m, const Ramp& ramp, float y0, float y1) {
  for (int y = 0; y < c.height; y++) {
    Colour col = ramp((y + 0.5f - y0) / (y1 - y0));
    for (int x = 0; x < c.width; x++) {
      float a = m.At(x, y);
      if (a > 0) c.At(x, y) = Mix(c.At(x, y), col, std::min(a, 1.0f));
    }
  }
}

// The mask grown by about `radius` pixels, with a soft edge.
Mask Grow(const Mask& m, float radius) {
  Mask g = m;
  Blur(g, radius);
  for (float& v : g.values) v = Smoothstep(0.04f, 0.3f, v);
  return g;
}

// The mask moved by (dx, dy) whole pixels.
Mask Shift(const Mask& m, int dx, int dy) {
  Mask s(m.width, m.height);
  for (int y = 0; y < m.height; y++)
    for (int x = 0; x < m.width; x++) s.At(x, y) = m.Get(x - dx, y - dy);
  return s;
}

// Scales the style down, if needed, so that the text fits in `width` pixels.
TextStyle Fit(TextStyle style, const std::string& text, float width) {
  float measured = MeasureText(style, text);
  if (measured > width) style.size *= width / measured;
  return style;
}

// Off-white paper with a faint fibre, for the pictures that multiply the frame.
void Paper(Image& c, uint32_t seed) {
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float n = Fbm(x / 90.0f, y / 90.0f, 0, 0, 5, 0.55f, seed) * 0.5f + 0.5f;
      float g = 0.965f + 0.035f * n;
      c.At(x, y) = Colour{g, g, g * 0.995f};
    }
}

// The chrome lettering of the title: sky above a dark horizon line, warm ground below.
const Ramp ChromeLetters{{0.0f, {0.55f, 0.7f, 1.0f}},   {0.42f, {1.0f, 1.0f, 1.0f}}, {0.5f, {0.12f, 0.14f, 0.3f}},
                         {0.56f, {0.6f, 0.35f, 0.15f}}, {0.8f, {1.0f, 0.72f, 0.3f}}, {1.0f, {1.0f, 0.95f, 0.7f}}};
}  // namespace

void DrawLoading(Image& c) {
  int w = c.width, h = c.height;
  float horizon = h * 0.64f;
  // Night sky with a nebula, the glow of the horizon and a mirror floor of grid lines.
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (float)x / w, v = (float)y / h;
      Colour col;
      if (y < horizon) {
        float t = (float)y / horizon;
        col = Mix(Colour{0.01f, 0.01f, 0.05f}, Colour{0.16f, 0.04f, 0.2f}, t * t);
        float neb = Fbm(u * 3, v * 4, 0, 0, 6, 0.55f, 201) * 0.5f + 0.5f;
        col += Colour{0.12f, 0.05f, 0.22f} * (neb * neb * (1 - t));
        float glow = std::exp(-(horizon - y) / (h * 0.09f));
        col += Colour{1.0f, 0.35f, 0.25f} * (glow * 0.75f);
      } else {
        float d = (y - horizon) / (h - horizon);
        col = Mix(Colour{0.25f, 0.07f, 0.15f}, Colour{0.01f, 0.01f, 0.03f}, std::pow(d, 0.4f));
        // Perspective grid: rows at whole depths, columns at whole widths; each line is one
        // pixel and a bit wide on screen, and where lines crowd closer than that they blend
        // into their average brightness instead of aliasing.
        float z = 2 / (d + 0.004f), dzdy = 2 / ((d + 0.004f) * (d + 0.004f)) / (h - horizon);
        float rowDist = std::fabs(std::fmod(z, 1.0f) - 0.5f);
        rowDist = (0.5f - rowDist) / dzdy;
        float X = (u - 0.5f) * z * 3.2f, dXdx = z * 3.2f / w;
        float colDist = (0.5f - std::fabs(std::fmod(std::fabs(X), 1.0f) - 0.5f)) / dXdx;
        float crowd = Clamp01(dzdy * 2.5f);
        float rowLine = Lerp(Clamp01(1.3f - rowDist), 0.5f, crowd);
        float colLine = Lerp(Clamp01(1.3f - colDist), 0.5f, Clamp01(dXdx * 2.5f));
        float lines = std::max(rowLine, colLine);
        col += Colour{0.9f, 0.3f, 0.6f} * (lines * (0.2f + 0.6f * d) * Smoothstep(0.0f, 0.06f, d));
      }
      c.At(x, y) = col;
    }
  Rng rng(202);
  for (int i = 0; i < 400; i++) {
    int x = 1 + (int)(rng.Unit() * (w - 2)), y = 1 + (int)(rng.Unit() * horizon * 0.9f);
    float b = rng.Range(0.2f, 1.0f);
    b = b * b * b;
    c.At(x, y) += Colour{b, b, b * 1.1f};
    if (b > 0.5f) {
      for (int d : {-1, 1}) c.At(x + d, y) += Colour{b, b, b} * 0.4f, c.At(x, y + d) += Colour{b, b, b} * 0.4f;
    }
  }
  // The title: chrome letters, a navy outline, a hot glow behind, and their reflection.
  // "VELLUMAR" and a tall "2" beside it, together centred in 88 % of the width.
  TextStyle title{FontStyle::SansBold, 150, 1.0f, 0.01f};
  TextStyle twoStyle{FontStyle::SerifBold, 300, 1.0f, 0};
  float nameW = MeasureText(title, "VELLUMAR"), twoW = MeasureText(twoStyle, "2"), gap = 18;
  float scale = std::min(1.0f, w * 0.88f / (nameW + gap + twoW));
  title.size *= scale;
  twoStyle.size *= scale;
  nameW *= scale, twoW *= scale, gap *= scale;
  float left = (w - (nameW + gap + twoW)) / 2;
  float base = h * 0.52f;
  float cap = CapHeight(title);
  Mask letters = TextMask(c, title, "VELLUMAR", left, base, false);
  Mask two = TextMask(c, twoStyle, "2", left + nameW + gap, base + 30 * scale, false);
  Mask glow = Grow(two, 6);
  Blur(glow, 30);
  AddLight(c, glow, Colour{1.0f, 0.3f, 0.1f}, 0.9f);
  Paint(c, Grow(two, 3), Colour{0.2f, 0.02f, 0.02f});
  PaintRamp(c, two, Ramp{{0.0f, {1.0f, 0.85f, 0.3f}}, {0.5f, {1.0f, 0.45f, 0.1f}}, {1.0f, {0.7f, 0.1f, 0.05f}}},
            base + 30 * scale - CapHeight(twoStyle), base + 30 * scale);
  Mask halo = Grow(letters, 8);
  Blur(halo, 22);
  AddLight(c, halo, Colour{0.35f, 0.5f, 1.0f}, 0.6f);
  Paint(c, Grow(letters, 4), Colour{0.03f, 0.03f, 0.1f});
  PaintRamp(c, letters, ChromeLetters, base - cap, base);
  Mask mirror(w, h);
  // The floor mirrors everything above the horizon, squashed to 0.6 of its height.
  for (int y = (int)horizon; y < h; y++) {
    int src = (int)(horizon - (y + 0.5f - horizon) / 0.6f);
    float fade = 1 - Clamp01((y - horizon) / (h * 0.22f));
    for (int x = 0; x < w; x++)
      mirror.At(x, y) = std::max(letters.Get(x, src), two.Get(x, src) * 0.7f) * fade * 0.35f;
  }
  AddLight(c, mirror, Colour{0.6f, 0.5f, 0.9f});
  TextStyle sub{FontStyle::Sans, 30, 1.0f, 0.5f};
  Mask subline = TextMask(c, sub, "OVALITH  \xC2\xB7  2003", w * 0.5f, base + 70);
  Paint(c, subline, Colour{0.85f, 0.8f, 1.0f});
}

void DrawTitle(Image& c) {
  int w = c.width, h = c.height;
  Paper(c, 211);
  // A huge pale "2" behind, the name in heavy black letters, fine rules and a small line.
  TextStyle twoStyle{FontStyle::SerifBold, 700, 1.0f, 0};
  // The "2" in engraved hatching inside a fine outline: it reads as a shape when the card
  // multiplies a dark scene, where a pale tint would vanish.
  Mask two = TextMask(c, twoStyle, "2", w * 0.7f, h * 0.86f);
  Mask hatch = two, outline = Grow(two, 2);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float phase = std::fmod((float)(x + y), 12.0f);
      hatch.At(x, y) *= Clamp01(2.5f - std::fabs(phase - 6) * 1.0f);
      outline.At(x, y) = Clamp01(outline.At(x, y) - two.At(x, y) * 1.0f);
    }
  Paint(c, hatch, Colour{0.45f, 0.47f, 0.55f});
  Paint(c, outline, Colour{0.3f, 0.32f, 0.4f});
  TextStyle name = Fit(TextStyle{FontStyle::SansBold, 150, 1.0f, 0.04f}, "VELLUMAR", w * 0.8f);
  float base = h * 0.56f;
  Mask letters = TextMask(c, name, "VELLUMAR", w * 0.5f, base);
  Mask shadow = Shift(letters, 8, 10);
  Blur(shadow, 10);
  Paint(c, shadow, Colour{0.55f, 0.55f, 0.6f}, 0.6f);
  Paint(c, letters, Colour{0.04f, 0.04f, 0.07f});
  Mask rules(w, h);
  float half = MeasureText(name, "VELLUMAR") / 2;
  FillPolygon(rules, {{w / 2 - half, base + 28}, {w / 2 + half, base + 28}, {w / 2 + half, base + 34}, {w / 2 - half, base + 34}});
  float top = base - CapHeight(name) - 30;
  FillPolygon(rules, {{w / 2 - half, top}, {w / 2 + half * 0.2f, top}, {w / 2 + half * 0.2f, top + 3}, {w / 2 - half, top + 3}});
  Paint(c, rules, Colour{0.05f, 0.05f, 0.08f});
  TextStyle small{FontStyle::Sans, 30, 1.0f, 0.45f};
  const char* by = "OVALITH  \xC2\xB7  MMIII";
  Paint(c, TextMask(c, small, by, w / 2 - half, base + 80, false), Colour{0.1f, 0.1f, 0.14f});
  Paint(c, TextMask(c, small, "A REAL-TIME FLIGHT", w / 2 - half, top - 18, false), Colour{0.3f, 0.3f, 0.34f});
}

void DrawByLine(Image& c) {
  int w = c.width, h = c.height;
  TextStyle big = Fit(TextStyle{FontStyle::SansBold, 104, 1.0f, 0.06f}, "OVALITH", w * 0.8f);
  float base = h * 0.58f;
  Mask name = TextMask(c, big, "OVALITH", w / 2.0f, base);
  Mask glow = Grow(name, 4);
  Blur(glow, 14);
  AddLight(c, glow, Colour{1.0f, 0.4f, 0.1f}, 0.7f);
  PaintRamp(c, name, Ramp{{0.0f, {1.0f, 1.0f, 0.85f}}, {0.6f, {1.0f, 0.8f, 0.35f}}, {1.0f, {1.0f, 0.5f, 0.15f}}},
            base - CapHeight(big), base);
  TextStyle small{FontStyle::SerifItalic, 44, 1.0f, 0.08f};
  Mask presents = TextMask(c, small, "presents", w / 2.0f, base + 58);
  Mask pglow = presents;
  Blur(pglow, 6);
  AddLight(c, pglow, Colour{0.3f, 0.5f, 1.0f}, 0.8f);
  Paint(c, presents, Colour{0.75f, 0.85f, 1.0f});
}

namespace {
const Colour Ink{0.06f, 0.06f, 0.1f};

// Logo 1: Nocturne - a crescent moon and the name in spaced serif capitals.
void NocturneLogo(Image& c) {
  int w = c.width, h = c.height;
  Paper(c, 221);
  Mask moon(w, h), bite(w, h);
  Point centre{w * 0.26f, h * 0.47f};
  FillDisc(moon, centre, 120);
  FillDisc(bite, centre + Point{48, -30}, 104);
  for (size_t i = 0; i < moon.values.size(); i++) moon.values[i] = Clamp01(moon.values[i] - bite.values[i]);
  Paint(c, moon, Ink);
  // Three stars beside the moon.
  Mask stars(w, h);
  for (Point p : {Point{w * 0.33f, h * 0.33f}, Point{w * 0.36f, h * 0.43f}, Point{w * 0.31f, h * 0.52f}}) {
    std::vector<Point> star;
    for (int k = 0; k < 10; k++) {
      float a = k * Pi / 5 - Pi / 2, r = k % 2 ? 7.0f : 18.0f;
      star.push_back(p + Point{std::cos(a) * r, std::sin(a) * r});
    }
    FillPolygon(stars, star);
  }
  Paint(c, stars, Ink);
  TextStyle name{FontStyle::SerifBold, 110, 1.0f, 0.12f};
  float left = w * 0.42f, base = h * 0.52f;
  float width = MeasureText(name, "NOCTURNE");
  float scale = std::min(1.0f, (w * 0.94f - left) / width);
  name.size *= scale;
  Paint(c, TextMask(c, name, "NOCTURNE", left, base, false), Ink);
  Mask rule(w, h);
  FillPolygon(rule, {{left, base + 22}, {w * 0.94f, base + 22}, {w * 0.94f, base + 26}, {left, base + 26}});
  Paint(c, rule, Ink);
  TextStyle sub{FontStyle::Sans, 34, 1.0f, 0.6f};
  Paint(c, TextMask(c, sub, "DEMO  DIVISION", left, base + 76, false), Colour{0.3f, 0.3f, 0.36f});
}

// Logo 2: Ferrofluid - a spiked drop of magnetic fluid over the name in condensed capitals.
void FerrofluidLogo(Image& c) {
  int w = c.width, h = c.height;
  Paper(c, 222);
  Mask blob(w, h);
  Point centre{w * 0.5f, h * 0.36f};
  std::vector<Point> outline;
  for (int k = 0; k < 720; k++) {
    float a = k * 2 * Pi / 720;
    float spikes = std::pow(std::fabs(std::cos(a * 7)), 14.0f);
    float r = 95 + 80 * spikes * (0.7f + 0.3f * std::sin(a * 3 + 1));
    outline.push_back(centre + Point{std::cos(a) * r, std::sin(a) * r * 0.92f});
  }
  FillPolygon(blob, outline);
  Paint(c, blob, Ink);
  // A glossy highlight on the drop.
  Mask shine(w, h);
  FillEllipse(shine, centre + Point{-30, -35}, 34, 18, -0.6f);
  Blur(shine, 4);
  Paint(c, shine, Colour{0.8f, 0.82f, 0.9f}, 0.9f);
  TextStyle name{FontStyle::SansCondensedBold, 128, 1.15f, 0.03f};
  float base = h * 0.86f;
  Mask letters = TextMask(c, name, "FERROFLUID", w * 0.5f, base);
  // Lower half of the letters in halftone stripes, like dripping metal.
  Mask stripes = letters;
  float capTop = base - CapHeight(name);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float t = (y - capTop) / (base - capTop);
      // Stripes thin out towards the base line.
      int ink = 10 - (int)(7 * Clamp01((t - 0.5f) / 0.5f));
      if (t > 0.5f && y % 10 >= ink) stripes.At(x, y) = 0;
    }
  Paint(c, letters, Colour{0.7f, 0.7f, 0.75f});
  Paint(c, stripes, Ink);
}

// Logo 3: Halcyon - a round badge with the name knocked out of a band across it.
void HalcyonLogo(Image& c) {
  int w = c.width, h = c.height;
  Paper(c, 223);
  Point centre{w * 0.5f, h * 0.5f};
  Mask ring(w, h), hole(w, h);
  FillDisc(ring, centre, 290);
  FillDisc(hole, centre, 270);
  Mask inner(w, h), innerHole(w, h);
  FillDisc(inner, centre, 255);
  FillDisc(innerHole, centre, 250);
  for (size_t i = 0; i < ring.values.size(); i++)
    ring.values[i] = std::max(Clamp01(ring.values[i] - hole.values[i]), Clamp01(inner.values[i] - innerHole.values[i]));
  Paint(c, ring, Ink);
  // A kingfisher's wing stroke and a sun arc above the band; waves below.
  Mask marks(w, h);
  Stroke(marks, Bezier({w * 0.33f, h * 0.33f}, {w * 0.42f, h * 0.16f}, {w * 0.58f, h * 0.16f}, {w * 0.67f, h * 0.33f}, 40), 7, 7);
  for (int k = 0; k < 3; k++) {
    std::vector<Point> wave;
    float y = h * (0.67f + k * 0.05f);
    for (int i = 0; i <= 60; i++) {
      float x = w * 0.37f + i * w * 0.26f / 60;
      wave.push_back({x, y + 7 * std::sin(i * 0.42f)});
    }
    Stroke(marks, wave, 5 - k, 5 - k);
  }
  Paint(c, marks, Ink);
  Mask band(w, h);
  FillPolygon(band, {{w * 0.12f, h * 0.41f}, {w * 0.88f, h * 0.41f}, {w * 0.88f, h * 0.6f}, {w * 0.12f, h * 0.6f}});
  Paint(c, band, Ink);
  TextStyle name{FontStyle::SerifBold, 112, 1.0f, 0.16f};
  Paint(c, TextMask(c, name, "HALCYON", w * 0.5f, h * 0.555f), Colour{0.97f, 0.97f, 0.97f});
}

// Logo 4: Pixelwright - a letter P built of squares that shrink into a halftone.
void PixelwrightLogo(Image& c) {
  int w = c.width, h = c.height;
  Paper(c, 224);
  static const char* glyph[7] = {"11110", "10001", "10001", "11110", "10000", "10000", "10000"};
  Mask squares(w, h);
  float cell = 52, left = w * 0.08f, top = h * 0.22f;
  for (int r = 0; r < 7; r++)
    for (int k = 0; k < 5; k++) {
      if (glyph[r][k] != '1') continue;
      float size = cell * 0.88f;
      Point o{left + k * cell, top + r * cell};
      FillPolygon(squares, {o, o + Point{size, 0}, o + Point{size, size}, o + Point{0, size}});
    }
  Paint(c, squares, Ink);
  TextStyle name{FontStyle::Mono, 96, 1.0f, 0.0f};
  float textLeft = left + 5 * cell + 40;
  float width = MeasureText(name, "pixelwright");
  name.size *= std::min(1.0f, (w * 0.95f - textLeft) / width);
  Paint(c, TextMask(c, TextStyle{FontStyle::SansBold, name.size, 1.0f, 0}, "pixelwright", textLeft, top + 4 * cell, false), Ink);
  TextStyle sub{FontStyle::Mono, 30, 1.0f, 0.1f};
  Paint(c, TextMask(c, sub, "> code  art  sound_", textLeft, top + 4 * cell + 60, false), Colour{0.35f, 0.35f, 0.4f});
  Mask dots(w, h);
  for (int k = 0; k < 24; k++) {
    float size = 30 * (1 - k / 24.0f);
    Point o{left + k * 38.0f, h * 0.86f};
    FillPolygon(dots, {o, o + Point{size, 0}, o + Point{size, size}, o + Point{0, size}});
  }
  Paint(c, dots, Ink);
}
}  // namespace

void DrawLogo1(Image& c) { NocturneLogo(c); }
void DrawLogo2(Image& c) { FerrofluidLogo(c); }
void DrawLogo3(Image& c) { HalcyonLogo(c); }
void DrawLogo4(Image& c) { PixelwrightLogo(c); }

namespace {

// A sphere of chrome (tinted) with its shading, drawn over the picture.
void ChromeSphere(Image& c, Point centre, float radius, Colour tint) {
  int x0 = std::max(0, (int)(centre.x - radius - 2)), x1 = std::min(c.width - 1, (int)(centre.x + radius + 2));
  int y0 = std::max(0, (int)(centre.y - radius - 2)), y1 = std::min(c.height - 1, (int)(centre.y + radius + 2));
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      float dx = (x + 0.5f - centre.x) / radius, dy = (y + 0.5f - centre.y) / radius;
      float r2 = dx * dx + dy * dy;
      float cover = Clamp01((1 - std::sqrt(r2)) * radius + 0.5f);
      if (cover <= 0) continue;
      float nz = std::sqrt(std::max(0.0f, 1 - r2));
      Colour col = ChromeReflection(dx, -dy, nz) * tint;
      c.At(x, y) = Mix(c.At(x, y), col, cover);
    }
}

// A chrome ring (a torus seen from the front) of centre radius `ring` and tube radius `tube`.
void ChromeRing(Image& c, Point centre, float ring, float tube, Colour tint) {
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float dx = x + 0.5f - centre.x, dy = y + 0.5f - centre.y;
      float d = std::sqrt(dx * dx + dy * dy);
      float t = (d - ring) / tube;
      float cover = Clamp01((1 - std::fabs(t)) * tube + 0.5f);
      if (cover <= 0 || d <= 0) continue;
      float ca = dx / d, sa = dy / d, tt = std::max(-1.0f, std::min(1.0f, t));
      float nz = std::sqrt(std::max(0.0f, 1 - tt * tt));
      Colour col = ChromeReflection(ca * tt, -sa * tt, nz) * tint;
      c.At(x, y) = Mix(c.At(x, y), col, cover);
    }
}
}  // namespace

void DrawMetalArt(Image& c) {
  int w = c.width, h = c.height;
  // Brushed dark steel, lit by a teal glow on the left and an ember glow on the right.
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (float)x / w, v = (float)y / h;
      float brushed = Fbm(u * 2, v * 160, 0, 0, 4, 0.5f, 231) * 0.5f + 0.5f;
      Colour col = Mix(Colour{0.05f, 0.07f, 0.09f}, Colour{0.13f, 0.15f, 0.18f}, brushed);
      float teal = std::exp(-((u - 0.15f) * (u - 0.15f) + (v - 0.3f) * (v - 0.3f)) / 0.08f);
      float ember = std::exp(-((u - 0.85f) * (u - 0.85f) + (v - 0.75f) * (v - 0.75f)) / 0.06f);
      col += Colour{0.0f, 0.35f, 0.4f} * teal + Colour{0.55f, 0.18f, 0.02f} * ember;
      c.At(x, y) = col;
    }
  // Engraved concentric circles and a diagonal band of plates.
  Mask engraving(w, h);
  Point focus{w * 0.58f, h * 0.47f};
  for (int k = 1; k < 9; k++) {
    std::vector<Point> circle;
    float r = 60.0f * k + 20;
    for (int i = 0; i <= 360; i++) circle.push_back(focus + Point{std::cos(i * Pi / 180) * r, std::sin(i * Pi / 180) * r});
    Stroke(engraving, circle, 1.0f, 1.0f);
  }
  Paint(c, engraving, Colour{0.3f, 0.34f, 0.38f}, 0.5f);
  Mask plates(w, h);
  for (int k = 0; k < 5; k++) {
    float x0 = w * (0.0f + k * 0.2f), y0 = h * (1.0f - k * 0.2f);
    FillPolygon(plates, {{x0, y0}, {x0 + 90, y0 - 90}, {x0 + 120, y0 - 90}, {x0 + 30, y0}});
  }
  Mask plateShadow = Shift(plates, 10, 14);
  Blur(plateShadow, 10);
  Paint(c, plateShadow, Colour{0, 0, 0}, 0.6f);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float a = plates.At(x, y);
      if (a <= 0) continue;
      float v = (float)y / h;
      Colour metal = ChromeReflection(0.3f, 0.6f - v * 1.2f, 0.75f) * Colour{1.0f, 0.78f, 0.45f};
      c.At(x, y) = Mix(c.At(x, y), metal, a);
    }
  // Soft shadows under the chrome pieces, then the pieces, largest first.
  struct Ball {
    Point p;
    float r;
    Colour tint;
  };
  const Ball balls[] = {{{w * 0.58f, h * 0.47f}, 150, {1.0f, 1.0f, 1.0f}},
                        {{w * 0.26f, h * 0.26f}, 70, {1.0f, 0.8f, 0.5f}},
                        {{w * 0.84f, h * 0.2f}, 46, {0.8f, 0.95f, 1.0f}},
                        {{w * 0.8f, h * 0.8f}, 58, {1.0f, 0.75f, 0.55f}},
                        {{w * 0.36f, h * 0.72f}, 34, {1.0f, 1.0f, 1.0f}},
                        {{w * 0.14f, h * 0.55f}, 22, {0.85f, 0.95f, 1.0f}}};
  Mask shadows(w, h);
  for (const Ball& b : balls) FillDisc(shadows, b.p + Point{b.r * 0.25f, b.r * 0.35f}, b.r * 1.02f);
  FillDisc(shadows, focus + Point{40, 55}, 262);
  Blur(shadows, 24);
  Paint(c, shadows, Colour{0, 0, 0}, 0.55f);
  ChromeRing(c, focus, 235, 26, Colour{1.0f, 0.85f, 0.6f});
  for (const Ball& b : balls) ChromeSphere(c, b.p, b.r, b.tint);
  // Neon arcs: thin hot lines that wrap the composition.
  Mask neon(w, h);
  Stroke(neon, Bezier({-20, h * 0.85f}, {w * 0.3f, h * 0.35f}, {w * 0.7f, h * 1.05f}, {w + 20.0f, h * 0.3f}, 120), 2.2f, 2.2f);
  Stroke(neon, Bezier({w * 0.05f, -20}, {w * 0.25f, h * 0.5f}, {w * 0.55f, -h * 0.1f}, {w * 0.95f, h * 0.1f}, 120), 1.6f, 1.6f);
  Mask halo = neon;
  Blur(halo, 9);
  AddLight(c, halo, Colour{1.0f, 0.35f, 0.1f}, 1.6f);
  AddLight(c, neon, Colour{1.0f, 0.85f, 0.6f}, 1.0f);
  TextStyle signature{FontStyle::Sans, 20, 1.0f, 0.6f};
  const char* mark = "OVALITH  \xC2\xB7  MMIII";
  Paint(c, TextMask(c, signature, mark, w - 40 - MeasureText(signature, mark), h - 30.0f, false), Colour{0.6f, 0.65f, 0.7f});
}

namespace {
// The raptor in profile facing left, standing with its weight on the near leg; `s` is its
// body length in pixels, `at` the middle of its body. Built of tapered strokes and filled
// shapes so that its outline stays smooth at any size.
void Raptor(Mask& m, Point at, float s) {
  auto P = [&](float x, float y) { return at + Point{x * s, y * s}; };
  FillEllipse(m, P(0, 0), 0.42f * s, 0.2f * s, -0.12f);
  FillEllipse(m, P(0.12f, 0.02f), 0.3f * s, 0.21f * s, 0.0f);  // haunch
  // Neck rising to the head.
  std::vector<Point> neck = SmoothPath({P(-0.26f, -0.04f), P(-0.45f, -0.2f), P(-0.5f, -0.38f), P(-0.57f, -0.5f)}, 10);
  std::vector<float> neckR;
  for (size_t i = 0; i < neck.size(); i++) neckR.push_back(s * Lerp(0.17f, 0.085f, (float)i / (neck.size() - 1)));
  StrokeVarying(m, neck, neckR);
  // Head: skull and upper jaw, and a lower jaw hanging open.
  FillPolygon(m, {P(-0.5f, -0.56f), P(-0.58f, -0.63f), P(-0.7f, -0.63f), P(-0.86f, -0.575f), P(-0.95f, -0.535f),
                  P(-0.955f, -0.51f), P(-0.8f, -0.5f), P(-0.64f, -0.47f), P(-0.54f, -0.44f)});
  FillPolygon(m, {P(-0.6f, -0.47f), P(-0.88f, -0.41f), P(-0.9f, -0.385f), P(-0.7f, -0.39f), P(-0.55f, -0.42f)});
  // Tail: long and stiff, tapering out behind.
  std::vector<Point> tail = SmoothPath({P(0.3f, -0.05f), P(0.7f, -0.14f), P(1.1f, -0.22f), P(1.5f, -0.26f), P(1.75f, -0.25f)}, 12);
  std::vector<float> tailR;
  for (size_t i = 0; i < tail.size(); i++) {
    float t = (float)i / (tail.size() - 1);
    tailR.push_back(s * (0.17f * (1 - t) * (1 - t) + 0.006f));
  }
  StrokeVarying(m, tail, tailR);
  // Legs: thigh, shin, long foot bone, toes; the sickle claw of the second toe held up.
  auto leg = [&](Point hip, Point knee, Point ankle, Point heel, Point toe, float k) {
    StrokeVarying(m, {hip, knee}, {0.16f * s * k, 0.085f * s * k});
    StrokeVarying(m, {knee, ankle}, {0.085f * s * k, 0.05f * s * k});
    StrokeVarying(m, {ankle, heel}, {0.045f * s * k, 0.03f * s * k});
    StrokeVarying(m, {heel, toe}, {0.026f * s * k, 0.008f * s * k});
    Point claw0 = heel + Point{-0.02f * s, -0.01f * s};
    std::vector<Point> claw = Bezier(claw0, claw0 + Point{-0.05f * s, -0.06f * s}, claw0 + Point{-0.1f * s, -0.05f * s},
                                     claw0 + Point{-0.11f * s, 0.0f}, 8);
    Stroke(m, claw, 0.018f * s * k, 0.004f * s);
  };
  leg(P(0.2f, 0.02f), P(0.34f, 0.28f), P(0.48f, 0.5f), P(0.5f, 0.74f), P(0.34f, 0.78f), 0.9f);   // far leg
  leg(P(0.05f, 0.05f), P(-0.07f, 0.33f), P(0.1f, 0.55f), P(0.02f, 0.76f), P(-0.18f, 0.79f), 1.0f);  // near leg
  // Arms held forward, three clawed fingers.
  std::vector<Point> arm = SmoothPath({P(-0.3f, 0.02f), P(-0.36f, 0.16f), P(-0.5f, 0.14f)}, 6);
  Stroke(m, arm, 0.04f * s, 0.02f * s);
  for (int f = 0; f < 3; f++) {
    Point base = arm.back();
    Point tip = base + Point{(-0.07f + f * 0.015f) * s, (0.03f + f * 0.03f) * s};
    Stroke(m, Bezier(base, base + (tip - base) * 0.5f + Point{-0.01f * s, -0.02f * s}, tip, tip, 6), 0.012f * s, 0.003f * s);
  }
}

// A fern: arching fronds with leaflets, from one root.
void Fern(Mask& m, Point root, float size, Rng& rng) {
  for (int f = 0; f < 7; f++) {
    float a = -Pi / 2 + (f - 3) * 0.42f + rng.Range(-0.1f, 0.1f);
    Point tip = root + Point{std::cos(a) * size, std::sin(a) * size * 0.8f + size * 0.25f};
    Point c1 = root + Point{std::cos(a) * size * 0.4f, std::sin(a) * size * 0.9f};
    std::vector<Point> frond = Bezier(root, c1, tip + Point{0, -size * 0.2f}, tip, 20);
    Stroke(m, frond, size * 0.02f, size * 0.005f);
    for (size_t k = 1; k < frond.size(); k++) {
      float leaf = size * 0.16f * (1 - (float)k / frond.size());
      for (int side : {-1, 1}) Stroke(m, {frond[k], frond[k] + Point{side * leaf, -leaf * 0.3f}}, size * 0.012f, size * 0.003f);
    }
  }
}
}  // namespace

void DrawRaptorPoster(Image& c) {
  int w = c.width, h = c.height;
  Point sun{w * 0.6f, h * 0.5f};
  // A burning jungle dusk: deep red above, orange at the horizon, a huge low sun.
  Ramp sky{{0.0f, {0.18f, 0.03f, 0.06f}}, {0.4f, {0.6f, 0.12f, 0.06f}}, {0.7f, {0.95f, 0.42f, 0.1f}}, {1.0f, {1.0f, 0.75f, 0.3f}}};
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (float)x / w, v = (float)y / h;
      Colour col = sky(v / 0.78f);
      float dx = x - sun.x, dy = y - sun.y, r = std::sqrt(dx * dx + dy * dy);
      col += Colour{1.0f, 0.6f, 0.25f} * (std::exp(-r / 180.0f) * 0.6f);
      float disc = Clamp01(215 - r);
      col = Mix(col, Mix(Colour{1.0f, 0.92f, 0.6f}, Colour{1.0f, 0.55f, 0.15f}, Clamp01(dy / 215 * 0.5f + 0.5f)), disc);
      float haze = Fbm(u * 3, v * 10, 0, 0, 5, 0.5f, 241);
      col = col * (0.9f + 0.12f * haze);
      // Bands of mist across the sun.
      float band = std::sin(v * 90) * 0.5f + 0.5f;
      if (r < 215 && v > 0.55f) col = Mix(col, sky(0.45f), Smoothstep(0.8f, 1.0f, band) * 0.7f * Smoothstep(0.55f, 0.65f, v));
      c.At(x, y) = col;
    }
  // Flying reptiles far off.
  Mask birds(w, h);
  Rng rng(242);
  for (int i = 0; i < 5; i++) {
    Point p{rng.Range(0.1f, 0.5f) * w, rng.Range(0.12f, 0.35f) * h};
    float span = rng.Range(14, 30);
    Stroke(birds, Bezier(p + Point{-span, -span * 0.3f}, p + Point{-span * 0.5f, -span * 0.4f}, p + Point{-span * 0.2f, 0}, p, 8), 1.6f, 1.0f);
    Stroke(birds, Bezier(p, p + Point{span * 0.2f, 0}, p + Point{span * 0.5f, -span * 0.4f}, p + Point{span, -span * 0.3f}, 8), 1.0f, 1.6f);
  }
  Paint(c, birds, Colour{0.15f, 0.03f, 0.04f});
  // Far jungle hills, hazy; then the near jungle in black.
  Mask far(w, h), near(w, h);
  for (int x = 0; x < w; x++) {
    float u = (float)x / w;
    float top = h * (0.7f - 0.06f * (Fbm(u * 4, 0.5f, 0, 0, 5, 0.5f, 243) + 0.6f));
    for (int y = 0; y < h; y++) far.At(x, y) = Clamp01(y + 0.5f - top);
  }
  // A second hunter far off on the hills, in their haze.
  Raptor(far, {w * 0.27f, h * 0.655f - 0.78f * 60}, 60);
  Paint(c, far, Colour{0.45f, 0.13f, 0.08f});
  for (int x = 0; x < w; x++) {
    float u = (float)x / w;
    float top = h * (0.83f - 0.03f * Fbm(u * 10, 0.5f, 0, 0, 4, 0.5f, 244));
    for (int y = 0; y < h; y++) near.At(x, y) = Clamp01(y + 0.5f - top);
  }
  DrawPalm(near, {w * 0.08f, h * 0.9f}, h * 0.62f, w * 0.06f, rng);
  DrawPalm(near, {w * 0.17f, h * 0.9f}, h * 0.45f, -w * 0.05f, rng);
  DrawPalm(near, {w * 0.93f, h * 0.9f}, h * 0.7f, -w * 0.08f, rng);
  DrawPalm(near, {w * 0.84f, h * 0.88f}, h * 0.38f, w * 0.03f, rng);
  for (int i = 0; i < 9; i++) Fern(near, {rng.Range(0.0f, 1.0f) * w, h * rng.Range(0.86f, 0.95f)}, rng.Range(90, 170), rng);
  // The rock the raptor stands on.
  std::vector<Point> rock;
  for (int i = 0; i <= 60; i++) {
    float t = i / 60.0f;
    float x = w * Lerp(0.37f, 0.78f, t);
    float hump = std::sin(t * Pi);
    float y = h * (0.87f - 0.13f * std::pow(hump, 0.4f)) + 8 * Noise(t * 9, 0.5f, 0, 0, 245);
    rock.push_back({x, y});
  }
  rock.push_back({w * 0.78f, h * 0.9f});
  rock.push_back({w * 0.37f, h * 0.9f});
  FillPolygon(near, rock);
  Raptor(near, {w * 0.58f, h * 0.735f - 0.78f * 230}, 230);
  Mask rim = Shift(near, -3, 3);
  for (size_t i = 0; i < rim.values.size(); i++) rim.values[i] = Clamp01(near.values[i] - rim.values[i]);
  Paint(c, near, Colour{0.03f, 0.01f, 0.02f});
  // A thin line of sunlight on the edges that face the sun.
  AddLight(c, rim, Colour{0.9f, 0.4f, 0.1f}, 0.6f);
  // The raptor's eye catches the light.
  Mask eye(w, h);
  FillDisc(eye, {w * 0.58f - 0.72f * 230, h * 0.735f - 0.78f * 230 - 0.575f * 230}, 4.5f);
  AddLight(c, eye, Colour{1.0f, 0.7f, 0.2f});
  // Poster lettering.
  TextStyle headline = Fit(TextStyle{FontStyle::SansCondensedBold, 92, 1.0f, 0.25f}, "THE HUNT BEGINS AT DUSK", w * 0.86f);
  Mask head = TextMask(c, headline, "THE HUNT BEGINS AT DUSK", w * 0.5f, h * 0.13f);
  Mask headShadow = Shift(head, 3, 4);
  Blur(headShadow, 4);
  Paint(c, headShadow, Colour{0.1f, 0.0f, 0.0f}, 0.7f);
  PaintRamp(c, head, Ramp{{0.0f, {1.0f, 0.95f, 0.75f}}, {1.0f, {1.0f, 0.7f, 0.3f}}}, h * 0.13f - CapHeight(headline), h * 0.13f);
  const char* line = "OVALITH  \xC2\xB7  VELLUMAR 2  \xC2\xB7  IN THE JUNGLE NOBODY HEARS YOU RUN";
  TextStyle credit = Fit(TextStyle{FontStyle::Sans, 22, 1.0f, 0.5f}, line, w * 0.9f);
  Paint(c, TextMask(c, credit, "OVALITH  \xC2\xB7  VELLUMAR 2  \xC2\xB7  IN THE JUNGLE NOBODY HEARS YOU RUN", w * 0.5f, h * 0.965f),
        Colour{0.85f, 0.45f, 0.2f});
}

void DrawScrollPage(Image& c) {
  int w = c.width, h = c.height;
  // A dark page with gold rules down its sides, so its edges read against the black screen.
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (float)x / w, v = (float)y / h;
      float n = Fbm(u * 4, v * 12, 0, 0, 4, 0.5f, 251) * 0.5f + 0.5f;
      float side = std::pow(std::fabs(u - 0.5f) * 2, 4.0f);
      Colour col = Mix(Colour{0.03f, 0.035f, 0.07f}, Colour{0.07f, 0.06f, 0.12f}, n);
      c.At(x, y) = col * (1 - 0.5f * side);
    }
  Mask rules(w, h);
  for (float x : {34.0f, 44.0f, w - 44.0f, w - 34.0f}) {
    float r = (x == 34.0f || x == w - 34.0f) ? 2.0f : 1.0f;
    Stroke(rules, {{x, 40}, {x, h - 40.0f}}, r, r);
  }
  Paint(c, rules, Colour{0.75f, 0.58f, 0.28f});

  Mask white(w, h), grey(w, h), gold(w, h);
  float y = 240, mid = w / 2.0f;
  const float column = w - 200.0f;  // lettering stays well inside the side rules
  TextStyle title = Fit(TextStyle{FontStyle::SansBold, 124, 1.0f, 0.03f}, "VELLUMAR 2", column);
  Mask head = TextMask(c, title, "VELLUMAR 2", mid, y);
  Mask glow = Grow(head, 4);
  Blur(glow, 16);
  AddLight(c, glow, Colour{0.3f, 0.45f, 1.0f}, 0.6f);
  PaintRamp(c, head, ChromeLetters, y - CapHeight(title), y);
  y += 80;
  const char* byline = "AN OVALITH PRODUCTION  \xC2\xB7  2003";
  DrawText(grey, Fit(TextStyle{FontStyle::Sans, 38, 1.0f, 0.3f}, byline, column), byline, mid, y, true);
  auto heading = [&](const char* text) {
    y += 170;
    TextStyle style{FontStyle::SansBold, 62, 1.0f, 0.25f};
    DrawText(gold, style, text, mid, y, true);
    float half = MeasureText(style, text) / 2 + 30;
    Stroke(gold, {{mid - half - 120, y - 22}, {mid - half, y - 22}}, 1.5f, 1.5f);
    Stroke(gold, {{mid + half, y - 22}, {mid + half + 120, y - 22}}, 1.5f, 1.5f);
    y += 40;
  };
  auto credit = [&](const char* role, const char* name) {
    y += 72;
    TextStyle roleStyle{FontStyle::Sans, 36, 1.0f, 0.15f};
    DrawText(grey, roleStyle, role, mid - 24 - MeasureText(roleStyle, role), y);
    DrawText(white, TextStyle{FontStyle::SansBold, 46}, name, mid + 24, y);
  };
  heading("CREDITS");
  credit("code", "Quill");
  credit("engine and tools", "Quill & Brisk");
  credit("graphics", "Mirel");
  credit("3d scenes", "Tarn");
  credit("raptor animation", "Tarn & Mirel");
  credit("music", "Sable");
  credit("second track", "Sable & Orrin");
  heading("GREETINGS");
  const char* groups[] = {"Nocturne",    "Ferrofluid", "Halcyon",      "Pixelwright", "Lumen Drift", "Ashgrove",
                          "Parhelion",   "Quiet Engine", "Tessellate", "Glasshouse",  "Umbra Vale",  "Kestrel",
                          "Silverfish",  "Morrow",     "Cinder Bloc", "Northlight",  "Velvet Static", "Ossuary",
                          "Paper Tigers", "Low Orbit", "Saltmarsh",   "Wintergreen", "Brass Monkeys", "Heliograph"};
  TextStyle groupStyle{FontStyle::SansBold, 44};
  for (size_t i = 0; i < sizeof groups / sizeof groups[0]; i += 2) {
    y += 68;
    DrawText(white, groupStyle, groups[i], mid - 40 - MeasureText(groupStyle, groups[i]), y);
    DrawText(white, groupStyle, groups[i + 1], mid + 40, y);
    FillDisc(gold, {mid, y - 15}, 5);
  }
  heading("THANKS");
  TextStyle prose{FontStyle::Serif, 36};
  for (const char* line : {"to everyone who still codes at four in the morning,", "to the organisers and the sound crew,",
                           "and to you for watching to the end."}) {
    y += 58;
    DrawText(grey, Fit(prose, line, column), line, mid, y, true);
  }
  heading("MADE WITH");
  for (const char* line : {"our own engine, a C++ compiler and a lot of coffee", "lettering in the DejaVu typefaces",
                           "no pixel drawn by hand: every picture is generated"}) {
    y += 58;
    DrawText(grey, Fit(prose, line, column), line, mid, y, true);
  }
  y += 200;
  DrawText(gold, TextStyle{FontStyle::SerifItalic, 60}, "see you at the next party", mid, y, true);
  y += 130;
  Mask sign = TextMask(c, TextStyle{FontStyle::SansBold, 90, 1.0f, 0.1f}, "OVALITH", mid, y);
  Mask signGlow = Grow(sign, 3);
  Blur(signGlow, 12);
  AddLight(c, signGlow, Colour{1.0f, 0.4f, 0.1f}, 0.7f);
  PaintRamp(c, sign, Ramp{{0.0f, {1.0f, 1.0f, 0.85f}}, {1.0f, {1.0f, 0.55f, 0.15f}}}, y - 66, y);
  Paint(c, grey, Colour{0.68f, 0.7f, 0.78f});
  Paint(c, white, Colour{0.97f, 0.97f, 1.0f});
  Paint(c, gold, Colour{1.0f, 0.72f, 0.3f});
}
