// tools/bake/scenes/light_bake.h - the scenes' lighting, baked by ray casting.
//
// Owns: computing what light reaches every vertex (and, for the light-mapped kind, every
// texel of every face's light map) from the scene's own lights: diffuse shading with soft
// shadows cast against the scene's triangles, plus the ambient colour weighted by ambient
// occlusion, plus each mesh's emission; and writing that as the show's .vlo file: one r, g,
// b float triple per vertex of every mesh in list order, then for the light-mapped kind one
// record per face of every mesh that is not a model anchor (a byte 1 and edge N, then the
// N x (N + 1) / 2 RGB texels of the triangle row by row; or a byte 0).
//
// A texel of row l and column m lies at a + (b - a) (m + 0.5) / N + (c - a) (l + 0.5) / N of
// its face a, b, c, which is where the show's second texture layer puts it.
//
// The result depends only on the scene and the options (rays are seeded per vertex and per
// texel), whatever the number of threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/bake/scenes/scene_build.h"

struct LightBakeOptions {
  int shadowSamples = 6;       // rays per light per point (spread over the light's radius)
  int aoRays = 24;             // ambient-occlusion rays per point (0: ambient unoccluded)
  float aoDistance = 80.0f;    // occluders further than this do not darken the ambient
  float exposure = 1.0f;       // scales the sum before the soft clamp to 0..1
  bool lightMaps = false;      // write the light-map section
  float texelSize = 8.0f;      // world units per light-map texel; N = power of two 4..32
  int lightMapShadowSamples = 2, lightMapAoRays = 8;  // cheaper per texel
  int threads = 2;
};

// Light reaching one point with the given normal (for tests and generators that want to
// shade something by the scene's light).
struct LightBaker;
LightBaker* NewLightBaker(const BakeScene& scene, const LightBakeOptions& options);
Colour LightAt(const LightBaker* baker, V3 point, V3 normal, uint32_t seed);
void DeleteLightBaker(LightBaker* baker);

// The .vlo bytes of the scene; false with the reason if the scene cannot be baked.
bool BakeLightingFile(const BakeScene& scene, const LightBakeOptions& options, std::vector<uint8_t>* file,
                      std::string* error);

// Writes "<base>.3ds" and, when `withLighting`, "<base>.vlo" into the archive, e.g.
// AddSceneMembers(out, "maps/jungle", scene, &options).
bool AddSceneMembers(BakeOutput& out, const std::string& base, const BakeScene& scene,
                     const LightBakeOptions* lighting, std::string* error);
