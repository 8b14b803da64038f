// tools/bake/scenes/comput.cpp - the computer room: maps/comput.3ds, maps/comput.vlo and
// the pictures its materials name.
//
// An L-shaped machine hall under cool fluorescent panels. The camera enters the cold aisle
// between two rows of racks whose fronts blink, leaves it into the operations room (two
// rows of desks with glowing terminals facing a wall of status displays), and swings right
// towards a smoking mainframe with tape drives spinning beside it.
//
// Scale: one unit is 5 cm (racks 42 units tall, desks 15, the eye about 35), which matches
// the emitter settings the show gives this scene (sprites 10 units across rising 17).
// Frames run at 100 per second of scene time: the camera plays frames 100 to 2300.
//
// Blinking lights: every lamp is an additive quad in one of a few groups per facing and
// colour; a group's position track steps it 1.5 units into its machine (where the machine's
// front hides it) and back out, so groups blink on and off with their own rhythms.
// Tape reels turn by rotation tracks about their own centres.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

#include "tools/bake/draw.h"
#include "tools/bake/noise.h"
#include "tools/bake/scenes/light_bake.h"
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"
#include "tools/bake/text.h"

namespace {

// ---------------------------------------------------------------------------------------
// Painting helpers.

float Overlap(float a0, float a1, float b0, float b1) { return std::max(0.0f, std::min(a1, b1) - std::max(a0, b0)); }

// A rectangle in pixel coordinates with fractional edges, mixed over the picture.
void FillRect(Image& c, float x0, float y0, float x1, float y1, Colour col, float alpha = 1.0f) {
  int ix0 = std::max(0, (int)std::floor(x0)), ix1 = std::min(c.width, (int)std::ceil(x1));
  int iy0 = std::max(0, (int)std::floor(y0)), iy1 = std::min(c.height, (int)std::ceil(y1));
  for (int y = iy0; y < iy1; y++) {
    float cy = Overlap((float)y, y + 1.0f, y0, y1);
    for (int x = ix0; x < ix1; x++) {
      float a = cy * Overlap((float)x, x + 1.0f, x0, x1) * alpha;
      c.At(x, y) = Mix(c.At(x, y), col, a);
    }
  }
}

// A raised (or, with a negative depth, sunk) panel edge: light top-left, dark bottom-right.
void Bevel(Image& c, float x0, float y0, float x1, float y1, float depth) {
  float w = std::fabs(depth);
  bool raised = depth > 0;
  Colour light{1, 1, 1}, dark{0, 0, 0};
  FillRect(c, x0, y0, x1, y0 + w, raised ? light : dark, raised ? 0.25f : 0.35f);
  FillRect(c, x0, y0, x0 + w, y1, raised ? light : dark, raised ? 0.18f : 0.3f);
  FillRect(c, x0, y1 - w, x1, y1, raised ? dark : light, raised ? 0.35f : 0.18f);
  FillRect(c, x1 - w, y0, x1, y1, raised ? dark : light, raised ? 0.3f : 0.12f);
}

// Multiplies every pixel by a little grain and a slow, seamless mottling.
void Grime(Image& c, float grain, float mottle, int period, uint32_t seed) {
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width, v = (float)y / c.height;
      float m = Fbm(u * period, v * period, period, period, 4, 0.5f, seed) * mottle;
      float g = ((Hash(x, y, seed + 7) & 1023) / 1023.0f - 0.5f) * grain;
      c.At(x, y) = c.At(x, y) * (1 + m + g);
    }
}

// Soft round glow added at (cx, cy) with radius r (pixels).
void AddGlow(Image& c, float cx, float cy, float r, Colour col) {
  int x0 = std::max(0, (int)(cx - r * 3)), x1 = std::min(c.width, (int)(cx + r * 3) + 1);
  int y0 = std::max(0, (int)(cy - r * 3)), y1 = std::min(c.height, (int)(cy + r * 3) + 1);
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) {
      float dx = (x + 0.5f - cx) / r, dy = (y + 0.5f - cy) / r;
      float d2 = dx * dx + dy * dy;
      c.At(x, y) += col * (std::exp(-d2 * 2.5f) * 0.8f + std::exp(-d2 * 0.5f) * 0.2f);
    }
}

// A painted indicator lamp: a dark socket with a dim coloured lens.
void Lamp(Image& c, float cx, float cy, float r, Colour col, float lit) {
  Mask m(c.width, c.height);
  FillDisc(m, {cx, cy}, r * 1.5f);
  Paint(c, m, Colour{0.03f, 0.03f, 0.03f});
  Mask lens(c.width, c.height);
  FillDisc(lens, {cx, cy}, r);
  Paint(c, lens, col * (0.25f + 0.75f * lit));
  Mask glint(c.width, c.height);
  FillDisc(glint, {cx - r * 0.35f, cy - r * 0.35f}, r * 0.35f);
  Paint(c, glint, Colour{1, 1, 1}, 0.35f);
}

// Horizontal vent slots across a region.
void Vents(Image& c, float x0, float y0, float x1, float y1, float pitch, Colour dark) {
  for (float y = y0; y + pitch * 0.5f <= y1; y += pitch) {
    FillRect(c, x0, y, x1, y + pitch * 0.45f, dark, 0.85f);
    FillRect(c, x0, y + pitch * 0.45f, x1, y + pitch * 0.6f, Colour{1, 1, 1}, 0.08f);
  }
}

// Lines of terminal text in a phosphor colour on a dark glass, with glow and scan lines.
Image PaintTerminal(int w, int h, Colour phosphor, uint32_t seed, bool graph) {
  Image c(w, h, phosphor * 0.03f);
  Mask ink(w, h);
  Rng rng(seed);
  TextStyle style;
  style.font = FontStyle::Mono;
  style.size = h / 17.0f;
  const char* words[] = {"OK", "READY", "LOAD", "SYS", "NODE", "CPU", "MEM", "I/O", "JOB", "RUN", "ERR", "TAPE",
                         "DISK", "QUEUE", "LINK", "SCAN", "BUSY", "DUMP", "SYNC", "PORT"};
  float lineH = h / 14.0f;
  int lines = graph ? 5 : 13;
  for (int l = 0; l < lines; l++) {
    std::string s;
    int kind = (int)(rng.Unit() * 4);
    if (l == 0) {
      s = graph ? "LOAD  MONITOR" : "VX/OS 4.2  CONSOLE";
    } else if (kind == 0) {
      char buf[16];
      snprintf(buf, sizeof buf, "%04X:", (unsigned)(rng.Next() & 0xFFFF));
      s = buf;
      for (int k = 0; k < 6; k++) {
        snprintf(buf, sizeof buf, " %02X", (unsigned)(rng.Next() & 255));
        s += buf;
      }
    } else {
      int n = 2 + (int)(rng.Unit() * 3);
      for (int k = 0; k < n; k++) {
        if (k) s += " ";
        s += words[rng.Next() % 20];
        if (rng.Unit() < 0.5f) s += std::to_string(rng.Next() % 100);
      }
      if (rng.Unit() < 0.4f) s += " ...";
    }
    if (l == lines - 1 && !graph) s = "> _";
    DrawText(ink, style, s, w * 0.07f, lineH * (l + 1.6f));
  }
  if (graph) {
    // Bars and a trace in the lower half.
    for (int b = 0; b < 12; b++) {
      float x0 = w * (0.08f + b * 0.072f), top = h * (0.95f - (0.1f + 0.35f * rng.Unit()));
      FillPolygon(ink, {{x0, h * 0.92f}, {x0 + w * 0.05f, h * 0.92f}, {x0 + w * 0.05f, top}, {x0, top}}, 0.8f);
    }
    std::vector<Point> trace;
    for (int k = 0; k <= 40; k++)
      trace.push_back({w * (0.08f + 0.84f * k / 40), h * (0.5f + 0.06f * std::sin(k * 0.7f) + 0.04f * rng.Range(-1, 1))});
    Stroke(ink, trace, 1.2f, 1.2f);
  }
  Mask halo = ink;
  Blur(halo, h / 110.0f);
  AddLight(c, halo, phosphor, 0.55f);
  AddLight(c, ink, phosphor, 0.9f);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (x + 0.5f) / w * 2 - 1, v = (y + 0.5f) / h * 2 - 1;
      float corner = 1 - 0.45f * Smoothstep(0.5f, 1.4f, u * u + v * v);
      float scan = (y % 3 == 2) ? 0.7f : 1.0f;
      c.At(x, y) = c.At(x, y) * (corner * scan);
    }
  return c;
}

// ---------------------------------------------------------------------------------------
// The pictures.

const Colour Phosphor{0.25f, 1.0f, 0.45f}, Amber{1.0f, 0.62f, 0.15f}, Cyan{0.3f, 0.75f, 1.0f};

