// tools/bake/picture_surfaces.cpp - the tiling surfaces, sprites and screen masks.
//
// Seamless pictures are built only from noise whose periods divide the picture, from sines
// of whole frequencies, and from wrapped neighbour reads, so opposite edges meet exactly.
#include <cmath>
#include <vector>

#include "tools/bake/picture_draw.h"

namespace {
// A scalar field over the picture, for shading from its slopes.
struct Field {
  int w, h;
  std::vector<float> v;
  Field(int width, int height) : w(width), h(height), v((size_t)width * height) {}
  float& At(int x, int y) { return v[(size_t)y * w + x]; }
  float Wrapped(int x, int y) const { return v[(size_t)(((y % h) + h) % h) * w + ((x % w) + w) % w]; }
};

// Distance from the picture's centre in units of its half-size.
float Radius(const Image& c, int x, int y) {
  float dx = (x + 0.5f) / c.width * 2 - 1, dy = (y + 0.5f) / c.height * 2 - 1;
  return std::sqrt(dx * dx + dy * dy);
}

// Fades a sprite to black before it reaches the border of its square.
float BorderWindow(const Image& c, int x, int y, float inner, float outer) {
  return 1 - Smoothstep(inner, outer, Radius(c, x, y));
}
}  // namespace

// The palms of the jungle pictures: a curved trunk and a crown of drooping, leafy fronds.
void DrawPalm(Mask& m, Point base, float height, float lean, Rng& rng) {
  Point top = base + Point{lean, -height};
  std::vector<Point> trunk = Bezier(base, base + Point{lean * 0.1f, -height * 0.5f}, top + Point{-lean * 0.3f, height * 0.15f}, top, 30);
  Stroke(m, trunk, height * 0.035f, height * 0.018f);
  for (int f = 0; f < 11; f++) {
    float a = -Pi / 2 + (f - 5) * 0.33f + rng.Range(-0.12f, 0.12f);
    float len = height * rng.Range(0.38f, 0.55f);
    Point tip = top + Point{std::cos(a) * len, std::sin(a) * len * 0.4f + len * 0.5f};
    Point mid = top + Point{std::cos(a) * len * 0.5f, std::sin(a) * len * 0.6f - len * 0.1f};
    std::vector<Point> frond = Bezier(top, mid, mid + (tip - mid) * 0.6f, tip, 24);
    Stroke(m, frond, height * 0.012f, height * 0.003f);
    for (size_t k = 2; k < frond.size(); k++) {
      float t = (float)k / frond.size();
      float leaf = len * 0.22f * (1 - t * 0.8f);
      Point dir = frond[k] - frond[k - 1];
      float dl = std::sqrt(dir.x * dir.x + dir.y * dir.y) + 1e-6f;
      dir = dir * (1 / dl);
      for (int side : {-1, 1}) {
        Point normal{-dir.y * side, dir.x * side};
        Point q = frond[k] + normal * (leaf * 0.6f) + Point{0, leaf * 0.8f} + dir * (leaf * 0.3f);
        Stroke(m, {frond[k], q}, height * 0.005f, height * 0.0015f);
      }
    }
  }
}


Colour ChromeReflection(float nx, float ny, float nz) {
  // Reflect the view ray (0, 0, -1) about the normal; ry is the reflected ray's height.
  float ry = 2 * nz * ny, rx = 2 * nz * nx;
  Colour c;
  if (ry > 0) {
    c = Mix(Colour{0.95f, 0.97f, 1.0f}, Colour{0.35f, 0.5f, 0.78f}, std::pow(Clamp01(ry), 0.6f));
  } else {
    c = Mix(Colour{0.42f, 0.3f, 0.22f}, Colour{0.07f, 0.05f, 0.05f}, std::pow(Clamp01(-ry * 1.6f), 0.5f));
  }
  // A studio window on the upper left gives the metal its sharp highlight.
  float window = Smoothstep(0.2f, 0.3f, ry) * (1 - Smoothstep(0.55f, 0.65f, ry)) *
                 Smoothstep(-0.75f, -0.6f, rx) * (1 - Smoothstep(-0.3f, -0.15f, rx));
  c = Mix(c, Colour{1.2f, 1.2f, 1.15f}, window);
  // Fresnel: grazing angles reflect more of the bright surroundings.
  float rim = std::pow(1 - Clamp01(nz), 3);
  return Mix(c, Colour{0.75f, 0.8f, 0.9f}, rim * 0.5f);
}

