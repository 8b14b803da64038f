// tools/bake/scenes/scene_build.h - the 3D scenes of the data set, as the baker builds them.
//
// Owns: BakeScene (meshes, lights, cameras and their key tracks, in the scene's Y-up space),
// the shape builders that fill meshes, the 3DS writer, and the members a scene adds to the
// archive (its .3ds, its baked .vlo and its material pictures).
// Lighting is baked by light_bake.h; the creatures' vertex-frame files by creatures.h.
//
// Space: everything here is in the show's scene space: Y up, a file point (x, y, z) is read
// by the show as (x, z, -y). The writer converts back, so generators never see file axes.
// Faces are counter-clockwise seen from their front; the lighting bake shades the front.
//
// Names carry the show's mesh conventions: "%name" additive, "%%name" alpha-masked (its
// material "maps/leaf.jpg" needs a mask "maps/@eaf.jpg": the letter after the first '/'
// becomes '@'), "@name" model anchor, "?name" reflective, "*Nname" particle emitter of
// mode N (its material is the particle picture).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/bake/bake.h"
#include "tools/bake/colour.h"
#include "tools/bake/image.h"

struct V3 {
  float x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator-(V3 a) { return {-a.x, -a.y, -a.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3& operator+=(V3& a, V3 b) { return a = a + b; }
inline float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(V3 a) { return std::sqrt(Dot(a, a)); }
inline V3 Normalize(V3 a) {
  float l = Length(a);
  return l > 0 ? a * (1.0f / l) : V3{0, 1, 0};
}
inline V3 LerpV(V3 a, V3 b, float t) { return a + (b - a) * t; }

struct UV {
  float u = 0, v = 0;
};

// A key of a position track, or of a camera's eye or target track.
struct PointKey {
  int frame;
  V3 value;
};
// A key of a mesh's rotation track: the rotation the show applies when drawing the mesh,
// in degrees about X, then Y, then Z (the show evaluates these as given; the writer encodes
// them as the file's angle-axis steps). Key 0 must be (0, 0, 0): the show drops the file's
// first orientation, so a mesh always starts unrotated.
struct RotationKey {
  int frame;
  V3 degrees;
};

struct BakeMesh {
  std::string name;      // unique in the scene, under 64 characters, with its prefix
  std::string material;  // "maps/name.jpg": the JPEG the show loads for it
  std::vector<V3> vertices;  // world coordinates, at most 65535
  std::vector<UV> uvs;       // one per vertex (texture repeats: values outside 0..1 tile)
  std::vector<std::array<uint16_t, 3>> faces;  // at most 65535
  // Keyframer. Position keys: 1 key, or 3k + 1 keys (keys 0, 3, 6, ... on the path, the two
  // between each pair its Bezier controls). Empty: one key at `pivot`. A moving mesh is
  // drawn as translate(position) rotate translate(-key 0), so model its vertices at key 0.
  V3 pivot;
  std::vector<PointKey> position;
  std::vector<RotationKey> rotation;  // empty, 1 key, or 3k + 1 keys like positions
  // Lighting bake.
  bool castsShadow = true;    // blocks rays (light shafts, glows and emitters should not)
  float shadowOpacity = 1.0f; // below 1: rays pass, dimmed (foliage)
  Colour emission;            // added to the baked light of every vertex / texel
  bool lightMapped = true;    // light-mapped files only: give its faces maps
  bool twoSided = false;      // lit from whichever side faces the light (leaves, cloth)
};

struct BakeLight {
  std::string name;
  V3 position;
  Colour colour{1, 1, 1};
  float multiplier = 1.0f;
  // Reach: full strength to innerRange, fading smoothly to nothing at outerRange.
  float innerRange = 100.0f, outerRange = 400.0f;
  bool spot = false;
  V3 target;                     // spot lights
  float hotspot = 40, falloff = 60;  // full cone angles in degrees
  float radius = 2.0f;           // size of the source, for soft shadows
  bool castsShadows = true;
  std::vector<PointKey> track;   // optional position keys (the show moves a spot light's node)
};

struct BakeCamera {
  std::string name;
  // Catmull-Rom through every key; at least four keys each, frames strictly increasing. The
  // show plays key 1 to key count - 2 of each camera, so key 0 and the last key only shape
  // the curve's ends.
  std::vector<PointKey> eye, target;
  float lens = 35.0f;
};

struct BakeScene {
  std::vector<BakeMesh> meshes;    // written first, in this order (the show's list order)
  std::vector<BakeLight> lights;   // then the lights
  std::vector<BakeCamera> cameras; // then the cameras, in the order the show plays them
  Colour ambient{0.1f, 0.1f, 0.1f};  // baked with ambient occlusion
  int frameCount = 100;            // length of the keyframer's segment
};

// ---------------------------------------------------------------------------------------
// Shape builders: each appends to a mesh (all vertices of one call share nothing with
// earlier ones unless said). `uvScale` is texture repeats per world unit.

// A quad a, b, c, d (counter-clockwise from the front), uv (0,0) (1,0) (1,1) (0,1) scaled
// by repeats.
void AddQuad(BakeMesh& m, V3 a, V3 b, V3 c, V3 d, float repeatsU = 1, float repeatsV = 1);
// An axis-aligned box from lo to hi, faces outwards (inwards when `inside`), texture in
// world units. Omits the faces whose bit is set: 1 -X, 2 +X, 4 -Y, 8 +Y, 16 -Z, 32 +Z.
void AddBox(BakeMesh& m, V3 lo, V3 hi, float uvScale, bool inside = false, int omit = 0);
// A cylinder (or cone, when the radii differ) along +Y from base centre, `sides` facets,
// smooth normals; caps when asked. Texture wraps once around, v in world units * uvScale.
void AddCylinder(BakeMesh& m, V3 base, float height, float radiusBottom, float radiusTop, int sides,
                 float uvScale, bool caps = true, bool inside = false);
// A UV sphere (rings x segments), smooth; uv wraps once around and pole to pole.
void AddSphere(BakeMesh& m, V3 centre, float radius, int rings, int segments, bool inside = false);
// A height field over x0..x1, z0..z1 with nx by nz cells, facing up, uv in world units.
template <typename HeightFn>
void AddHeightField(BakeMesh& m, float x0, float z0, float x1, float z1, int nx, int nz, float uvScale,
                    HeightFn height);
// Moves / turns the vertices appended since `firstVertex` (rotation about Y in degrees
// around `centre`, then translation).
void TransformFrom(BakeMesh& m, size_t firstVertex, V3 centre, float yawDegrees, V3 offset);
// Splits a mesh with more than 65535 vertices or faces into numbered parts (name + "#2", ...)
// appended to the scene; returns false if it cannot (a face list that would not fit).
bool AddMeshSplit(BakeScene& scene, BakeMesh mesh);

// ---------------------------------------------------------------------------------------
// Files.

// The 3DS file of a scene; false (with the reason) when it breaks a limit the show relies
// on: 65535 vertices / faces per mesh, 60 materials, 100 lights, 50 cameras, 100 emitters,
// names under 64 characters, track lengths and increasing frames, uv counts.
bool Write3ds(const BakeScene& scene, std::vector<uint8_t>* file, std::string* error);

// The mask picture's name for an alpha-masked material ("maps/leaf.jpg" -> "maps/@eaf.jpg").
std::string MaskName(const std::string& material);

// Adds a picture as a JPEG member (quality 0..100).
void AddJpegMember(BakeOutput& out, const std::string& name, const Image& image, int quality = 90);
void AddMember(BakeOutput& out, const std::string& name, std::vector<uint8_t> bytes);

// Defined inline.
template <typename HeightFn>
void AddHeightField(BakeMesh& m, float x0, float z0, float x1, float z1, int nx, int nz, float uvScale,
                    HeightFn height) {
  uint16_t base = (uint16_t)m.vertices.size();
  for (int j = 0; j <= nz; j++)
    for (int i = 0; i <= nx; i++) {
      float x = x0 + (x1 - x0) * i / nx, z = z0 + (z1 - z0) * j / nz;
      m.vertices.push_back({x, height(x, z), z});
      m.uvs.push_back({x * uvScale, z * uvScale});
    }
  for (int j = 0; j < nz; j++)
    for (int i = 0; i < nx; i++) {
      uint16_t a = (uint16_t)(base + j * (nx + 1) + i), b = (uint16_t)(a + 1);
      uint16_t c = (uint16_t)(a + nx + 1), d = (uint16_t)(c + 1);
      // Seen from above (+Y), x to the right and z towards the viewer: a, c, d and a, d, b
      // are counter-clockwise.
      m.faces.push_back({a, c, d});
      m.faces.push_back({a, d, b});
    }
}