Image PaintFloor() {
  // Two by two raised-floor tiles (60 cm each): pale speckled vinyl, dark joints with a
  // bevel, one perforated air tile.
  const int s = 256, t = 128;
  Image c(s, s);
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float u = (float)x / s, v = (float)y / s;
      float fleck = (Hash(x, y, 51) % 100) < 6 ? -0.12f : (Hash(x, y, 52) % 100) < 4 ? 0.08f : 0.0f;
      float cloud = Fbm(u * 8, v * 8, 8, 8, 3, 0.5f, 53) * 0.04f;
      float tone = 0.78f + fleck + cloud + 0.03f * (float)((x / t + 2 * (y / t)) % 3);
      c.At(x, y) = Colour{tone * 0.97f, tone * 0.98f, tone};
    }
  // The perforated tile (top right): a square grid of holes.
  for (int hy = 0; hy < 14; hy++)
    for (int hx = 0; hx < 14; hx++) {
      float cx = t + 12 + hx * 7.9f, cy = 12 + hy * 7.9f;
      FillRect(c, cx - 2, cy - 2, cx + 2, cy + 2, Colour{0.12f, 0.12f, 0.13f}, 0.9f);
    }
  for (int k = 0; k < 2; k++) {
    float e = (float)(k * t);
    FillRect(c, e - 1.5f, 0, e + 1.5f, (float)s, Colour{0.18f, 0.18f, 0.2f});
    FillRect(c, 0, e - 1.5f, (float)s, e + 1.5f, Colour{0.18f, 0.18f, 0.2f});
    FillRect(c, e + 1.5f, 0, e + 3, (float)s, Colour{1, 1, 1}, 0.25f);
    FillRect(c, 0, e + 1.5f, (float)s, e + 3, Colour{1, 1, 1}, 0.25f);
  }
  // The seam at x = 0 wraps to the right edge, so draw its left half there too.
  FillRect(c, s - 1.5f, 0, (float)s, (float)s, Colour{0.18f, 0.18f, 0.2f});
  FillRect(c, 0, s - 1.5f, (float)s, (float)s, Colour{0.18f, 0.18f, 0.2f});
  return c;
}

Image PaintCeiling() {
  // Acoustic tiles with pitted fissures in a white T-bar grid.
  const int s = 256;
  Image c(s, s);
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float u = (float)x / s, v = (float)y / s;
      float fiss = RidgedFbm(u * 16, v * 16, 16, 16, 3, 0.5f, 61);
      float pit = (Hash(x, y, 62) % 100) < 8 ? 0.12f : 0.0f;
      float g = 0.74f - 0.18f * std::pow(fiss, 4.0f) - pit;
      c.At(x, y) = Colour{g, g * 0.99f, g * 0.96f};
    }
  for (int k = 0; k <= 2; k++) {
    float e = k * 128.0f;
    FillRect(c, e - 3, 0, e + 3, (float)s, Colour{0.86f, 0.87f, 0.88f});
    FillRect(c, 0, e - 3, (float)s, e + 3, Colour{0.86f, 0.87f, 0.88f});
    FillRect(c, e + 3, 0, e + 5, (float)s, Colour{0, 0, 0}, 0.2f);
    FillRect(c, 0, e + 3, (float)s, e + 5, Colour{0, 0, 0}, 0.2f);
  }
  return c;
}

Image PaintWall() {
  // Blue-grey wall panels (repeating sideways), a dark blue band at mid height and a
  // black skirting; top of the picture is the top of the wall.
  const int s = 256;
  Image c(s, s, Colour{0.52f, 0.56f, 0.62f});
  Grime(c, 0.04f, 0.06f, 4, 71);
  FillRect(c, 0, s * 0.56f, (float)s, s * 0.6f, Colour{0.12f, 0.2f, 0.38f});
  FillRect(c, 0, s * 0.6f, (float)s, s * 0.605f, Colour{0.8f, 0.82f, 0.85f}, 0.6f);
  FillRect(c, 0, s * 0.93f, (float)s, (float)s, Colour{0.07f, 0.07f, 0.08f});
  FillRect(c, 0, s * 0.925f, (float)s, s * 0.93f, Colour{1, 1, 1}, 0.2f);
  for (int k = 0; k < 2; k++) {
    float e = k * 128.0f + 1;
    FillRect(c, e - 1, 0, e + 1, s * 0.93f, Colour{0.2f, 0.22f, 0.25f});
    FillRect(c, e + 1, 0, e + 2.5f, s * 0.93f, Colour{1, 1, 1}, 0.15f);
  }
  return c;
}

Image PaintMetal(Colour base, uint32_t seed) {
  // Powder-coated steel: fine grain, faint streaks, tiling.
  const int s = 128;
  Image c(s, s, base);
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float u = (float)x / s, v = (float)y / s;
      float streak = Fbm(u * 2, v * 32, 2, 32, 3, 0.5f, seed) * 0.06f;
      float g = ((Hash(x, y, seed + 3) & 255) / 255.0f - 0.5f) * 0.08f;
      c.At(x, y) = base * (1 + streak + g);
    }
  return c;
}

// A rack front, 512 rows for 42 units (about 12 rows per unit) and 256 columns for 12.
// kind 0: servers, 1: disk arrays, 2: network switches and patch panels.
Image PaintRackFront(int kind, uint32_t seed) {
  const int w = 256, h = 512;
  Image c(w, h, Colour{0.06f, 0.06f, 0.07f});
  Rng rng(seed);
  const float rail = 16, unit = 10.5f;  // side rails, pixels per rack unit
  // Rails with their square holes.
  for (float x0 : {0.0f, w - rail}) {
    FillRect(c, x0, 0, x0 + rail, (float)h, Colour{0.2f, 0.21f, 0.23f});
    for (float y = 6; y < h; y += unit)
      FillRect(c, x0 + 5, y, x0 + 10, y + 4, Colour{0.02f, 0.02f, 0.02f});
  }
  // The door frame: a brushed top plate with a badge, a vent at the bottom.
  FillRect(c, rail, 0, w - rail, 26, Colour{0.16f, 0.17f, 0.19f});
  FillRect(c, w * 0.36f, 8, w * 0.64f, 18, Colour{0.55f, 0.58f, 0.62f});
  Vents(c, rail, h - 34.0f, w - rail, h - 4.0f, 5, Colour{0.01f, 0.01f, 0.01f});
  float y = 30;
  while (y < h - 40) {
    int units = kind == 1 ? 3 : (int)(1 + rng.Next() % (kind == 2 ? 2 : 4));
    float y1 = std::min(y + units * unit, h - 40.0f);
    if (y1 - y < unit * 0.9f) break;
    float x0 = rail + 2, x1 = w - rail - 2;
    float blank = rng.Unit();
    if (blank < 0.08f) {
      FillRect(c, x0, y, x1, y1, Colour{0.1f, 0.1f, 0.11f});  // blanking plate
      Bevel(c, x0, y, x1, y1, 1);
      y = y1 + 1;
      continue;
    }
    float shade = rng.Unit();
    Colour face = kind == 0 ? (shade < 0.35f   ? Colour{0.2f, 0.21f, 0.23f}
                               : shade < 0.7f ? Colour{0.38f, 0.39f, 0.42f}
                                              : Colour{0.66f, 0.67f, 0.68f})
                  : kind == 1 ? Colour{0.22f, 0.23f, 0.26f}
                              : Colour{0.28f, 0.3f, 0.36f};
    FillRect(c, x0, y, x1, y1, face);
    Bevel(c, x0, y, x1, y1, 1.5f);
    // Ears with thumb screws.
    for (float ex : {x0 + 5, x1 - 5}) {
      FillRect(c, ex - 4, y + 2, ex + 4, y1 - 2, face * 0.7f);
      Mask screw(w, h);
      FillDisc(screw, {ex, (y + y1) / 2}, 2.2f);
      Paint(c, screw, Colour{0.7f, 0.7f, 0.72f});
    }
    if (kind == 0) {
      // Server: a vented bezel, drive bays on the wider ones, a power lamp.
      Vents(c, x0 + 14, y + 3, x0 + (x1 - x0) * 0.45f, y1 - 3, 3.2f, face * 0.3f);
      if (units >= 2) {
        int bays = 4;
        for (int b = 0; b < bays; b++) {
          float bx = x0 + (x1 - x0) * (0.5f + b * 0.11f);
          FillRect(c, bx, y + 3, bx + (x1 - x0) * 0.1f, y1 - 3, Colour{0.08f, 0.08f, 0.09f});
          Bevel(c, bx, y + 3, bx + (x1 - x0) * 0.1f, y1 - 3, 1);
          FillRect(c, bx + 2, y + 5, bx + 6, y + 7, Colour{0.2f, 0.5f, 0.25f});
        }
      } else {
        FillRect(c, x0 + (x1 - x0) * 0.5f, y + 2.5f, x1 - 14, y1 - 2.5f, face * 0.55f);
      }
      Lamp(c, x1 - 18, y + 5, 1.8f, rng.Unit() < 0.85f ? Phosphor : Amber, 0.3f);
      if (rng.Unit() < 0.5f) FillRect(c, x0 + 14, y1 - 5, x0 + 40, y1 - 2, Colour{0.85f, 0.85f, 0.8f});  // label
    } else if (kind == 1) {
      // Disk array: a row of caddies, each with a handle and an activity lamp.
      int bays = 12;
      float bw = (x1 - x0 - 24) / bays;
      for (int b = 0; b < bays; b++) {
        float bx = x0 + 12 + b * bw;
        FillRect(c, bx + 0.5f, y + 2, bx + bw - 0.5f, y1 - 2, Colour{0.3f, 0.31f, 0.34f});
        Bevel(c, bx + 0.5f, y + 2, bx + bw - 0.5f, y1 - 2, 1);
        Vents(c, bx + 2, y + 6, bx + bw - 2, y1 - 10, 2.5f, Colour{0.05f, 0.05f, 0.06f});
        FillRect(c, bx + 2, y1 - 8, bx + bw - 2, y1 - 4, Colour{0.6f, 0.6f, 0.62f});
        FillRect(c, bx + bw * 0.3f, y + 3, bx + bw * 0.7f, y + 5, rng.Unit() < 0.9f ? Phosphor * 0.4f : Amber * 0.6f);
      }
    } else {
      // Switch: rows of ports with their link lamps, patch panels with numbered jacks.
      bool patch = rng.Unit() < 0.4f;
      int ports = 24;
      float pw = (x1 - x0 - 30) / (ports / 2);
      for (int p = 0; p < ports; p++) {
        float px = x0 + 15 + (p % 12) * pw, py = y + 2.5f + (p / 12) * (y1 - y - 5) / 2;
        float ph = (y1 - y - 5) / 2 - 1.5f;
        FillRect(c, px + 1, py + ph * 0.25f, px + pw - 1, py + ph, Colour{0.01f, 0.01f, 0.01f});
        if (!patch) FillRect(c, px + 1, py, px + 3, py + ph * 0.2f, rng.Unit() < 0.7f ? Phosphor * 0.5f : Amber * 0.5f);
        else FillRect(c, px + 1, py, px + pw - 1, py + ph * 0.2f, Colour{0.8f, 0.8f, 0.78f}, 0.7f);
        // Plugged cables: a blue or yellow boot in the jack.
        if (rng.Unit() < 0.55f) {
          Colour boot = rng.Unit() < 0.7f ? Colour{0.12f, 0.3f, 0.75f} : Colour{0.85f, 0.7f, 0.12f};
          FillRect(c, px + 2, py + ph * 0.35f, px + pw - 2, py + ph, boot);
        }
      }
    }
    y = y1 + 1;
  }
  Grime(c, 0.05f, 0.0f, 1, seed + 9);
  return c;
}