void DrawClouds(Image& c) {
  // Domain-warped fractal billows over two periods, lit from above by their own slope.
  Field density(c.width, c.height);
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width * 2, v = (float)y / c.height * 2;
      float wx = Fbm(u, v, 2, 2, 4, 0.5f, 11), wy = Fbm(u + 5.2f, v + 1.3f, 2, 2, 4, 0.5f, 12);
      density.At(x, y) = Fbm(u + 0.7f * wx, v + 0.7f * wy, 2, 2, 7, 0.52f, 13);
    }
  // Light comes from the slopes of a smoothed copy, so it shapes the billows, not the fringe.
  Mask smooth(c.width, c.height);
  smooth.values = density.v;
  Blur(smooth, 6, true);
  Field soft(c.width, c.height);
  soft.v = smooth.values;
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float d = density.At(x, y);
      float slope = (soft.At(x, y) - soft.Wrapped(x + 4, y - 9)) * 1.6f;
      float body = Smoothstep(-0.3f, 0.4f, d);
      Colour gap{0.24f, 0.26f, 0.36f}, cloud{0.6f, 0.63f, 0.72f};
      Colour col = Mix(gap, cloud, body);
      col += Colour{0.42f, 0.42f, 0.45f} * (Smoothstep(0.0f, 0.25f, slope) * body);  // lit tops
      col = col * (1 - 0.3f * Smoothstep(0.0f, 0.25f, -slope) * body);               // shaded undersides
      c.At(x, y) = col;
    }
}

void DrawPlasma(Image& c) {
  // Interfering sines of whole frequencies, bent by smooth noise, coloured by a cyclic
  // palette (so bands never end in a seam), with thin filaments of light along the crests.
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width, v = (float)y / c.height;
      float w = Fbm(u * 2, v * 2, 2, 2, 3, 0.5f, 21);
      float a = std::sin(2 * Pi * (2 * u + 0.9f * w)) + std::sin(2 * Pi * (3 * v - 0.8f * w)) +
                std::sin(2 * Pi * (u + 2 * v) + 5 * w) + std::sin(2 * Pi * (3 * u - v) - 4 * w);
      float t = a / 8 + 0.5f;
      float phase = t * 1.5f + 0.15f * w;
      Colour col{0.55f + 0.45f * std::cos(2 * Pi * phase), 0.2f + 0.2f * std::cos(2 * Pi * (phase + 0.3f)),
                 0.5f + 0.5f * std::cos(2 * Pi * (phase + 0.62f))};
      float glow = Smoothstep(0.1f, 0.9f, t);
      float filament = std::pow(1 - std::fabs(std::sin(Pi * t * 6)), 14.0f);
      col = col * (0.15f + 0.85f * glow) + Colour{1.0f, 0.85f, 0.65f} * (filament * 0.7f * glow);
      c.At(x, y) = col;
    }
}

void DrawScreenMask(Image& c) {
  // Fine scan lines (every other row a little darker), a soft vignette and a faint grain,
  // all close to white: multiplied into the whole night flight it must not darken much.
  Rng rng(31);
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = ((x + 0.5f) / c.width * 2 - 1) * 1.0f, v = ((y + 0.5f) / c.height * 2 - 1) * 0.75f;
      float r2 = (u * u + v * v) / 1.5625f;
      float vignette = 1 - 0.3f * Smoothstep(0.25f, 1.0f, r2);
      float scan = (y & 1) ? 0.9f : 1.0f;
      float grain = (rng.Unit() - 0.5f) * 0.05f;
      float g = vignette * scan + grain;
      c.At(x, y) = Colour{g * 0.985f, g, g * 0.99f};
    }
}

