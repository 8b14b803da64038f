// engine/vertex_lighting.cpp - per-vertex colours and per-face light maps from .vlo files.
#include "engine/vertex_lighting.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "app/gl.h"
#include "platform/platform.h"

namespace {

const char* const LogTag = "lighting";
// No lighting file of the show comes near this; larger files are not read.
const long MaxFileBytes = 256L * 1024L * 1024L;

struct Bytes {
  const uint8_t* data;
  size_t size;
  size_t pos;

  size_t Left() const { return pos < size ? size - pos : 0; }
  uint8_t U8() { return data[pos++]; }
  uint32_t U32() {
    uint32_t v = static_cast<uint32_t>(data[pos]) | (static_cast<uint32_t>(data[pos + 1]) << 8) |
                 (static_cast<uint32_t>(data[pos + 2]) << 16) |
                 (static_cast<uint32_t>(data[pos + 3]) << 24);
    pos += 4;
    return v;
  }
  float Float() {
    uint32_t bits = U32();
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
  }
};

bool ReadWholeFile(const char* path, std::vector<uint8_t>* out) {
  FILE* f = path ? fopen(path, "rb") : nullptr;
  if (!f) return false;
  bool ok = fseek(f, 0, SEEK_END) == 0;
  long size = ok ? ftell(f) : -1;
  ok = ok && size >= 0 && size <= MaxFileBytes && fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out->resize(static_cast<size_t>(size));
    ok = size == 0 || fread(out->data(), 1, out->size(), f) == out->size();
  }
  fclose(f);
  return ok;
}

// The colour section. Additive meshes get white colours when whiteAdditive is set, but
// their records are still consumed. False when the bytes end before the last mesh.
bool ReadColours(Scene3ds* scene, Bytes& in, bool whiteAdditive) {
  bool complete = true;
  scene->Rewind();
  for (uint32_t i = 0; i < scene->objectCount; ++i) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindMesh) {
      for (uint32_t f = 0; f < node->faceCount; ++f) node->faces[f].hasLightMap = 0;
      for (uint32_t v = 0; complete && v < node->vertexCount; ++v) {
        if (in.Left() < 12) {
          LogWarn(LogTag, "the file ends in the colours of mesh \"%s\"", node->name);
          complete = false;
          break;
        }
        Vec3 c;
        c.x = in.Float();
        c.y = in.Float();
        c.z = in.Float();
        if (whiteAdditive && node->additive) c = Vec3{1.0f, 1.0f, 1.0f};
        node->vertexColours[v] = c;
      }
    }
    scene->Advance();
  }
  scene->Rewind();
  return complete;
}

bool PowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

// One face's map, read and mirrored, waiting for its place in an atlas.
struct PendingMap {
  SceneObject* node;
  uint32_t face;
  uint32_t n;
  size_t offset;  // into the texel store
};

uint32_t NextPowerOfTwo(uint64_t v) {
  uint32_t p = 1;
  while (p < v && p < 0x80000000u) p <<= 1;
  return p;
}

GLuint NewLightMapTexture(uint32_t width, uint32_t height, const uint8_t* texels) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  // Rows of one or two RGB texels are not four-byte aligned.
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
               GL_RGB, GL_UNSIGNED_BYTE, texels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  return texture;
}

void SetPlace(const PendingMap& m, GLuint texture, float u, float v, float du, float dv) {
  SceneObject* node = m.node;
  node->faceLightMaps[m.face] = texture;
  if (node->faceLightMapPlaces) {
    float* place = &node->faceLightMapPlaces[4 * static_cast<size_t>(m.face)];
    place[0] = u;
    place[1] = v;
    place[2] = du;
    place[3] = dv;
  }
}

// Every face's map is a texture of its own to the scene, but thousands of tiny textures
// cost a draw each. The maps are packed into a few atlases instead, each tile framed by a
// one-texel border that repeats its opposite edges: the bilinear filter then reads there
// exactly what it read when the tile wrapped around as a texture of its own, so the faces
// look as they did. A face's place in its atlas goes to faceLightMapPlaces.
void PackLightMaps(std::vector<PendingMap>& maps, const std::vector<uint8_t>& store,
                   uint32_t maxSize) {
  if (maps.empty()) return;
  std::stable_sort(maps.begin(), maps.end(),
                   [](const PendingMap& a, const PendingMap& b) { return a.n > b.n; });
  uint64_t area = 0;
  for (const PendingMap& m : maps) area += static_cast<uint64_t>(m.n + 2) * (m.n + 2);
  uint32_t edge = 1;
  while (static_cast<uint64_t>(edge) * edge < area) edge <<= 1;
  edge = std::max(edge, NextPowerOfTwo(maps[0].n + 2));
  edge = std::min(edge, std::min(maxSize, 2048u));

  size_t first = 0;
  while (first < maps.size()) {
    // Maps that do not fit an atlas with their border keep a texture of their own.
    if (maps[first].n + 2 > edge) {
      const PendingMap& m = maps[first];
      SetPlace(m, NewLightMapTexture(m.n, m.n, &store[m.offset]), 0, 0, 1, 1);
      first++;
      continue;
    }
    // Shelves, tallest maps first, until the atlas is full.
    struct Spot { uint32_t x, y; };
    std::vector<Spot> spots;
    uint32_t x = 0, y = 0, shelf = 0;
    size_t last = first;
    for (; last < maps.size(); last++) {
      uint32_t t = maps[last].n + 2;
      if (x + t > edge) {
        y += shelf;
        x = 0;
        shelf = 0;
      }
      if (y + t > edge) break;
      spots.push_back({x, y});
      x += t;
      shelf = std::max(shelf, t);
    }
    uint32_t height = NextPowerOfTwo(y + shelf);
    std::vector<uint8_t> atlas(static_cast<size_t>(edge) * height * 3, 0);
    for (size_t k = first; k < last; k++) {
      const PendingMap& m = maps[k];
      const Spot& s = spots[k - first];
      const uint8_t* src = &store[m.offset];
      for (uint32_t ty = 0; ty < m.n + 2; ty++) {
        uint32_t sy = (ty + m.n - 1) % m.n;  // border rows repeat the opposite edge
        uint8_t* row = &atlas[(static_cast<size_t>(s.y + ty) * edge + s.x) * 3];
        for (uint32_t tx = 0; tx < m.n + 2; tx++) {
          uint32_t sx = (tx + m.n - 1) % m.n;
          memcpy(&row[tx * 3], &src[(static_cast<size_t>(sy) * m.n + sx) * 3], 3);
        }
      }
    }
    GLuint texture = NewLightMapTexture(edge, height, atlas.data());
    for (size_t k = first; k < last; k++) {
      const PendingMap& m = maps[k];
      const Spot& s = spots[k - first];
      SetPlace(m, texture, (s.x + 1.0f) / edge, (s.y + 1.0f) / height,
               static_cast<float>(m.n) / edge, static_cast<float>(m.n) / height);
    }
    first = last;
  }
}