Image PaintLed(Colour col) {
  // A lit lamp seen from the front: a white-hot core, its colour, a halo; black around.
  const int s = 128;
  Image c(s, s);
  AddGlow(c, s / 2.0f, s / 2.0f, s * 0.16f, col * 1.3f);
  AddGlow(c, s / 2.0f, s / 2.0f, s * 0.07f, Colour{0.8f, 0.8f, 0.8f});
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float dx = (x + 0.5f) / s * 2 - 1, dy = (y + 0.5f) / s * 2 - 1;
      c.At(x, y) = c.At(x, y) * (1 - Smoothstep(0.7f, 0.98f, std::sqrt(dx * dx + dy * dy)));
    }
  return c;
}

Image PaintWallScreen(uint32_t seed, const std::string& title, Colour ink1) {
  // A network status display: a grid, linked nodes, a title bar and bar charts, in cyan.
  const int w = 512, h = 256;
  Image c(w, h, Colour{0.01f, 0.02f, 0.05f});
  Mask grid(w, h), ink(w, h), hot(w, h);
  for (int k = 0; k <= 16; k++) FillPolygon(grid, {{k * 32.0f, 24}, {k * 32.0f + 1, 24}, {k * 32.0f + 1, (float)h}, {k * 32.0f, (float)h}}, 0.25f);
  for (int k = 1; k <= 8; k++) FillPolygon(grid, {{0, k * 32.0f}, {(float)w, k * 32.0f}, {(float)w, k * 32.0f + 1}, {0, k * 32.0f + 1}}, 0.25f);
  Rng rng(seed);
  std::vector<Point> nodes;
  for (int n = 0; n < 14; n++) nodes.push_back({rng.Range(30, 330), rng.Range(50, 230)});
  for (int n = 0; n < 14; n++) {
    int m = (n * 5 + 3) % 14, k = (n * 3 + 7) % 14;
    Stroke(ink, {nodes[n], nodes[m]}, 0.9f, 0.9f, 0.8f);
    if (n % 2) Stroke(ink, {nodes[n], nodes[k]}, 0.9f, 0.9f, 0.6f);
  }
  for (int n = 0; n < 14; n++) {
    FillDisc(ink, nodes[n], 6);
    if (n == 4 || n == 11) FillDisc(hot, nodes[n], 8);
  }
  FillPolygon(ink, {{0, 0}, {(float)w, 0}, {(float)w, 20}, {0, 20}}, 0.35f);
  TextStyle style;
  style.font = FontStyle::SansCondensedBold;
  style.size = 17;
  DrawText(ink, style, title, 8, 16);
  style.font = FontStyle::Mono;
  style.size = 11;
  for (int b = 0; b < 8; b++) {
    float y0 = 50 + b * 24.0f, len = rng.Range(30, 130);
    FillPolygon(ink, {{360, y0}, {360 + len, y0}, {360 + len, y0 + 12}, {360, y0 + 12}}, 0.8f);
    DrawText(ink, style, "CH" + std::to_string(b + 1), 495 - 30, y0 + 11);
  }
  Mask halo = ink;
  Blur(halo, 2.5f);
  AddLight(c, grid, ink1, 0.5f);
  AddLight(c, halo, ink1, 0.5f);
  AddLight(c, ink, ink1, 0.85f);
  Mask hotHalo = hot;
  Blur(hotHalo, 5);
  AddLight(c, hotHalo, Colour{1.0f, 0.25f, 0.15f}, 1.0f);
  AddLight(c, hot, Colour{1.0f, 0.4f, 0.3f}, 0.8f);
  for (int y = 0; y < h; y++)
    if (y % 3 == 2)
      for (int x = 0; x < w; x++) c.At(x, y) = c.At(x, y) * 0.75f;
  return c;
}

Image PaintKeyboard() {
  // Beige keyboard seen from above: five rows of keys, a darker block of function keys.
  const int w = 256, h = 128;
  Image c(w, h, Colour{0.72f, 0.69f, 0.6f});
  float kw = 13.5f, kh = 18;
  for (int r = 0; r < 5; r++) {
    float y0 = 18 + r * (kh + 2.5f);
    float x = 10 + (r % 2) * 4.0f;
    int keys = 14 - (r == 4 ? 6 : 0);
    for (int k = 0; k < keys; k++) {
      float width = kw;
      if (r == 4 && k == 3) width = kw * 6;  // space bar
      Colour key = (k == 0 || k == keys - 1) ? Colour{0.5f, 0.49f, 0.45f} : Colour{0.82f, 0.8f, 0.72f};
      FillRect(c, x, y0, x + width, y0 + kh, key * 0.6f);
      FillRect(c, x + 1.2f, y0 + 0.8f, x + width - 1.2f, y0 + kh - 3, key);
      FillRect(c, x + 3, y0 + 3, x + 5, y0 + 6, Colour{0.2f, 0.2f, 0.2f}, 0.5f);  // legend
      x += width + 2;
    }
  }
  // Numeric pad.
  for (int r = 0; r < 5; r++)
    for (int k = 0; k < 4; k++) {
      float x0 = 212 + k * 10.5f - 20, y0 = 18 + r * (kh + 2.5f);
      if (x0 + 9 > w - 4) continue;
      FillRect(c, x0, y0, x0 + 9, y0 + kh, Colour{0.4f, 0.39f, 0.35f});
      FillRect(c, x0 + 1, y0 + 1, x0 + 8, y0 + kh - 3, Colour{0.78f, 0.76f, 0.68f});
    }
  FillRect(c, 0, 0, (float)w, 6, Colour{0.5f, 0.48f, 0.42f});
  Lamp(c, 230, 9, 1.6f, Phosphor, 1.0f);
  Grime(c, 0.05f, 0.0f, 1, 91);
  return c;
}

Image PaintBeige() {
  Image c = PaintMetal(Colour{0.78f, 0.74f, 0.64f}, 101);
  return c;
}

Image PaintBezel() {
  // A monitor's front: beige bezel around a dark curved glass, a badge and a power button.
  const int s = 256;
  Image c(s, s, Colour{0.76f, 0.72f, 0.62f});
  Grime(c, 0.04f, 0.05f, 2, 111);
  FillRect(c, 18, 16, s - 18.0f, s - 46.0f, Colour{0.45f, 0.43f, 0.37f});
  Bevel(c, 18, 16, s - 18.0f, s - 46.0f, -3);
  FillRect(c, 26, 24, s - 26.0f, s - 54.0f, Colour{0.04f, 0.05f, 0.05f});
  FillRect(c, 20, s - 30.0f, 70, s - 22.0f, Colour{0.3f, 0.3f, 0.3f});
  Mask b(s, s);
  FillDisc(b, {s - 34.0f, s - 25.0f}, 6);
  Paint(c, b, Colour{0.55f, 0.52f, 0.45f});
  Lamp(c, s - 52.0f, s - 25.0f, 2.2f, Phosphor, 1.0f);
  return c;
}