namespace {
// The electric flash: a white-hot core and forked bolts that grow out of it, reach their
// full length at the third frame, then dim and break up. Frame k of 7.
void DrawFlash(Image& c, int frame) {
  const float grow[7] = {0.25f, 0.65f, 1.0f, 1.0f, 1.0f, 0.95f, 0.9f};
  const float bright[7] = {0.8f, 1.0f, 1.0f, 0.75f, 0.5f, 0.28f, 0.12f};
  const float coreSize[7] = {0.10f, 0.16f, 0.2f, 0.15f, 0.11f, 0.08f, 0.05f};
  float s = c.width / 256.0f, cx = c.width / 2.0f, cy = c.height / 2.0f;
  Mask bolts(c.width, c.height), fine(c.width, c.height);
  Rng rng(41);
  for (int b = 0; b < 10; b++) {
    float angle = b * 2 * Pi / 10 + rng.Range(-0.25f, 0.25f);
    float length = rng.Range(70, 108) * s * grow[frame];
    int segments = 14;
    std::vector<Point> path{{cx, cy}};
    float a = angle;
    for (int i = 1; i <= segments; i++) {
      a += rng.Range(-0.55f, 0.55f);
      a = angle + (a - angle) * 0.6f;
      Point last = path.back();
      path.push_back({last.x + std::cos(a) * length / segments, last.y + std::sin(a) * length / segments});
      // Forks: short side branches from some of the joints.
      if (rng.Unit() < 0.3f) {
        std::vector<Point> fork{path.back()};
        float fa = a + (rng.Unit() < 0.5f ? -1 : 1) * rng.Range(0.5f, 1.0f);
        for (int k = 0; k < 4; k++) {
          fa += rng.Range(-0.5f, 0.5f);
          fork.push_back(fork.back() + Point{std::cos(fa), std::sin(fa)} * (length / segments * 0.8f));
        }
        // Late frames lose pieces of their branches: the flash breaks up as it fades.
        if (frame < 4 || rng.Unit() > frame * 0.1f) Stroke(fine, fork, 0.9f * s, 0.3f * s);
      }
    }
    if (frame >= 5) {
      // Broken into pieces.
      for (size_t i = 0; i + 1 < path.size(); i++)
        if (rng.Unit() > 0.45f) Stroke(bolts, {path[i], path[i + 1]}, 1.1f * s, 0.9f * s);
    } else {
      Stroke(bolts, path, 1.8f * s, 0.5f * s);
    }
  }
  MaskMax(bolts, fine);
  Mask glow = bolts;
  Blur(glow, 7 * s);
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float dx = (x + 0.5f - cx) / c.width, dy = (y + 0.5f - cy) / c.height;
      float r = std::sqrt(dx * dx + dy * dy);
      float core = std::exp(-r * r / (coreSize[frame] * coreSize[frame] * 0.5f));
      float halo = std::exp(-r * r / (coreSize[frame] * coreSize[frame] * 6));
      Colour col = Colour{1.0f, 1.0f, 1.0f} * core + Colour{0.35f, 0.45f, 1.0f} * (halo * 0.55f);
      col += Colour{0.85f, 0.9f, 1.0f} * bolts.At(x, y) + Colour{0.3f, 0.4f, 1.0f} * (glow.At(x, y) * 2.2f);
      c.At(x, y) = col * (bright[frame] * BorderWindow(c, x, y, 0.8f, 0.98f));
    }
}
}  // namespace

void DrawFlashFrame1(Image& c) { DrawFlash(c, 0); }
void DrawFlashFrame2(Image& c) { DrawFlash(c, 1); }
void DrawFlashFrame3(Image& c) { DrawFlash(c, 2); }
void DrawFlashFrame4(Image& c) { DrawFlash(c, 3); }
void DrawFlashFrame5(Image& c) { DrawFlash(c, 4); }
void DrawFlashFrame6(Image& c) { DrawFlash(c, 5); }
void DrawFlashFrame7(Image& c) { DrawFlash(c, 6); }

