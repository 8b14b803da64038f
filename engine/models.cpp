// engine/models.cpp - reading .ryx files, frame blending and drawing animated models.
#include "engine/models.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "engine/renderer.h"
#include "engine/scene_grid.h"
#include "platform/platform.h"

namespace {

// No model of the show comes near this; a larger file is not read at all.
const long ModelFileMaxBytes = 256L * 1024 * 1024;

uint32_t ReadU32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
         ((uint32_t)p[3] << 24);
}
int32_t ReadI32(const uint8_t* p) { return (int32_t)ReadU32(p); }
uint16_t ReadU16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
float ReadF32(const uint8_t* p) {
  uint32_t bits = ReadU32(p);
  float v;
  memcpy(&v, &bits, sizeof v);
  return v;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  if (!path) return false;
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  bool ok = fseek(file, 0, SEEK_END) == 0;
  long size = ok ? ftell(file) : -1;
  ok = ok && size >= 0 && size <= ModelFileMaxBytes && fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes->resize((size_t)size);
    ok = size == 0 || fread(bytes->data(), 1, (size_t)size, file) == (size_t)size;
  }
  fclose(file);
  return ok;
}

int32_t TruncCell(float v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0f) return 2147483647;
  if (v <= -2147483648.0f) return (-2147483647 - 1);
  return (int32_t)v;
}

bool LoadModel(AnimatedModel* model, const char* path, bool mirrored) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes)) {
    model->ReleaseModel();
    LogWarn("model", "%s: cannot be read", path ? path : "(null)");
    return false;
  }
  bool ok = model->ParseModel(bytes.data(), bytes.size(), mirrored);
  if (!ok) LogWarn("model", "%s: counts do not fit the file; the model stays empty", path);
  return ok;
}

}  // namespace

AnimatedModel::AnimatedModel() { ModelScaleEnabled = true; }

AnimatedModel::~AnimatedModel() { ReleaseModel(); }

void AnimatedModel::ReleaseModel() {
  delete[] vertices;
  delete[] texCoords;
  delete[] faces;
  vertices = nullptr;
  texCoords = nullptr;
  faces = nullptr;
  frameCount = vertexCount = faceCount = 0;
}

bool AnimatedModel::LoadModelFile(const char* path) { return LoadModel(this, path, false); }

bool AnimatedModel::LoadModelMirrored(const char* path) { return LoadModel(this, path, true); }

bool AnimatedModel::ParseModel(const uint8_t* data, size_t size, bool mirrored) {
  ReleaseModel();
  if (!data || size < 12) return false;
  int32_t frames = ReadI32(data), verts = ReadI32(data + 4), tris = ReadI32(data + 8);
  if (frames <= 0 || verts <= 0 || tris < 0) return false;
  // Every count must be paid for by bytes in the file before anything is allocated.
  uint64_t need = 12 + (uint64_t)tris * 6 + (uint64_t)verts * 8 +
                  (uint64_t)frames * (uint64_t)verts * 24;
  if (need > size) return false;

  const uint8_t* p = data + 12;
  faces = new ModelFace[tris > 0 ? tris : 1];
  int32_t kept = 0;
  for (int32_t n = 0; n < tris; n++, p += 6) {
    ModelFace f;
    f.a = ReadU16(p);
    f.b = ReadU16(p + 2);
    f.c = ReadU16(p + 4);
    if (f.a < verts && f.b < verts && f.c < verts) faces[kept++] = f;
  }
  if (kept < tris) LogWarn("model", "%d faces name missing vertices and are dropped", tris - kept);
  texCoords = new TexCoord[verts];
  for (int32_t n = 0; n < verts; n++, p += 8) {
    texCoords[n].u = ReadF32(p);
    texCoords[n].v = ReadF32(p + 4);
  }
  vertices = new Vec3[(size_t)(frames + 1) * (size_t)verts];
  Vec3* out = vertices + verts;
  for (int64_t n = 0; n < (int64_t)frames * verts; n++, p += 24) {
    float x = ReadF32(p), y = ReadF32(p + 8), z = ReadF32(p + 16);
    out[n].x = mirrored ? -y : y;
    out[n].y = -z;
    out[n].z = x;
  }
  // Until the first interpolation the working pose shows the first frame.
  memcpy(vertices, vertices + verts, sizeof(Vec3) * (size_t)verts);
  frameCount = frames;
  vertexCount = verts;
  faceCount = kept;
  return true;
}