Image PaintDesk() {
  // Light grey laminate, faintly mottled and worn; tiles.
  const int s = 256;
  Image c(s, s, Colour{0.66f, 0.66f, 0.64f});
  Grime(c, 0.05f, 0.08f, 4, 121);
  return c;
}

Image PaintCable(Colour base, uint32_t seed) {
  // Along v: a round jacket's highlight across u (u runs round the cable), printed marks.
  const int s = 128;
  Image c(s, s);
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float u = (x + 0.5f) / s;
      float round = 0.55f + 0.45f * std::cos((u - 0.25f) * 2 * Pi);
      float mark = (y % 64 < 6 && std::fabs(u - 0.25f) < 0.12f) ? 0.6f : 1.0f;
      float g = 1 + ((Hash(x, y, seed) & 255) / 255.0f - 0.5f) * 0.06f;
      c.At(x, y) = base * (round * mark * g) + Colour{0.1f, 0.1f, 0.1f} * std::pow(round, 8.0f);
    }
  return c;
}

Image PaintTapeFront() {
  // A tape unit's door: blue-grey cabinet, a dark smoked window for the two reels, a
  // control strip with buttons, a vent grille. 512 rows for 44 units, 256 for 20.
  const int w = 256, h = 512;
  Image c(w, h, Colour{0.5f, 0.58f, 0.68f});
  Grime(c, 0.04f, 0.05f, 2, 131);
  FillRect(c, 8, 10, w - 8.0f, 250, Colour{0.06f, 0.07f, 0.08f});
  Bevel(c, 8, 10, w - 8.0f, 250, -4);
  for (int k = 0; k < 40; k++) FillRect(c, 10, 12 + k * 6.0f, w - 10.0f, 14 + k * 6.0f, Colour{1, 1, 1}, 0.015f);
  // Head block between the reels.
  FillRect(c, w * 0.42f, 150, w * 0.58f, 235, Colour{0.55f, 0.56f, 0.58f});
  Bevel(c, w * 0.42f, 150, w * 0.58f, 235, 2);
  FillRect(c, 8, 262, w - 8.0f, 300, Colour{0.8f, 0.8f, 0.78f});
  Bevel(c, 8, 262, w - 8.0f, 300, 2);
  const Colour buttons[] = {{0.8f, 0.15f, 0.1f}, {0.9f, 0.85f, 0.8f}, {0.2f, 0.5f, 0.9f}, {0.9f, 0.85f, 0.8f}, {0.1f, 0.6f, 0.3f}};
  for (int b = 0; b < 5; b++) {
    float x0 = 22 + b * 44.0f;
    FillRect(c, x0, 270, x0 + 30, 292, buttons[b]);
    Bevel(c, x0, 270, x0 + 30, 292, 2);
  }
  TextStyle style;
  style.font = FontStyle::SansBold;
  style.size = 16;
  Mask label(w, h);
  DrawText(label, style, "TAPE UNIT", w / 2.0f, 330, true);
  Paint(c, label, Colour{0.12f, 0.16f, 0.25f});
  Vents(c, 20, 380, w - 20.0f, 500, 6, Colour{0.1f, 0.12f, 0.15f});
  return c;
}

Image PaintReel() {
  // A tape reel face-on: dark brown tape pack, a translucent blue flange with three
  // windows, a silver hub. The reel's disc maps the picture's inscribed circle.
  const int s = 256;
  Image c(s, s);
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float dx = (x + 0.5f) / s * 2 - 1, dy = (y + 0.5f) / s * 2 - 1;
      float r = std::sqrt(dx * dx + dy * dy), a = std::atan2(dy, dx);
      Colour col{0.35f, 0.45f, 0.6f};  // flange
      if (r < 0.8f && r > 0.3f) {
        col = Colour{0.16f, 0.1f, 0.07f} * (0.85f + 0.15f * std::sin(r * 90));  // tape pack
        // The flange's windows show the pack; between them the flange covers it.
        float spoke = std::cos(3 * a);
        if (spoke > 0.35f && r > 0.34f) col = Mix(col, Colour{0.4f, 0.5f, 0.66f}, 0.8f);
      }
      if (r <= 0.3f) col = Colour{0.7f, 0.72f, 0.75f} * (0.8f + 0.2f * std::cos(6 * a));
      if (r < 0.1f) col = Colour{0.1f, 0.1f, 0.1f};
      if (r > 0.96f) col = col * 0.5f;
      c.At(x, y) = col;
    }
  return c;
}

Image PaintMainframe() {
  // The central processor's cabinet: louvred doors above, an operator panel of lamps and
  // rocker switches at waist height, a maker's strip. 256 columns for 20 units, 512 rows
  // for 46 (one of four identical doors across the machine).
  const int w = 256, h = 512;
  Image c(w, h, Colour{0.42f, 0.5f, 0.62f});
  Grime(c, 0.04f, 0.05f, 2, 141);
  FillRect(c, 0, 0, 4, (float)h, Colour{0.1f, 0.1f, 0.12f});
  FillRect(c, w - 4.0f, 0, (float)w, (float)h, Colour{0.1f, 0.1f, 0.12f});
  Vents(c, 16, 20, w - 16.0f, 200, 8, Colour{0.12f, 0.15f, 0.2f});
  FillRect(c, 10, 220, w - 10.0f, 330, Colour{0.14f, 0.14f, 0.16f});
  Bevel(c, 10, 220, w - 10.0f, 330, 3);
  Rng rng(142);
  for (int r = 0; r < 5; r++)
    for (int k = 0; k < 10; k++) {
      float cx = 30 + k * 22.0f, cy = 236 + r * 14.0f;
      Colour col = rng.Unit() < 0.5f ? Amber : (rng.Unit() < 0.6f ? Colour{1.0f, 0.95f, 0.8f} : Colour{1.0f, 0.25f, 0.15f});
      Lamp(c, cx, cy, 3.5f, col, rng.Unit() < 0.3f ? 0.6f : 0.1f);
    }
  for (int k = 0; k < 16; k++) {
    float x0 = 20 + k * 14.0f;
    FillRect(c, x0, 308, x0 + 9, 324, Colour{0.85f, 0.85f, 0.8f});
    FillRect(c, x0, 308, x0 + 9, 314, Colour{0.45f, 0.45f, 0.42f});
  }
  FillRect(c, 0, 350, (float)w, 372, Colour{0.12f, 0.16f, 0.26f});
  TextStyle style;
  style.font = FontStyle::SansCondensedBold;
  style.size = 17;
  Mask label(w, h);
  DrawText(label, style, "VX 9000", w / 2.0f, 367, true);
  Paint(c, label, Colour{0.85f, 0.88f, 0.92f});
  Vents(c, 16, 390, w - 16.0f, 500, 8, Colour{0.12f, 0.15f, 0.2f});
  return c;
}

Image PaintSmoke() {
  // An additive sprite: a soft, billowing grey puff on black, dim so that a column of
  // them reads as smoke rather than light.
  const int s = 128;
  Image c(s, s);
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float u = (float)x / s, v = (float)y / s;
      float dx = u * 2 - 1, dy = v * 2 - 1, r = std::sqrt(dx * dx + dy * dy);
      float billow = Fbm(u * 4, v * 4, 4, 4, 5, 0.55f, 151) * 0.5f + 0.5f;
      float d = (1 - Smoothstep(0.1f, 0.9f, r + (0.5f - billow) * 0.4f)) * (0.5f + 0.5f * billow);
      d *= 1 - Smoothstep(0.85f, 0.98f, r);
      float g = 0.22f * d;
      c.At(x, y) = Colour{g * 0.95f, g, g * 1.05f};
    }
  return c;
}

Image PaintLightPanel() {
  // A fluorescent troffer seen from below: a bright prismatic diffuser in a grey frame
  // with two brighter tube lines through it. Drawn added, so the frame stays dark.
  const int s = 128;
  Image c(s, s);
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float u = (x + 0.5f) / s, v = (y + 0.5f) / s;
      float tubes = std::exp(-std::pow((u - 0.33f) / 0.08f, 2.0f)) + std::exp(-std::pow((u - 0.67f) / 0.08f, 2.0f));
      float prism = ((x / 4 + y / 4) & 1) ? 0.95f : 1.0f;
      float b = (0.62f + 0.38f * tubes) * prism;
      float inside = Smoothstep(0.04f, 0.08f, u) * Smoothstep(0.04f, 0.08f, 1 - u) * Smoothstep(0.03f, 0.05f, v) *
                     Smoothstep(0.03f, 0.05f, 1 - v);
      c.At(x, y) = Colour{0.82f, 0.9f, 1.0f} * (b * inside) + Colour{0.12f, 0.12f, 0.13f} * (1 - inside);
    }
  return c;
}

Image PaintFabric() {
  // Dark blue woven upholstery; tiles.
  const int s = 128;
  Image c(s, s);
  for (int y = 0; y < s; y++)
    for (int x = 0; x < s; x++) {
      float weave = ((x / 2 + y / 2) & 1) ? 0.9f : 1.05f;
      float g = 1 + ((Hash(x, y, 161) & 255) / 255.0f - 0.5f) * 0.15f;
      c.At(x, y) = Colour{0.14f, 0.17f, 0.28f} * (weave * g);
    }
  return c;
}