namespace {
// The sky of the jungle at dusk, from the top of the wall (v = 0) to the horizon (v = 1).
const Ramp DuskSky{{0.0f, {0.09f, 0.08f, 0.22f}}, {0.35f, {0.25f, 0.16f, 0.38f}}, {0.6f, {0.62f, 0.3f, 0.42f}},
                   {0.78f, {0.98f, 0.55f, 0.32f}}, {0.86f, {1.0f, 0.78f, 0.45f}}, {1.0f, {1.0f, 0.85f, 0.55f}}};
const Colour SkyTopColour{0.09f, 0.08f, 0.22f};
}  // namespace

void DrawSkyWall(Image& c) {
  int w = c.width, h = c.height;
  // Sky with long streaks of cloud lit from below; nothing at the very top, so the top
  // rows are the one colour the ceiling's border has.
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float u = (float)x / w, v = (float)y / h;
      float sky_v = v / 0.78f;
      Colour col = DuskSky(sky_v);
      float streak = Fbm(u * 6, v * 20, 6, 0, 5, 0.5f, 51);
      float amount = Smoothstep(0.0f, 0.45f, streak) * Smoothstep(0.08f, 0.35f, sky_v) * (1 - Smoothstep(0.85f, 1.0f, sky_v));
      float lit = Smoothstep(0.4f, 0.95f, sky_v);
      Colour cloud = Mix(Colour{0.2f, 0.12f, 0.28f}, Colour{1.0f, 0.62f, 0.45f}, lit);
      col = Mix(col, cloud, amount * 0.8f);
      c.At(x, y) = col;
    }
  // Three layers of jungle, each a silhouette whose top line tiles across the width.
  struct Layer {
    float base, height;  // top line: base - height * profile, in fractions of the picture
    Colour colour;
    int period;
    uint32_t seed;
  };
  const Layer layers[] = {
      {0.80f, 0.10f, {0.45f, 0.28f, 0.42f}, 3, 61},
      {0.86f, 0.09f, {0.2f, 0.16f, 0.24f}, 7, 62},
      {0.93f, 0.05f, {0.07f, 0.09f, 0.08f}, 13, 63},
  };
  for (const Layer& L : layers) {
    Mask m(w, h);
    for (int x = 0; x < w; x++) {
      float u = (x + 0.5f) / w;
      // Rounded crowns: cellular bumps plus a little noise for leaves.
      float crowns = 0;
      for (float sub : {0.0f, 0.5f}) {
        CellDistances cd = Cells(u * L.period * 2 + sub, 0.5f + sub, L.period * 2, 0, L.seed);
        crowns = std::max(crowns, 1 - cd.f1 * cd.f1);
      }
      float leaves = Fbm(u * L.period * 8, 0.3f, L.period * 8, 0, 3, 0.5f, L.seed + 7) * 0.25f;
      float top = (L.base - L.height * (crowns + leaves)) * h;
      for (int y = 0; y < h; y++) m.At(x, y) = Clamp01(y + 0.5f - top);
    }
    Paint(c, m, L.colour);
  }
  // Palms on the nearest line, each drawn three times a width apart (with the same random
  // choices), so that fronds crossing the seam continue on the other side.
  Mask palms(w, h);
  Rng rng(64);
  for (int p = 0; p < 5; p++) {
    float bx = (p + rng.Range(0.25f, 0.75f)) * w / 5;
    float height = h * rng.Range(0.42f, 0.6f), lean = rng.Range(-0.12f, 0.12f) * height;
    Rng shape(640 + p);
    for (float shift : {-(float)w, 0.0f, (float)w}) {
      Rng same = shape;
      DrawPalm(palms, {bx + shift, h * 0.97f}, height, lean, same);
    }
  }
  // Crowns of the jungle's near edge: overlapping round bushes, wrapped the same way.
  Rng bushes(65);
  for (int i = 0; i < 70; i++) {
    float x = bushes.Unit() * w, r = bushes.Range(0.03f, 0.07f) * h;
    float y = h * 0.92f - bushes.Unit() * 0.03f * h;
    for (float shift : {-(float)w, 0.0f, (float)w}) FillEllipse(palms, {x + shift, y}, r * 1.4f, r);
  }
  Paint(c, palms, Colour{0.04f, 0.05f, 0.04f});
  // The lowest rows sink into the colour of the jungle's fog.
  for (int y = 0; y < h; y++) {
    float f = Smoothstep(0.93f, 1.0f, (y + 0.5f) / h) * 0.7f;
    for (int x = 0; x < w; x++) c.At(x, y) = Mix(c.At(x, y), Colour{0.16f, 0.3f, 0.09f}, f);
  }
}