void AnimatedModel::InterpolateFrames(int32_t a, int32_t b, float t) {
  if (!vertices || a < 0 || b < 0 || a >= frameCount || b >= frameCount) return;
  const Vec3* fa = vertices + (size_t)(a + 1) * vertexCount;
  const Vec3* fb = vertices + (size_t)(b + 1) * vertexCount;
  for (int32_t i = 0; i < vertexCount; i++) {
    vertices[i].x = fa[i].x + (fb[i].x - fa[i].x) * t;
    vertices[i].y = fa[i].y + (fb[i].y - fa[i].y) * t;
    vertices[i].z = fa[i].z + (fb[i].z - fa[i].z) * t;
  }
}

void AnimatedModel::DrawModel(uint32_t texture) {
  if (!ModelScaleEnabled) scale = 1;
  if (!vertices || faceCount == 0) return;
  // A scale of 0 would send every vertex to infinity; it draws at natural size instead.
  float s = scale != 0.0f ? scale : 1.0f;
  glBindTexture(GL_TEXTURE_2D, texture);
  glBegin(GL_TRIANGLES);
  for (int32_t n = 0; n < faceCount; n++) {
    const uint16_t corners[3] = {faces[n].a, faces[n].b, faces[n].c};
    for (uint16_t v : corners) {
      glTexCoord2f(texCoords[v].u, texCoords[v].v);
      glVertex3f(vertices[v].x / s, vertices[v].y / s, vertices[v].z / s);
    }
  }
  glEnd();
}

bool ChooseFrames(const AnimatedModel& model, float elapsed, int32_t* a, int32_t* b, float* t) {
  *a = *b = 0;
  *t = 0;
  int32_t frames = model.frameCount;
  if (frames <= 0) return false;
  float s = elapsed * model.framesPerSecond;
  // Time before the start, or beyond what 32-bit tenths can count, is folded back into
  // one loop of the animation rather than overflowing the integer conversions.
  if (!std::isfinite(s) || s < 0) s = 0;
  if (s * 10.0f >= 2.0e9f) s = fmodf(s, (float)frames);
  int32_t whole = (int32_t)s;
  *a = whole % frames;
  *b = *a + 1 == frames ? 0 : *a + 1;
  int32_t tenths = (int32_t)(s * 10.0f);
  int64_t loopTenths = (int64_t)frames * 10;
  float blend = (float)(tenths % loopTenths) / 10.0f - (float)*a;
  // Rounding in s x 10 may disagree with trunc(s) at a frame boundary; the blend stays
  // in its steps of a tenth from 0 to 0.9.
  if (blend < 0) blend = 0;
  if (blend > 0.9f) blend = 0.9f;
  *t = blend;
  return true;
}

void DrawModelAnchors(SceneGrid* grid, const DemoTimer& timer) {
  if (!grid || !grid->scene || !grid->model) return;
  AnimatedModel* model = grid->model;
  int32_t a, b;
  float t;
  if (!ChooseFrames(*model, timer.elapsed, &a, &b, &t)) return;
  Scene3ds* scene = grid->scene;
  scene->Rewind();
  for (int32_t k = 0; k < scene->objectCount; k++) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindMesh && node->modelAnchor) {
      int64_t column = TruncCell((node->position.x - grid->minX) / grid->cellWidth);
      int64_t row = TruncCell((node->position.z - grid->minZ) / grid->cellDepth);
      int64_t index = column + row * grid->columns;
      if (index >= INT32_MIN && index <= INT32_MAX && grid->IsVisible((int32_t)index)) {
        model->InterpolateFrames(a, b, t);
        ApplyCameraView(scene);
        glTranslatef(node->position.x, node->position.y, node->position.z);
        glRotatef(node->rotation.x, 1, 0, 0);
        glRotatef(node->rotation.y, 0, 1, 0);
        glRotatef(node->rotation.z, 0, 0, 1);
        glColor3f(1, 1, 1);
        uint32_t texture = 0;
        if (node->textureIndex >= 0 && node->textureIndex < scene->textureCount &&
            node->textureIndex < SceneMaxTextures)
          texture = scene->textures[node->textureIndex].texture;
        model->DrawModel(texture);
      }
    }
    scene->Advance();
  }
  scene->Rewind();
}