// ---------------------------------------------------------------------------------------
// Geometry helpers.

// A rectangle from `o` spanning w along `right` and h along `up` (unit vectors), cut into
// nx by ny quads so the baked light varies across it; faces the side right x up. The
// picture maps (u0, v0) at the top left to (u1, v1) at the bottom right.
void Panel(BakeMesh& m, V3 o, V3 right, V3 up, float w, float h, int nx, int ny, float u0 = 0, float v0 = 0,
           float u1 = 1, float v1 = 1) {
  uint16_t base = (uint16_t)m.vertices.size();
  for (int j = 0; j <= ny; j++)
    for (int i = 0; i <= nx; i++) {
      float s = (float)i / nx, t = (float)j / ny;  // t from the bottom
      m.vertices.push_back(o + right * (w * s) + up * (h * t));
      m.uvs.push_back({Lerp(u0, u1, s), Lerp(v1, v0, t)});
    }
  for (int j = 0; j < ny; j++)
    for (int i = 0; i < nx; i++) {
      uint16_t a = (uint16_t)(base + j * (nx + 1) + i), b = (uint16_t)(a + 1);
      uint16_t d = (uint16_t)(a + nx + 1), e = (uint16_t)(d + 1);
      m.faces.push_back({a, b, e});
      m.faces.push_back({a, e, d});
    }
}

// A tube of `sides` facets along a path (u round it, v along it in world units * uvScale).
void Tube(BakeMesh& m, const std::vector<V3>& path, float radius, int sides, float uvScale) {
  uint16_t base = (uint16_t)m.vertices.size();
  float along = 0;
  V3 ref{0, 1, 0};
  for (size_t i = 0; i < path.size(); i++) {
    V3 t = Normalize(path[std::min(i + 1, path.size() - 1)] - path[i > 0 ? i - 1 : 0]);
    if (std::fabs(Dot(t, ref)) > 0.9f) ref = V3{1, 0, 0};
    V3 n = Normalize(Cross(t, ref)), b = Cross(n, t);
    if (i > 0) along += Length(path[i] - path[i - 1]);
    for (int k = 0; k <= sides; k++) {
      float a = 2 * Pi * k / sides;
      m.vertices.push_back(path[i] + (n * std::cos(a) + b * std::sin(a)) * radius);
      m.uvs.push_back({(float)k / sides, along * uvScale});
    }
  }
  int row = sides + 1;
  for (size_t i = 0; i + 1 < path.size(); i++)
    for (int k = 0; k < sides; k++) {
      uint16_t a = (uint16_t)(base + i * row + k), b = (uint16_t)(a + 1);
      uint16_t c = (uint16_t)(a + row), d = (uint16_t)(c + 1);
      // Along the path, then round it (from n towards b): that order faces outwards.
      m.faces.push_back({a, c, d});
      m.faces.push_back({a, d, b});
    }
}

// A sagging cable between two points (a catenary-like parabola), `segments` pieces.
std::vector<V3> Sag(V3 a, V3 b, float sag, int segments) {
  std::vector<V3> p;
  for (int i = 0; i <= segments; i++) {
    float t = (float)i / segments;
    V3 q = LerpV(a, b, t);
    q.y -= sag * 4 * t * (1 - t);
    p.push_back(q);
  }
  return p;
}

// A flat disc facing `normal`, as a fan; uv maps the picture's inscribed circle.
void Disc(BakeMesh& m, V3 centre, V3 right, V3 up, float radius, int segments) {
  uint16_t c = (uint16_t)m.vertices.size();
  m.vertices.push_back(centre);
  m.uvs.push_back({0.5f, 0.5f});
  for (int i = 0; i < segments; i++) {
    float a = 2 * Pi * i / segments;
    m.vertices.push_back(centre + (right * std::cos(a) + up * std::sin(a)) * radius);
    m.uvs.push_back({0.5f + 0.5f * std::cos(a), 0.5f - 0.5f * std::sin(a)});
  }
  for (int i = 0; i < segments; i++)
    m.faces.push_back({c, (uint16_t)(c + 1 + i), (uint16_t)(c + 1 + (i + 1) % segments)});
}

// ---------------------------------------------------------------------------------------
// The room.

const float H = 72;                      // ceiling height
const int StartFrame = 100, EndFrame = 2300;
const int TrackEnd = 2500;               // object tracks run past the last played frame

struct Room {
  BakeScene scene;
  std::map<std::string, BakeMesh> meshes;  // by name while building
  std::vector<std::string> order;          // list order
  BakeMesh& Mesh(const std::string& name, const std::string& material) {
    auto it = meshes.find(name);
    if (it == meshes.end()) {
      order.push_back(name);
      BakeMesh m;
      m.name = name;
      m.material = material;
      it = meshes.emplace(name, m).first;
    }
    return it->second;
  }
};

// The lamp groups: per facing, colour and rhythm one additive mesh.
struct LampSet {
  Room* room;
  const char* colours[3] = {"maps/comput_led_green.jpg", "maps/comput_led_amber.jpg", "maps/comput_led_red.jpg"};
  // facing: 0 +X, 1 -X, 2 +Z; rhythm 0 steady, 1..4 blinking.
  void Add(int facing, V3 at, float size, int colour, int rhythm) {
    V3 n = facing == 0 ? V3{1, 0, 0} : facing == 1 ? V3{-1, 0, 0} : V3{0, 0, 1};
    V3 right = facing == 0 ? V3{0, 0, -1} : facing == 1 ? V3{0, 0, 1} : V3{1, 0, 0};
    std::string name = "%comput_lamp" + std::to_string(facing) + std::to_string(colour) + std::to_string(rhythm);
    BakeMesh& m = room->Mesh(name, colours[colour]);
    V3 o = at + n * 0.12f - right * (size / 2) - V3{0, size / 2, 0};
    Panel(m, o, right, {0, 1, 0}, size, size, 1, 1);
    m.castsShadow = false;
    if (rhythm > 0 && m.position.empty()) m.position = BlinkTrack(n * -1.5f, rhythm);
  }
  // Keys 0, 3, 6 ... alternate between lit (offset 0) and hidden (offset `hide`): long
  // holds joined by three-frame steps, so the lamp snaps on and off.
  std::vector<PointKey> BlinkTrack(V3 hide, int rhythm) {
    Rng r(1000 + rhythm);
    std::vector<PointKey> keys;
    int f = 0;
    bool lit = true;
    keys.push_back({0, {0, 0, 0}});
    auto add = [&](int to, V3 from, V3 dest) {
      int from_f = keys.back().frame;
      keys.push_back({from_f + (to - from_f) / 3, from});
      keys.push_back({from_f + 2 * (to - from_f) / 3, dest});
      keys.push_back({to, dest});
    };
    while (f < TrackEnd) {
      float on = rhythm == 1 ? 12.0f : rhythm == 2 ? r.Range(20, 70) : rhythm == 3 ? r.Range(40, 160) : r.Range(8, 30);
      float off = rhythm == 1 ? 12.0f : rhythm == 2 ? r.Range(15, 50) : rhythm == 3 ? r.Range(20, 60) : r.Range(10, 40);
      int hold = (int)(lit ? on : off);
      V3 v = lit ? V3{0, 0, 0} : hide;
      add(f + hold, v, v);
      f += hold;
      lit = !lit;
      V3 w = lit ? V3{0, 0, 0} : hide;
      add(f + 3, v, w);
      f += 3;
    }
    return keys;
  }
};

struct Layout {
  Room room;
  LampSet lamps;
  Rng rng{77};
  Layout() { lamps.room = &room; }

  void Box(const std::string& name, const std::string& material, V3 lo, V3 hi, float uvScale, int omit = 0) {
    AddBox(room.Mesh(name, material), lo, hi, uvScale, false, omit);
  }

  // A long box cut into pieces of at most `step` along X (axis 0) or Z (axis 2), so its
  // baked light follows the lights along it instead of running between its far ends.
  void LongBox(const std::string& name, const std::string& material, V3 lo, V3 hi, float uvScale, int omit,
               int axis, float step) {
    float a0 = axis == 0 ? lo.x : lo.z, a1 = axis == 0 ? hi.x : hi.z;
    int pieces = std::max(1, (int)std::ceil((a1 - a0) / step));
    int low = axis == 0 ? 1 : 16, high = axis == 0 ? 2 : 32;
    for (int i = 0; i < pieces; i++) {
      V3 l = lo, h = hi;
      float p0 = Lerp(a0, a1, (float)i / pieces), p1 = Lerp(a0, a1, (float)(i + 1) / pieces);
      (axis == 0 ? l.x : l.z) = p0;
      (axis == 0 ? h.x : h.z) = p1;
      int cut = (i > 0 ? low : 0) | (i + 1 < pieces ? high : 0);
      Box(name, material, l, h, uvScale, omit | cut);
    }
  }