void DrawSkyTop(Image& c) {
  // Square distance from the centre: every border point is 1 and gets the walls' top colour.
  Rng rng(71);
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (x + 0.5f) / c.width * 2 - 1, v = (y + 0.5f) / c.height * 2 - 1;
      float edge = std::max(std::fabs(u), std::fabs(v));
      float round = std::sqrt(u * u + v * v);
      Colour zenith{0.05f, 0.05f, 0.15f};
      Colour col = Mix(zenith, SkyTopColour, Smoothstep(0.0f, 1.0f, std::max(edge, round * 0.8f)));
      // Thin clouds overhead, lit pink from the sunset side, gone before the border.
      float wisps = Smoothstep(0.05f, 0.5f, Fbm(u * 1.5f + 2, v * 4 + 2, 0, 0, 6, 0.55f, 72));
      float fade = 1 - Smoothstep(0.55f, 0.92f, edge);
      col = Mix(col, Mix(Colour{0.22f, 0.14f, 0.3f}, Colour{0.5f, 0.28f, 0.4f}, Clamp01(v * 0.5f + 0.5f)), wisps * fade * 0.8f);
      c.At(x, y) = col;
    }
  // First stars of the evening, away from the border.
  for (int i = 0; i < 140; i++) {
    float x = rng.Range(0.1f, 0.9f) * c.width, y = rng.Range(0.1f, 0.9f) * c.height;
    float b = rng.Range(0.25f, 0.9f);
    float r = rng.Range(0.6f, 1.3f);
    for (int dy = -3; dy <= 3; dy++)
      for (int dx = -3; dx <= 3; dx++) {
        int px = (int)x + dx, py = (int)y + dy;
        float d2 = (px + 0.5f - x) * (px + 0.5f - x) + (py + 0.5f - y) * (py + 0.5f - y);
        c.At(px, py) += Colour{0.9f, 0.9f, 1.0f} * (b * std::exp(-d2 / (r * r)));
      }
  }
}

void DrawGlossy(Image& c) {
  // Blobby cells as a height field; shading from its wrapped slopes, a wet specular light.
  Field height(c.width, c.height);
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width, v = (float)y / c.height;
      CellDistances cd = Cells(u * 5, v * 5, 5, 5, 81);
      float warp = Fbm(u * 4, v * 4, 4, 4, 4, 0.5f, 82);
      height.At(x, y) = Smoothstep(0.0f, 0.9f, cd.f2 - cd.f1 + warp * 0.25f) + 0.15f * Fbm(u * 8, v * 8, 8, 8, 3, 0.5f, 83);
    }
  Ramp flesh{{0.0f, {0.02f, 0.08f, 0.1f}}, {0.45f, {0.05f, 0.42f, 0.42f}}, {0.8f, {0.35f, 0.8f, 0.65f}},
             {1.0f, {0.75f, 1.0f, 0.8f}}};
  float k = c.width / 48.0f;
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float hx = (height.Wrapped(x + 1, y) - height.Wrapped(x - 1, y)) * k;
      float hy = (height.Wrapped(x, y + 1) - height.Wrapped(x, y - 1)) * k;
      float len = std::sqrt(hx * hx + hy * hy + 1);
      float nx = -hx / len, ny = hy / len, nz = 1 / len;  // ny up
      float diffuse = Clamp01(-0.4f * nx + 0.5f * ny + 0.75f * nz);
      // Half vector of a light up-left and the viewer.
      float hxv = -0.25f, hyv = 0.3f, hzv = 0.92f;
      float shine = std::pow(Clamp01(nx * hxv + ny * hyv + nz * hzv), 60.0f);
      Colour col = flesh(height.At(x, y)) * (0.35f + 0.75f * diffuse);
      col += Colour{1, 1, 1} * (shine * 0.9f);
      col += Colour{0.2f, 0.5f, 0.6f} * (std::pow(1 - nz, 2.0f) * 0.6f);
      c.At(x, y) = col;
    }
}

