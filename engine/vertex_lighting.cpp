// engine/vertex_lighting.cpp - per-vertex colours and per-face light maps from .vlo files.
#include "engine/vertex_lighting.h"

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

// The light-map section. The first refused or short record ends it; the faces before it
// keep their maps.
bool ReadLightMaps(Scene3ds* scene, Bytes& in) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  // Without an answer, the least every GL implementation accepts.
  if (maxSize <= 0) maxSize = 64;
  bool complete = true;
  scene->Rewind();
  for (uint32_t i = 0; complete && i < scene->objectCount; ++i) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindMesh && !node->modelAnchor) {
      delete[] node->faceLightMaps;
      node->faceLightMaps = new (std::nothrow) uint32_t[node->faceCount ? node->faceCount : 1]();
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
        std::vector<uint8_t> texels(static_cast<size_t>(n) * n * 3, 0);
        for (uint32_t l = 0; l < n; ++l) {
          for (uint32_t m = 0; m + l < n; ++m) {
            uint8_t* t = &texels[(static_cast<size_t>(l) * n + m) * 3];
            t[0] = in.U8();
            t[1] = in.U8();
            t[2] = in.U8();
          }
        }
        MirrorLightMap(texels.data(), n);
        if (!node->faceLightMaps) continue;
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, static_cast<GLsizei>(n), static_cast<GLsizei>(n), 0,
                     GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        node->faceLightMaps[j] = texture;
        // An additive mesh's maps exist but are not drawn.
        face.hasLightMap = node->additive ? 0 : 1;
      }
    }
    scene->Advance();
  }
  scene->Rewind();
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