  void Shell() {
    // Two halls in an L: the rack hall x -110..70, z -40..220, and the operations room
    // x -110..250, z -270..-40.
    BakeMesh& floor = room.Mesh("?comput_floor", "maps/comput_floor.jpg");
    auto flat = [](float, float) { return 0.0f; };
    AddHeightField(floor, -110, -40, 70, 220, 15, 22, 1 / 24.0f, flat);
    AddHeightField(floor, -110, -270, 250, -40, 30, 19, 1 / 24.0f, flat);
    BakeMesh& ceiling = room.Mesh("comput_ceiling", "maps/comput_ceiling.jpg");
    // What the floor and the desks throw back up: the lights hang below the tiles and
    // would leave them black.
    ceiling.emission = {0.15f, 0.16f, 0.18f};
    // Facing down: right +X, up +Z gives -Y.
    Panel(ceiling, {-110, H, -40}, {1, 0, 0}, {0, 0, 1}, 180, 260, 9, 13, 0, 0, 180 / 48.0f, 260 / 48.0f);
    Panel(ceiling, {-110, H, -270}, {1, 0, 0}, {0, 0, 1}, 360, 230, 18, 12, 0, 0, 360 / 48.0f, 230 / 48.0f);
    BakeMesh& wall = room.Mesh("comput_wall", "maps/comput_wall.jpg");
    auto side = [&](V3 o, V3 right, float w) {
      Panel(wall, o, right, {0, 1, 0}, w, H, std::max(1, (int)(w / 20)), 3, 0, 0, w / 64, 1);
    };
    side({-110, 0, -270}, {1, 0, 0}, 360);    // far wall, facing +Z
    side({250, 0, -270}, {0, 0, 1}, 230);     // right wall of the operations room, facing -X
    side({250, 0, -40}, {-1, 0, 0}, 180);     // its back wall, facing -Z
    side({70, 0, -40}, {0, 0, 1}, 260);       // right wall of the rack hall, facing -X
    side({70, 0, 220}, {-1, 0, 0}, 180);      // end wall behind the camera's start, facing -Z
    side({-110, 0, 220}, {0, 0, -1}, 490);    // left wall, facing +X
  }

  void Lights() {
    // Troffers in rows over the aisles and the desks; a cool light just under each.
    BakeMesh& panels = room.Mesh("%comput_troffers", "maps/comput_troffer.jpg");
    panels.castsShadow = false;
    auto troffer = [&](float x, float z) {
      // Facing down, 6 wide (x) and 24 long (z).
      Panel(panels, {x - 3, H - 0.4f, z - 12}, {1, 0, 0}, {0, 0, 1}, 6, 24, 1, 1);
      BakeLight l;
      l.name = "comput_tube" + std::to_string(room.scene.lights.size());
      l.position = {x, H - 3, z};
      l.colour = {0.82f, 0.92f, 1.0f};
      l.multiplier = 0.32f;
      l.innerRange = 45;
      l.outerRange = 170;
      l.radius = 7;
      room.scene.lights.push_back(l);
    };
    for (float z : {190.0f, 130.0f, 70.0f, 10.0f}) {
      troffer(-16, z);
      troffer(16, z);
    }
    for (float z : {-58.0f, -120.0f, -182.0f, -244.0f})
      for (float x : {-80.0f, -10.0f, 60.0f, 130.0f, 200.0f}) troffer(x, z);
  }

  void ScreenLight(V3 at, Colour col, float strength, float reach) {
    BakeLight l;
    l.name = "comput_glow" + std::to_string(room.scene.lights.size());
    l.position = at;
    l.colour = col;
    l.multiplier = strength;
    l.innerRange = reach * 0.25f;
    l.outerRange = reach;
    l.radius = 2.5f;
    room.scene.lights.push_back(l);
  }

  // One rack: body, tessellated front, lamps. x0 is its front plane, `facing` 0 (+X) or 1 (-X).
  void Rack(float front, float z, int facing, int kind, bool smoking) {
    float depth = 22, width = 12, height = 42;
    float back = facing == 0 ? front - depth : front + depth;
    V3 lo{std::min(front, back), 0, z}, hi{std::max(front, back), height, z + width};
    Box("comput_racks", "maps/comput_metal.jpg", lo, hi, 1 / 16.0f, 4 | (facing == 0 ? 2 : 1));
    static const char* fronts[3] = {"maps/comput_rack_servers.jpg", "maps/comput_rack_disks.jpg",
                                    "maps/comput_rack_network.jpg"};
    BakeMesh& f = room.Mesh(std::string("comput_front") + (char)('a' + kind), fronts[kind]);
    if (facing == 0) Panel(f, {front, 0, z + width}, {0, 0, -1}, {0, 1, 0}, width, height, 1, 6);
    else Panel(f, {front, 0, z}, {0, 0, 1}, {0, 1, 0}, width, height, 1, 6);
    // Lamps scattered over the equipment, most in blinking groups.
    int count = 8 + (int)(rng.Unit() * 7);
    for (int k = 0; k < count; k++) {
      float along = rng.Range(2.2f, width - 2.2f), y = rng.Range(3.5f, height - 4);
      float zz = facing == 0 ? z + width - along : z + along;
      float pick = rng.Unit();
      int colour = pick < 0.62f ? 0 : pick < 0.9f ? 1 : 2;
      int rhythm = rng.Unit() < 0.25f ? 0 : 1 + (int)(rng.Unit() * 4);
      lamps.Add(facing, {front, y, zz}, 1.4f, colour, rhythm);
    }
    if (smoking) {
      BakeMesh& e = room.Mesh("*3comput_smoke" + std::to_string(room.order.size()), "maps/comput_smoke.jpg");
      Panel(e, {lo.x + 4, height + 0.5f, z + 3}, {1, 0, 0}, {0, 0, 1}, 4, 4, 1, 1);
      e.pivot = {(lo.x + hi.x) / 2, height + 2, z + width / 2};
      e.castsShadow = false;
    }
  }

  void RackHall() {
    // Row A fronts the aisle at x = -34 facing +X, row B at x = 34 facing -X; twenty racks
    // each from z = -30 to 210.
    for (int i = 0; i < 20; i++) {
      float z = -30 + i * 12.0f;
      int ka = (i % 7 == 3) ? 2 : (i % 3 == 1 ? 1 : 0);
      int kb = (i % 5 == 2) ? 2 : (i % 4 == 0 ? 1 : 0);
      Rack(-34, z, 0, ka, false);
      Rack(34, z, 1, kb, i == 11);
    }
    // End caps of the rows towards the operations room and towards the start.
    Box("comput_racks", "maps/comput_metal.jpg", {-57, 0, -31}, {-33, 43, -30}, 1 / 16.0f, 4);
    Box("comput_racks", "maps/comput_metal.jpg", {33, 0, -31}, {57, 43, -30}, 1 / 16.0f, 4);
    // Cable trays hung over each row with bundles in them, and drops into the racks.
    for (int side = 0; side < 2; side++) {
      float cx = side == 0 ? -45 : 45;
      LongBox("comput_trays", "maps/comput_metal.jpg", {cx - 8, 52, -32}, {cx + 8, 53, 212}, 1 / 16.0f, 0, 2, 24);
      LongBox("comput_trays", "maps/comput_metal.jpg", {cx - 8, 53, -32}, {cx - 7, 56, 212}, 1 / 16.0f, 4, 2, 24);
      LongBox("comput_trays", "maps/comput_metal.jpg", {cx + 7, 53, -32}, {cx + 8, 56, 212}, 1 / 16.0f, 4, 2, 24);
      for (float z = 0; z < 220; z += 60)
        for (float dx : {-6.0f, 6.0f})
          Box("comput_trays", "maps/comput_metal.jpg", {cx + dx - 0.4f, 56, z - 0.4f}, {cx + dx + 0.4f, H, z + 0.4f}, 1 / 16.0f);
      for (int k = 0; k < 3; k++) {
        std::vector<V3> path;
        for (int s = 0; s <= 24; s++) {
          float z = -31 + s * 10.0f;
          path.push_back({cx - 4 + k * 4 + 0.8f * std::sin(z * 0.05f + k), 54.2f + 0.3f * k, z});
        }
        Tube(room.Mesh(k == 1 ? "comput_cables_blue" : "comput_cables", k == 1 ? "maps/comput_cable_blue.jpg"
                                                                                 : "maps/comput_cable_dark.jpg"),
             path, 1.1f, 5, 1 / 8.0f);
      }
      for (int i = 0; i < 20; i += 2) {
        float z = -24 + i * 12.0f;
        float top = 42, x = cx + (side == 0 ? 4 : -4);
        // Out over the tray's lip, then down in a loose curve into the rack's roof.
        float out = side == 0 ? 1.0f : -1.0f;
        std::vector<V3> drop;
        for (int s = 0; s <= 6; s++) {
          float t = s / 6.0f;
          drop.push_back({x + out * 2.5f * std::sin(t * Pi), Lerp(54.5f, top, t * t * (3 - 2 * t)), z + 2 * t});
        }
        Tube(room.Mesh(i % 4 ? "comput_cables_blue" : "comput_cables", i % 4 ? "maps/comput_cable_blue.jpg"
                                                                            : "maps/comput_cable_dark.jpg"),
             drop, 0.7f, 5, 1 / 8.0f);
      }
    }
    // Patch cords sagging across the front of the network racks.
    for (int i = 0; i < 20; i++) {
      float z = -30 + i * 12.0f;
      if (i % 7 == 3)
        for (int k = 0; k < 3; k++) {
          float y = 14 + k * 8.0f;
          Tube(room.Mesh("comput_cables_blue", "maps/comput_cable_blue.jpg"),
               Sag({-33.4f, y, z + 1.5f}, {-33.4f, y + 1, z + 10.5f}, 2.5f + k, 6), 0.25f, 4, 1 / 4.0f);
        }
      if (i % 5 == 2)
        for (int k = 0; k < 3; k++) {
          float y = 12 + k * 9.0f;
          Tube(room.Mesh("comput_cables_yellow", "maps/comput_cable_yellow.jpg"),
               Sag({33.4f, y, z + 1.5f}, {33.4f, y - 1, z + 10.5f}, 2 + k, 6), 0.25f, 4, 1 / 4.0f);
        }
    }
  }