// The credits show the water in negative, drawn in a grey of about 0.8 at rest: what
// lands on the screen is 1 - 0.8 * texel. The picture is therefore stored as the
// negative of the water the viewer should see, divided by that grey.
void DrawCaustics(Image& c) {
  const float restGrey = 0.8f;
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width, v = (float)y / c.height;
      float wx = Fbm(u * 3, v * 3, 3, 3, 4, 0.5f, 91) * 0.35f, wy = Fbm(u * 3 + 7, v * 3, 3, 3, 4, 0.5f, 92) * 0.35f;
      float light = 0;
      // Two nets of bright lines where neighbouring cells meet, one finer than the other.
      for (int layer = 0; layer < 2; layer++) {
        int n = layer ? 9 : 5;
        CellDistances cd = Cells((u + wx) * n, (v + wy) * n, n, n, 93 + layer);
        float edge = 1 - Smoothstep(0.0f, layer ? 0.12f : 0.18f, cd.f2 - cd.f1);
        light += edge * edge * (layer ? 0.55f : 0.9f);
      }
      float depth = Fbm(u * 2, v * 2, 2, 2, 4, 0.5f, 95) * 0.5f + 0.5f;
      Colour water = Mix(Colour{0.02f, 0.16f, 0.32f}, Colour{0.05f, 0.38f, 0.55f}, depth);
      Colour seen = water + Colour{0.6f, 0.9f, 1.0f} * light * 0.8f;
      c.At(x, y) = Colour{Clamp01((1 - Clamp01(seen.r)) / restGrey),
                          Clamp01((1 - Clamp01(seen.g)) / restGrey),
                          Clamp01((1 - Clamp01(seen.b)) / restGrey)};
    }
}

void DrawScales(Image& c) {
  // Shiny scales in bright colours, each lit from its centre, with thin white seams.
  const Colour palette[] = {{1.0f, 0.6f, 0.05f}, {1.0f, 0.9f, 0.15f}, {0.1f, 0.85f, 1.0f},
                            {1.0f, 0.25f, 0.6f}, {0.55f, 1.0f, 0.2f}, {0.7f, 0.45f, 1.0f}};
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width, v = (float)y / c.height;
      CellDistances cd = Cells(u * 6, v * 6, 6, 6, 101);
      Colour base = palette[cd.id % 6];
      float dome = Clamp01(1 - cd.f1 * 1.4f);
      Colour col = base * (0.45f + 0.7f * dome);
      col += Colour{1, 1, 1} * std::pow(dome, 6.0f) * 0.7f;
      float seam = 1 - Smoothstep(0.0f, 0.06f, cd.f2 - cd.f1);
      col = Mix(col, Colour{1, 1, 0.95f}, seam);
      float rings = 0.5f + 0.5f * std::sin(cd.f1 * 40);
      c.At(x, y) = col * (0.9f + 0.1f * rings);
    }
}

void DrawRay(Image& c) {
  // Rows run along the ray: the bottom row sits at the ball, the top row far away.
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (x + 0.5f) / c.width, v = (y + 0.5f) / c.height;
      float across = std::exp(-std::pow((u - 0.5f) / 0.17f, 2.0f)) - std::exp(-std::pow(0.5f / 0.17f, 2.0f));
      float along = std::pow(v, 1.6f) * (1 - Smoothstep(0.9f, 0.99f, v)) * Smoothstep(0.0f, 0.05f, v);
      float streaks = 0.75f + 0.25f * Noise(u * 12, 0.5f, 12, 0, 111);
      float b = Clamp01(across) * along * streaks * 1.3f;
      c.At(x, y) = Colour{1.0f, 0.92f, 0.75f} * b;
    }
}