// The light-map section. The first refused or short record ends it; the faces before it
// keep their maps.
bool ReadLightMaps(Scene3ds* scene, Bytes& in) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  // Without an answer, the least every GL implementation accepts.
  if (maxSize <= 0) maxSize = 64;
  bool complete = true;
  std::vector<PendingMap> pending;
  std::vector<uint8_t> store;
  scene->Rewind();
  for (uint32_t i = 0; complete && i < scene->objectCount; ++i) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindMesh && !node->modelAnchor) {
      delete[] node->faceLightMaps;
      delete[] node->faceLightMapPlaces;
      size_t faces = node->faceCount ? node->faceCount : 1;
      node->faceLightMaps = new (std::nothrow) uint32_t[faces]();
      node->faceLightMapPlaces = new (std::nothrow) float[4 * faces]();
      for (uint32_t j = 0; complete && j < node->faceCount; ++j) {
        Face& face = node->faces[j];
        face.hasLightMap = 0;
        if (in.Left() < 1) {
          LogWarn(LogTag, "the file ends in the light maps of mesh \"%s\"", node->name);
          complete = false;
          break;
        }
        if (in.U8() != 1) continue;
        if (in.Left() < 4) {
          complete = false;
          break;
        }
        uint32_t n = in.U32();
        uint64_t stored = static_cast<uint64_t>(n) * (static_cast<uint64_t>(n) + 1) / 2 * 3;
        if (!PowerOfTwo(n) || n > static_cast<uint32_t>(maxSize) || stored > in.Left()) {
          LogWarn(LogTag, "mesh \"%s\" face %u: light map of edge %u refused; no more maps",
                  node->name, j, n);
          complete = false;
          break;
        }
        size_t offset = store.size();
        store.resize(offset + static_cast<size_t>(n) * n * 3, 0);
        uint8_t* texels = &store[offset];
        for (uint32_t l = 0; l < n; ++l) {
          for (uint32_t m = 0; m + l < n; ++m) {
            uint8_t* t = &texels[(static_cast<size_t>(l) * n + m) * 3];
            t[0] = in.U8();
            t[1] = in.U8();
            t[2] = in.U8();
          }
        }
        MirrorLightMap(texels, n);
        if (!node->faceLightMaps) continue;
        if (node->faceLightMapPlaces)
          pending.push_back({node, j, n, offset});
        else
          node->faceLightMaps[j] = NewLightMapTexture(n, n, texels);
        // An additive mesh's maps exist but are not drawn.
        face.hasLightMap = node->additive ? 0 : 1;
      }
    }
    scene->Advance();
  }
  scene->Rewind();
  PackLightMaps(pending, store, static_cast<uint32_t>(maxSize));
  return complete;
}

}  // namespace

void MirrorLightMap(uint8_t* texels, uint32_t n) {
  for (uint32_t l = 0; l < n; ++l) {
    for (uint32_t m = 0; m + l < n; ++m) {
      const uint8_t* from = &texels[(static_cast<size_t>(l) * n + m) * 3];
      uint8_t* to = &texels[(static_cast<size_t>(n - 1 - m) * n + (n - 1 - l)) * 3];
      memmove(to, from, 3);
    }
  }
}

bool ParseVertexLighting(Scene3ds* scene, const uint8_t* data, size_t size) {
  if (!scene) return false;
  Bytes in{data, data ? size : 0, 0};
  return ReadColours(scene, in, false);
}

bool ParseVertexLightingWithLightMaps(Scene3ds* scene, const uint8_t* data, size_t size) {
  if (!scene) return false;
  Bytes in{data, data ? size : 0, 0};
  if (!ReadColours(scene, in, true)) return false;
  return ReadLightMaps(scene, in);
}

bool LoadVertexLighting(Scene3ds* scene, const char* path) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes)) {
    LogWarn(LogTag, "%s cannot be read; the scene keeps white vertex colours",
            path ? path : "(null)");
    if (scene) scene->Rewind();
    return false;
  }
  return ParseVertexLighting(scene, bytes.data(), bytes.size());
}

bool LoadVertexLightingWithLightMaps(Scene3ds* scene, const char* path) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes)) {
    LogWarn(LogTag, "%s cannot be read; the scene keeps white vertex colours",
            path ? path : "(null)");
    if (scene) scene->Rewind();
    return false;
  }
  return ParseVertexLightingWithLightMaps(scene, bytes.data(), bytes.size());
}