  void Station(float x, float z, int seed) {
    // A desk 48 wide (x) and 26 deep (z), its user sitting on the +Z side facing -Z.
    Rng r(seed);
    float top = 15;
    Box("comput_desks", "maps/comput_desk.jpg", {x - 24, top - 1.2f, z - 13}, {x + 24, top, z + 13}, 1 / 40.0f);
    Box("comput_frames", "maps/comput_metal.jpg", {x - 23.5f, 0, z - 12}, {x - 22.5f, top - 1.2f, z + 12}, 1 / 16.0f);
    Box("comput_frames", "maps/comput_metal.jpg", {x + 22.5f, 0, z - 12}, {x + 23.5f, top - 1.2f, z + 12}, 1 / 16.0f);
    Box("comput_frames", "maps/comput_metal.jpg", {x - 22.5f, 4, z - 12}, {x + 22.5f, top - 1.2f, z - 11}, 1 / 16.0f);
    for (int k = 0; k < 2; k++) {
      // A CRT: a deep beige case tapering back, the bezel, the glowing glass.
      float mx = x - 11 + k * 22 + r.Range(-1.5f, 1.5f), mz = z - 6;
      float w = 14, h = 12, cy = top + 1.5f;
      Box("comput_cases", "maps/comput_beige.jpg", {mx - w / 2, top, mz - 4}, {mx + w / 2, top + 1.5f, mz + 4}, 1 / 16.0f, 4);
      Box("comput_cases", "maps/comput_beige.jpg", {mx - w / 2, cy, mz - 2}, {mx + w / 2, cy + h, mz + 2}, 1 / 16.0f, 4 | 32);
      Box("comput_cases", "maps/comput_beige.jpg", {mx - w / 2 + 2, cy + 1.5f, mz - 10}, {mx + w / 2 - 2, cy + h - 1.5f, mz - 2}, 1 / 16.0f, 4 | 32);
      Panel(room.Mesh("comput_bezels", "maps/comput_bezel.jpg"), {mx - w / 2, cy, mz + 2}, {1, 0, 0}, {0, 1, 0}, w, h, 1, 1);
      int kind = (seed + k) % 3;
      static const char* screens[3] = {"maps/comput_screen_green.jpg", "maps/comput_screen_amber.jpg",
                                       "maps/comput_screen_graph.jpg"};
      static const char* names[3] = {"%comput_screens_green", "%comput_screens_amber", "%comput_screens_graph"};
      BakeMesh& s = room.Mesh(names[kind], screens[kind]);
      s.castsShadow = false;
      // The glass sits where the bezel's dark opening is (about 10 % in from the sides).
      Panel(s, {mx - w * 0.4f, cy + h * 0.2f, mz + 2.15f}, {1, 0, 0}, {0, 1, 0}, w * 0.8f, h * 0.72f, 1, 1);
      Colour glow = kind == 1 ? Amber : kind == 0 ? Phosphor : Colour{0.45f, 1.0f, 0.6f};
      ScreenLight({mx, cy + h * 0.55f, mz + 5}, glow, 0.35f, 55);
      // Keyboard in front of it.
      float kz = z + 5;
      Box("comput_cases", "maps/comput_beige.jpg", {mx - 8, top, kz - 2.5f}, {mx + 8, top + 0.7f, kz + 2.5f}, 1 / 16.0f, 4 | 8);
      Panel(room.Mesh("comput_keyboards", "maps/comput_keyboard.jpg"), {mx - 8, top + 0.7f, kz + 2.5f}, {1, 0, 0},
            {0, 0, -1}, 16, 5, 2, 1);
    }
    // A tower under the desk and a chair.
    Box("comput_cases", "maps/comput_beige.jpg", {x + 12, 0, z - 10}, {x + 19, 17 - 3.5f, z + 8}, 1 / 16.0f, 4);
    float cx = x + r.Range(-6, 6), cz = z + 22 + r.Range(-2, 3);
    Box("comput_chairs", "maps/comput_fabric.jpg", {cx - 8, 9, cz - 8}, {cx + 8, 11, cz + 8}, 1 / 12.0f, 4);
    Box("comput_chairs", "maps/comput_fabric.jpg", {cx - 7.5f, 12, cz + 7}, {cx + 7.5f, 27, cz + 9}, 1 / 12.0f);
    AddCylinder(room.Mesh("comput_frames", "maps/comput_metal.jpg"), {cx, 1, cz}, 8, 0.8f, 0.8f, 6, 1 / 16.0f, false);
    Box("comput_frames", "maps/comput_metal.jpg", {cx - 0.6f, 9, cz + 7.5f}, {cx + 0.6f, 12, cz + 8.5f}, 1 / 16.0f);
    Box("comput_frames", "maps/comput_metal.jpg", {cx - 9, 0, cz - 0.7f}, {cx + 9, 1, cz + 0.7f}, 1 / 16.0f, 4);
    Box("comput_frames", "maps/comput_metal.jpg", {cx - 0.7f, 0, cz - 9}, {cx + 0.7f, 1, cz + 9}, 1 / 16.0f, 4);
  }

  void OperationsRoom() {
    for (int row = 0; row < 2; row++)
      for (int k = 0; k < 4; k++) Station(-70 + k * 52.0f, -110 - row * 62.0f, row * 4 + k);
    // The display wall on the far wall.
    for (int k = 0; k < 3; k++) {
      float cx = -60 + k * 66.0f;
      Box("comput_frames", "maps/comput_metal.jpg", {cx - 31, 24, -270}, {cx + 31, 60, -267}, 1 / 16.0f, 16);
      BakeMesh& s = k == 1 ? room.Mesh("%comput_wallscreen_b", "maps/comput_screen_wall_b.jpg")
                           : room.Mesh("%comput_wallscreens", "maps/comput_screen_wall.jpg");
      s.castsShadow = false;
      Panel(s, {cx - 29, 26, -266.9f}, {1, 0, 0}, {0, 1, 0}, 58, 32, 1, 1);
      ScreenLight({cx, 42, -258}, k == 1 ? Colour{0.4f, 1.0f, 0.55f} : Cyan, 0.45f, 110);
    }
    // The mainframe across the far right corner, its front facing +Z, four doors wide.
    float mx0 = 150, mx1 = 230, mz = -248, mh = 46;
    Box("comput_cabinets", "maps/comput_metal_blue.jpg", {mx0, 0, -270}, {mx1, mh, mz}, 1 / 24.0f, 4 | 32 | 16);
    Panel(room.Mesh("comput_mainframe", "maps/comput_mainframe.jpg"), {mx0, 0, mz}, {1, 0, 0}, {0, 1, 0}, 80, mh, 4, 5,
          0, 0, 4, 1);
    for (int d = 0; d < 4; d++)
      for (int r = 0; r < 5; r++)
        for (int k = 0; k < 10; k++) {
          if (rng.Unit() < 0.55f) continue;
          float lx = mx0 + d * 20 + (30 + k * 22.0f) / 256 * 20, ly = mh - (236 + r * 14.0f) / 512 * mh;
          float pick = rng.Unit();
          int colour = pick < 0.5f ? 1 : pick < 0.8f ? 0 : 2;
          lamps.Add(2, {lx, ly, mz}, 1.1f, colour, 1 + (int)(rng.Unit() * 4));
        }
    // Smoke from the vents on its top.
    for (int k = 0; k < 3; k++) {
      BakeMesh& e = room.Mesh("*3comput_vent" + std::to_string(k), "maps/comput_smoke.jpg");
      float x = 166 + k * 22.0f;
      Panel(e, {x - 3, mh + 0.3f, -262}, {1, 0, 0}, {0, 0, 1}, 6, 6, 1, 1);
      e.pivot = {x, mh + 2, -259};
      e.castsShadow = false;
    }
    // Cable ducts along the tops of the walls, conduits down to the machine's back, and a
    // fire extinguisher beside it.
    LongBox("comput_cabinets", "maps/comput_metal_blue.jpg", {-110, 62, -270}, {250, 66, -266}, 1 / 24.0f, 16, 0, 20);
    LongBox("comput_cabinets", "maps/comput_metal_blue.jpg", {246, 62, -266}, {250, 66, -40}, 1 / 24.0f, 2, 2, 20);
    for (float x : {172.0f, 208.0f})
      Box("comput_cabinets", "maps/comput_metal_blue.jpg", {x - 2, mh, -270}, {x + 2, 62, -267}, 1 / 24.0f, 16);
    BakeMesh& red = room.Mesh("comput_extinguisher", "maps/comput_red.jpg");
    AddCylinder(red, {240, 0, -242}, 10, 1.7f, 1.7f, 10, 1 / 12.0f, true);
    AddCylinder(red, {240, 10, -242}, 1.5f, 1.7f, 0.6f, 10, 1 / 12.0f, false);
    Box("comput_frames", "maps/comput_metal.jpg", {239.4f, 11.5f, -242.6f}, {240.6f, 13, -241.4f}, 1 / 16.0f);
    // A red warning glow from the panel.
    ScreenLight({190, 30, mz + 4}, Colour{1.0f, 0.45f, 0.25f}, 0.3f, 60);
    // Tape drives along the right wall, facing -X, with their reels turning.
    for (int u = 0; u < 5; u++) {
      float z0 = -232 + u * 22.0f, front = 228;
      Box("comput_cabinets", "maps/comput_metal_blue.jpg", {front, 0, z0}, {250, 44, z0 + 20}, 1 / 24.0f, 4 | 1);
      Panel(room.Mesh("comput_tapes", "maps/comput_tape.jpg"), {front, 0, z0}, {0, 0, 1}, {0, 1, 0}, 20, 44, 2, 4);
      for (int k = 0; k < 2; k++) {
        // Reel centres over the window: 0.28 and 0.72 across, 0.3 down the picture.
        V3 c{front - 0.3f, 35, z0 + (k ? 14.4f : 5.6f)};
        BakeMesh& reel = room.Mesh("comput_reel" + std::to_string(u * 2 + k), "maps/comput_reel.jpg");
        Disc(reel, c, {0, 0, 1}, {0, 1, 0}, 4.2f, 16);
        reel.pivot = c;
        float speed = (k ? -1.0f : 1.0f) * (60 + 50 * ((u * 2 + k) % 3));  // degrees per second
        float total = speed * TrackEnd / 100.0f;
        reel.rotation = {{0, {0, 0, 0}},
                         {TrackEnd / 3, {total / 3, 0, 0}},
                         {2 * TrackEnd / 3, {2 * total / 3, 0, 0}},
                         {TrackEnd, {total, 0, 0}}};
      }
      for (int k = 0; k < 4; k++)
        lamps.Add(1, {front, 44 - 300.0f / 512 * 44 + 2, z0 + 3 + k * 4.5f}, 0.8f, k == 0 ? 2 : 0, 1 + (u + k) % 4);
    }
  }