void DrawSmokePuff(Image& c) {
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width, v = (float)y / c.height;
      float r = Radius(c, x, y);
      float billow = Fbm(u * 4, v * 4, 0, 0, 5, 0.55f, 121) * 0.5f + 0.5f;
      float density = (1 - Smoothstep(0.15f, 0.85f, r + (0.5f - billow) * 0.35f)) * (0.55f + 0.45f * billow);
      density *= 1 - Smoothstep(0.85f, 0.97f, r);
      float g = 1 - 0.6f * density;
      c.At(x, y) = Colour{g, g, g * 1.02f};
    }
}

void DrawFireTint(Image& c) {
  Ramp flame{{0.0f, {1, 1, 1}}, {0.35f, {1.0f, 0.85f, 0.45f}}, {0.7f, {1.0f, 0.55f, 0.12f}}, {1.0f, {0.95f, 0.3f, 0.04f}}};
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width, v = (float)y / c.height;
      float r = Radius(c, x, y);
      float lick = Fbm(u * 5, v * 3, 0, 0, 4, 0.5f, 131) * 0.5f + 0.5f;
      float heat = (1 - Smoothstep(0.05f, 0.8f, r + (0.5f - lick) * 0.3f)) * (1 - Smoothstep(0.8f, 0.96f, r));
      c.At(x, y) = flame(heat);
    }
}

void DrawSpark(Image& c) {
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float dx = (x + 0.5f) / c.width * 2 - 1, dy = (y + 0.5f) / c.height * 2 - 1;
      float r2 = dx * dx + dy * dy;
      float core = std::exp(-r2 / 0.012f), glow = std::exp(-r2 / 0.12f);
      float rays = (std::exp(-dx * dx / 0.002f) + std::exp(-dy * dy / 0.002f)) * std::exp(-r2 / 0.3f) * 0.35f;
      Colour col = Colour{1, 1, 0.9f} * core + Colour{1.0f, 0.55f, 0.15f} * (glow * 0.8f + rays);
      c.At(x, y) = col * BorderWindow(c, x, y, 0.75f, 0.97f);
    }
}

void DrawFontMetal(Image& c) {
  // Rows are heights on the glyphs in ems from the base line (the top row): warm gold low,
  // a dark horizon line at mid height, then bright chrome sky up to the capitals' tops; the
  // rows past the capitals run into the descenders and back to the gold of the top row.
  Ramp metal{{0.0f, {1.0f, 0.72f, 0.3f}},  {0.3f, {1.0f, 0.93f, 0.65f}}, {0.36f, {0.45f, 0.3f, 0.2f}},
             {0.4f, {0.85f, 0.9f, 1.0f}},  {0.6f, {1.0f, 1.0f, 1.0f}},   {0.78f, {0.55f, 0.72f, 1.0f}},
             {0.9f, {0.8f, 0.55f, 0.3f}},  {1.0f, {1.0f, 0.72f, 0.3f}}};
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width, v = (y + 0.5f) / c.height;
      float brushed = Fbm(u * 2, v * 64, 2, 64, 3, 0.5f, 141) * 0.08f;
      c.At(x, y) = metal(v) * (0.95f + brushed);
    }
}

void DrawEnvironment(Image& c) {
  // Streaks of reflected light running diagonally; skewing by whole periods keeps the
  // picture seamless in both directions.
  for (int y = 0; y < c.height; y++)
    for (int x = 0; x < c.width; x++) {
      float u = (float)x / c.width, v = (float)y / c.height;
      float across = (u - v), along = (u + v);
      float streak = RidgedFbm(across * 6, along * 2, 6, 2, 5, 0.55f, 151);
      float sheen = Fbm(u * 2, v * 2, 2, 2, 3, 0.5f, 152) * 0.5f + 0.5f;
      float b = 0.42f + 0.2f * sheen + 0.55f * std::pow(streak, 3.0f);
      c.At(x, y) = Colour{b * 0.92f, b * 0.97f, b * 1.05f};
    }
}