  void Camera() {
    BakeCamera cam;
    cam.name = "comput_camera";
    struct Shot {
      V3 eye, target;
      float weight;  // time spent reaching this key, relative to its distance
    };
    const std::vector<Shot> path = {
        {{0, 37, 245}, {0, 33, 150}, 1},     // shapes the start only
        {{0, 36, 212}, {0, 33, 120}, 1},
        {{3, 34, 150}, {-3, 31, 60}, 1},
        {{-3, 33, 85}, {3, 30, -5}, 1},
        {{2, 33, 20}, {12, 28, -80}, 1},
        {{18, 37, -42}, {75, 24, -140}, 1.05f},
        {{72, 44, -84}, {140, 24, -190}, 1.1f},
        {{118, 43, -116}, {196, 30, -250}, 1.3f},
        {{136, 42, -134}, {198, 34, -255}, 1.8f},
        {{146, 41, -146}, {196, 37, -258}, 3.2f},  // the last played key
        {{152, 40, -153}, {196, 38, -260}, 1},     // shapes the end only
        {{157, 40, -160}, {196, 39, -262}, 1},
    };
    // Frames: key 1 at StartFrame, the last played key at EndFrame, spaced by weighted
    // distance so the glide keeps an even pace and slows into the final view.
    std::vector<float> cost(path.size(), 0);
    float total = 0;
    for (size_t i = 2; i + 2 < path.size(); i++) {
      cost[i] = Length(path[i].eye - path[i - 1].eye) * path[i].weight;
      total += cost[i];
    }
    float acc = 0;
    for (size_t i = 0; i < path.size(); i++) {
      int frame;
      if (i == 0) frame = StartFrame - 60;
      else if (i + 2 >= path.size()) frame = EndFrame + 60 * (int)(i + 3 - path.size());
      else {
        acc += cost[i];
        frame = StartFrame + (int)std::lround((EndFrame - StartFrame) * acc / total);
      }
      cam.eye.push_back({frame, path[i].eye});
      cam.target.push_back({frame, path[i].target});
    }
    room.scene.cameras.push_back(cam);
  }

  BakeScene Finish() {
    for (const std::string& name : room.order) room.scene.meshes.push_back(room.meshes[name]);
    room.scene.ambient = {0.07f, 0.08f, 0.1f};
    room.scene.frameCount = TrackEnd;
    return room.scene;
  }
};

struct Picture {
  const char* name;
  std::function<Image()> paint;
};

}  // namespace

BakeScene BuildComputScene() {
  Layout layout;
  layout.Shell();
  layout.Lights();
  layout.RackHall();
  layout.OperationsRoom();
  layout.Camera();
  return layout.Finish();
}

LightBakeOptions ComputLighting() {
  LightBakeOptions o;
  o.shadowSamples = 8;
  o.aoRays = 40;
  o.aoDistance = 40;
  o.exposure = 1.0f;
  o.threads = 2;
  return o;
}

bool BakeComput(BakeOutput& out, std::string* error) {
  const std::vector<Picture> pictures = {
      {"maps/comput_floor.jpg", PaintFloor},
      {"maps/comput_ceiling.jpg", PaintCeiling},
      {"maps/comput_wall.jpg", PaintWall},
      {"maps/comput_metal.jpg", [] { return PaintMetal({0.17f, 0.18f, 0.2f}, 201); }},
      {"maps/comput_metal_blue.jpg", [] { return PaintMetal({0.4f, 0.47f, 0.58f}, 202); }},
      {"maps/comput_rack_servers.jpg", [] { return PaintRackFront(0, 211); }},
      {"maps/comput_rack_disks.jpg", [] { return PaintRackFront(1, 212); }},
      {"maps/comput_rack_network.jpg", [] { return PaintRackFront(2, 213); }},
      {"maps/comput_led_green.jpg", [] { return PaintLed(Phosphor); }},
      {"maps/comput_led_amber.jpg", [] { return PaintLed(Amber); }},
      {"maps/comput_led_red.jpg", [] { return PaintLed({1.0f, 0.2f, 0.12f}); }},
      {"maps/comput_screen_green.jpg", [] { return PaintTerminal(256, 256, Phosphor, 221, false); }},
      {"maps/comput_screen_amber.jpg", [] { return PaintTerminal(256, 256, Amber, 222, false); }},
      {"maps/comput_screen_graph.jpg", [] { return PaintTerminal(256, 256, {0.45f, 1.0f, 0.6f}, 223, true); }},
      {"maps/comput_screen_wall.jpg", [] { return PaintWallScreen(81, "NETWORK STATUS  -  NODE 04 ALARM", Cyan); }},
      {"maps/comput_screen_wall_b.jpg",
       [] { return PaintWallScreen(82, "BATCH QUEUE  -  SHIFT 3", Colour{0.4f, 1.0f, 0.55f}); }},
      {"maps/comput_keyboard.jpg", PaintKeyboard},
      {"maps/comput_beige.jpg", PaintBeige},
      {"maps/comput_bezel.jpg", PaintBezel},
      {"maps/comput_desk.jpg", PaintDesk},
      {"maps/comput_cable_dark.jpg", [] { return PaintCable({0.12f, 0.12f, 0.13f}, 231); }},
      {"maps/comput_cable_blue.jpg", [] { return PaintCable({0.15f, 0.3f, 0.75f}, 232); }},
      {"maps/comput_cable_yellow.jpg", [] { return PaintCable({0.85f, 0.7f, 0.15f}, 233); }},
      {"maps/comput_tape.jpg", PaintTapeFront},
      {"maps/comput_reel.jpg", PaintReel},
      {"maps/comput_mainframe.jpg", PaintMainframe},
      {"maps/comput_smoke.jpg", PaintSmoke},
      {"maps/comput_troffer.jpg", PaintLightPanel},
      {"maps/comput_fabric.jpg", PaintFabric},
      {"maps/comput_red.jpg", [] { return PaintMetal({0.62f, 0.08f, 0.06f}, 241); }},
  };
  BakeScene scene = BuildComputScene();
  LightBakeOptions options = ComputLighting();
  if (!AddSceneMembers(out, "maps/comput", scene, &options, error)) return false;
  for (const Picture& p : pictures) {
    Image img = p.paint();
    AddJpegMember(out, p.name, img, 90);
    if (out.wantSheet) out.sheet.push_back({p.name, Resize(img, 128, 128)});
  }
  return true;
}
