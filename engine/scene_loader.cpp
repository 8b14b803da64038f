// engine/scene_loader.cpp - the 3DS chunk walk and the pass after reading.
//
// Every level reads its sub-chunks the same way (ReadChildren): a header, a handler if the
// id is one this level knows, then a seek to the chunk's end whatever the handler read.
// Chunk lengths are trusted for navigation, but a child never reaches past its parent: the
// reader's limit is narrowed to the chunk being handled, so a handler that reads too far
// only reads zeros, and a child whose length runs past its parent ends the parent's level.
#include "engine/scene_loader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "assets/jpeg_texture.h"
#include "engine/file_reading.h"
#include "platform/platform.h"

namespace {

enum : uint16_t {
  ChunkMain = 0x4D4D,
  ChunkEditor = 0x3D3D,
  ChunkObjectBlock = 0x4000,
  ChunkTriangleMesh = 0x4100,
  ChunkVertexList = 0x4110,
  ChunkFaceList = 0x4120,
  ChunkFaceMaterialList = 0x4130,
  ChunkMappingList = 0x4140,
  ChunkLight = 0x4600,
  ChunkColourFloat = 0x0010,
  ChunkSpotlight = 0x4610,
  ChunkCamera = 0x4700,
  ChunkKeyframer = 0xB000,
  ChunkObjectNode = 0xB002,
  ChunkCameraNode = 0xB003,
  ChunkTargetNode = 0xB004,
  ChunkSpotlightNode = 0xB007,
  ChunkNodeName = 0xB010,
  ChunkPivot = 0xB013,
  ChunkPositionTrack = 0xB020,
  ChunkRotationTrack = 0xB021,
};

const char* const ErrorCaption = "-=(ERROR)=-";
const char* const LogTag = "3ds";

struct Loader {
  Scene3ds* scene;
  SceneReader* reader;
  const char* name;
};

// Announces a handled chunk: the bare name at the top level, below it "+--" after three
// spaces per level beyond the first.
void TraceChunk(int level, const char* chunkName) {
  char line[128];
  if (level <= 0) {
    snprintf(line, sizeof line, "%s\n", chunkName);
  } else {
    int indent = (level - 1) * 3;
    snprintf(line, sizeof line, "%*s+--%s\n", indent, "", chunkName);
  }
  Trace(line);
}

// Walks the sub-chunks from the current position to the reader's limit (the end of the
// chunk being read), calling handle(h) with the reader limited to that child.
template <typename Handler>
void ReadChildren(SceneReader& r, Handler handle) {
  const uint32_t end = r.limit;
  ChunkHeader h;
  while (ReadChunkHeader(r, &h)) {
    // A length below its own header would never move on; it ends this level.
    if (h.length < ChunkHeaderSize) break;
    r.limit = h.end < end ? h.end : end;
    handle(h);
    r.limit = end;
    SkipChunk(r, h);
    if (!(h.end < end)) break;
  }
  r.limit = end;
}

// How many records of recordBytes the rest of the chunk can hold, and the count to use.
uint32_t CheckedCount(Loader& L, uint32_t count, uint32_t recordBytes, const char* what) {
  uint32_t fits = BytesLeft(*L.reader) / recordBytes;
  if (count > fits) {
    LogWarn(LogTag, "%s: %s count %u runs past its chunk; %u kept", L.name, what, count, fits);
    return fits;
  }
  return count;
}

void FreeTrack(uint32_t* count, uint16_t** frames, Vec3** values) {
  delete[] *frames;
  delete[] *values;
  *frames = nullptr;
  *values = nullptr;
  *count = 0;
}

// Reads one track (position when valueFloats is 3, rotation when 4) into fresh arrays.
// A key that the chunk cannot hold whole ends the track; the keys before it are kept.
void ReadTrack(Loader& L, bool rotation, uint32_t* count, uint16_t** frames, Vec3** values) {
  SceneReader& r = *L.reader;
  FreeTrack(count, frames, values);
  for (int i = 0; i < 5; ++i) ReadU16(r);  // flags and reserved words
  uint32_t n = ReadU32(r);
  const uint32_t valueBytes = rotation ? 16 : 12;
  n = CheckedCount(L, n, 6 + valueBytes, "key");
  if (n == 0) return;
  uint16_t* f = new (std::nothrow) uint16_t[n];
  Vec3* v = new (std::nothrow) Vec3[n];
  if (!f || !v) {
    delete[] f;
    delete[] v;
    return;
  }
  uint32_t read = 0;
  for (; read < n; ++read) {
    if (BytesLeft(r) < 6) break;
    uint32_t frame = ReadU32(r);
    uint16_t splineFlags = ReadU16(r);
    uint32_t extras = 0;
    for (int bit = 0; bit < 5; ++bit) extras += (splineFlags >> bit) & 1;
    if (BytesLeft(r) < extras * 4 + valueBytes) break;
    for (uint32_t i = 0; i < extras; ++i) ReadFloat(r);  // tension, continuity, bias, eases
    f[read] = static_cast<uint16_t>(frame & 0xFFFF);
    if (rotation) {
      double angle = ReadFloat(r);
      Vec3 axis;
      ReadPoint(r, &axis);
      double degrees = angle * 180.0 / 3.1415;
      v[read].x = static_cast<float>(axis.x * degrees);
      v[read].y = static_cast<float>(axis.y * degrees);
      v[read].z = static_cast<float>(axis.z * degrees);
    } else {
      ReadPoint(r, &v[read]);
    }
  }
  if (read < n) LogWarn(LogTag, "%s: track ends after %u of %u keys", L.name, read, n);
  if (rotation && read > 0) {
    // Keys hold running sums; the orientation of key 0 is dropped.
    v[0] = Vec3{};
    for (uint32_t i = 1; i < read; ++i) {
      v[i].x += v[i - 1].x;
      v[i].y += v[i - 1].y;
      v[i].z += v[i - 1].z;
    }
  }
  *count = read;
  *frames = f;
  *values = v;
}

void ReadVertexList(Loader& L, SceneObject* node) {
  SceneReader& r = *L.reader;
  uint32_t count = CheckedCount(L, ReadU16(r), 12, "vertex");
  delete[] node->vertices;
  delete[] node->vertexColours;
  node->vertices = nullptr;
  node->vertexColours = nullptr;
  node->vertexCount = 0;
  if (count == 0) return;
  Vec3* vertices = new (std::nothrow) Vec3[count];
  Vec3* colours = new (std::nothrow) Vec3[count];
  if (!vertices || !colours) {
    delete[] vertices;
    delete[] colours;
    PlatformMessageBox(ErrorCaption, "Cannot alloc memory for vertex");
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    ReadPoint(r, &vertices[i]);
    colours[i] = Vec3{1.0f, 1.0f, 1.0f};
  }
  node->vertices = vertices;
  node->vertexColours = colours;
  node->vertexCount = static_cast<uint16_t>(count);
}

void ReadFaceMaterial(Loader& L, SceneObject* node) {
  Scene3ds* scene = L.scene;
  char material[SceneTextureNameSize];
  ReadName(*L.reader, material, SceneTextureNameSize);
  for (int32_t i = 0; i < scene->textureCount; ++i) {
    if (strncmp(scene->textures[i].name, material, SceneTextureNameSize) == 0) {
      node->textureIndex = i;
      return;
    }
  }
  if (scene->textureCount >= SceneMaxTextures) {
    LogWarn(LogTag, "%s: more than %d materials; \"%s\" is not loaded", L.name,
            static_cast<int>(SceneMaxTextures), material);
    return;
  }
  SceneTexture& entry = scene->textures[scene->textureCount];
  LoadTexture(&entry.texture, material, 0);
  entry.maskApplied = 0;
  memcpy(entry.name, material, SceneTextureNameSize);
  node->textureIndex = scene->textureCount;
  ++scene->textureCount;
}

void ReadFaceList(Loader& L, SceneObject* node, int level) {
  SceneReader& r = *L.reader;
  uint32_t count = CheckedCount(L, ReadU16(r), 8, "face");
  L.scene->totalFaceCount -= node->faceCount;
  delete[] node->faces;
  node->faces = nullptr;
  node->faceCount = 0;
  if (count > 0) {
    Face* faces = new (std::nothrow) Face[count];
    if (faces) {
      for (uint32_t i = 0; i < count; ++i) {
        ReadFaceIndices(r, &faces[i]);
        faces[i].flags = ReadU16(r);
        faces[i].hasLightMap = 0;
      }
      node->faces = faces;
      node->faceCount = static_cast<uint16_t>(count);
      L.scene->totalFaceCount += static_cast<int32_t>(count);
    }
  }
  ReadChildren(r, [&](const ChunkHeader& h) {
    if (h.id == ChunkFaceMaterialList) {
      TraceChunk(level + 1, "CHUNK_FACEMATERIALLIST");
      ReadFaceMaterial(L, node);
    }
  });
}

void ReadMappingList(Loader& L, SceneObject* node) {
  SceneReader& r = *L.reader;
  uint32_t count = CheckedCount(L, ReadU16(r), 8, "mapping coordinate");
  delete[] node->texCoords;
  node->texCoords = nullptr;
  node->texCoordCount = 0;
  if (count == 0) return;
  TexCoord* coords = new (std::nothrow) TexCoord[count];
  if (!coords) {
    PlatformMessageBox(ErrorCaption, "Cannot alloc memory for mapping coordinate");
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    coords[i].u = ReadFloat(r);
    coords[i].v = ReadFloat(r);
  }
  node->texCoords = coords;
  node->texCoordCount = static_cast<uint16_t>(count);
}

// Drops the faces that name a vertex the mesh does not have, keeping the others in order.
void DropBadFaces(Loader& L, SceneObject* node) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < node->faceCount; ++i) {
    const Face& f = node->faces[i];
    if (f.a < node->vertexCount && f.b < node->vertexCount && f.c < node->vertexCount) {
      node->faces[kept++] = f;
    }
  }
  if (kept < node->faceCount) {
    LogWarn(LogTag, "%s: mesh \"%s\": %u faces name missing vertices and are dropped", L.name,
            node->name, node->faceCount - kept);
    L.scene->totalFaceCount -= node->faceCount - kept;
    node->faceCount = static_cast<uint16_t>(kept);
  }
}

void ReadMesh(Loader& L, SceneObject* node, int level) {
  node->kind = KindMesh;
  ReadChildren(*L.reader, [&](const ChunkHeader& h) {
    switch (h.id) {
      case ChunkVertexList:
        TraceChunk(level + 1, "CHUNK_VERTICELIST");
        ReadVertexList(L, node);
        break;
      case ChunkFaceList:
        TraceChunk(level + 1, "CHUNK_FACELIST");
        ReadFaceList(L, node, level + 1);
        break;
      case ChunkMappingList:
        TraceChunk(level + 1, "CHUNK_MAPPINGCOORDINATELIST");
        ReadMappingList(L, node);
        break;
      default:
        break;
    }
  });
  DropBadFaces(L, node);
}

void ReadLight(Loader& L, SceneObject* node, int level) {
  SceneReader& r = *L.reader;
  Scene3ds* scene = L.scene;
  node->kind = KindLight;
  ReadPoint(r, &node->position);
  node->light.position = node->position;
  ReadChildren(r, [&](const ChunkHeader& h) {
    if (h.id == ChunkColourFloat) {
      ReadFloat3(r, node->light.colour);
      for (float& c : node->light.colour) c = std::fabs(c);
    } else if (h.id == ChunkSpotlight) {
      TraceChunk(level + 1, "CHUNK_SPOTLIGHT");
      LightData& light = node->light;
      ReadPoint(r, &light.spotTarget);
      double dx = static_cast<double>(light.spotTarget.x) - light.position.x;
      double dy = static_cast<double>(light.spotTarget.y) - light.position.y;
      double dz = static_cast<double>(light.spotTarget.z) - light.position.z;
      light.range = static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz));
      light.hotspot = ReadFloat(r);
      light.falloff = ReadFloat(r);
    }
  });
  for (int32_t i = 0; i < scene->lightCount; ++i) {
    if (scene->lights[i] == &node->light) return;  // a second light chunk in one object
  }
  if (scene->lightCount >= SceneMaxLights) {
    LogWarn(LogTag, "%s: more than %d lights; \"%s\" is not listed", L.name,
            static_cast<int>(SceneMaxLights), node->name);
    return;
  }
  scene->lights[scene->lightCount++] = &node->light;
}

void ReadCamera(Loader& L, SceneObject* node) {
  SceneReader& r = *L.reader;
  node->kind = KindCamera;
  ReadPoint(r, &node->camera.eye);
  ReadPoint(r, &node->camera.target);
  node->camera.bank = ReadFloat(r);
  node->camera.lens = ReadFloat(r);
}

void ReadObjectBlock(Loader& L, int level) {
  Scene3ds* scene = L.scene;
  SceneObject* node;
  if (scene->objectCount == 0) {
    node = scene;
    scene->prev = nullptr;
  } else {
    if (scene->objectCount == UINT16_MAX) {
      LogWarn(LogTag, "%s: more than %u objects; the rest are skipped", L.name,
              static_cast<unsigned>(UINT16_MAX));
      return;
    }
    node = new (std::nothrow) SceneObject();
    if (!node) return;
    scene->cursor->next = node;
    node->prev = scene->cursor;
    scene->cursor = node;
  }
  node->next = nullptr;
  ++scene->objectCount;
  scene->cursor = node;
  ReadName(*L.reader, node->name, SceneObjectNameSize);
  node->faceCount = 0;
  node->vertexCount = 0;
  node->position = Vec3{};
  node->rotation = Vec3{};
  ReadChildren(*L.reader, [&](const ChunkHeader& h) {
    switch (h.id) {
      case ChunkTriangleMesh:
        TraceChunk(level + 1, "CHUNK_TRIANGULARMESH");
        ReadMesh(L, node, level + 1);
        break;
      case ChunkLight:
        TraceChunk(level + 1, "CHUNK_LIGHT");
        ReadLight(L, node, level + 1);
        break;
      case ChunkCamera:
        TraceChunk(level + 1, "CHUNK_CAMERA");
        ReadCamera(L, node);
        break;
      default:
        break;
    }
  });
}

enum NodeType { ObjectNode, CameraNode, TargetNode };

void ReadNode(Loader& L, NodeType type, int level) {
  SceneReader& r = *L.reader;
  SceneObject* target = nullptr;
  ReadChildren(r, [&](const ChunkHeader& h) {
    switch (h.id) {
      case ChunkNodeName: {
        TraceChunk(level + 1, "CHUNK_OBJETNAME");
        char name[SceneObjectNameSize];
        ReadName(r, name, SceneObjectNameSize);
        target = L.scene->FindObject(name);
        if (!target) {
          LogDebug(LogTag, "%s: keyframer node \"%s\" names no object; its tracks are skipped",
                   L.name, name);
        } else if (type == ObjectNode) {
          FreeTrack(&target->posKeyCount, &target->posFrames, &target->posValues);
          FreeTrack(&target->rotKeyCount, &target->rotFrames, &target->rotValues);
        }
        break;
      }
      case ChunkPivot:
        TraceChunk(level + 1, "CHUNK_OBJETPIVOTPOINT");
        if (target) ReadPoint(r, &target->rotation);
        break;
      case ChunkPositionTrack:
        TraceChunk(level + 1, "CHUNK_POSITIONTRACK");
        if (!target) break;
        if (type == TargetNode) {
          ReadTrack(L, false, &target->rotKeyCount, &target->rotFrames, &target->rotValues);
          target->rotCursor = 1;
        } else {
          ReadTrack(L, false, &target->posKeyCount, &target->posFrames, &target->posValues);
          target->posCursor = 1;
        }
        break;
      case ChunkRotationTrack:
        TraceChunk(level + 1, "CHUNK_ROTATIONTRACK");
        // Camera and target nodes carry no rotation the show uses: the chunk is skipped.
        if (!target || type != ObjectNode) break;
        ReadTrack(L, true, &target->rotKeyCount, &target->rotFrames, &target->rotValues);
        target->rotCursor = 0;
        break;
      default:
        break;
    }
  });
}

void ReadKeyframer(Loader& L, int level) {
  ReadChildren(*L.reader, [&](const ChunkHeader& h) {
    switch (h.id) {
      case ChunkObjectNode:
      case ChunkSpotlightNode:
        TraceChunk(level + 1, "CHUNK_OBJETINFOBLOCK");
        ReadNode(L, ObjectNode, level + 1);
        break;
      case ChunkCameraNode:
        TraceChunk(level + 1, "CHUNK_CAMERAINFOBLOCK");
        ReadNode(L, CameraNode, level + 1);
        break;
      case ChunkTargetNode:
        TraceChunk(level + 1, "CHUNK_CAMERATARGETINFOBLOCK");
        ReadNode(L, TargetNode, level + 1);
        break;
      default:
        break;
    }
  });
}

void ReadEditor(Loader& L, int level) {
  ReadChildren(*L.reader, [&](const ChunkHeader& h) {
    if (h.id == ChunkObjectBlock) {
      TraceChunk(level + 1, "CHUNK_OBJETBLOCK");
      ReadObjectBlock(L, level + 1);
    }
  });
}

// Rebuilds the texture of an alpha-masked mesh once, with its mask picture.
void ApplyAlphaMask(Loader& L, SceneObject* node) {
  Scene3ds* scene = L.scene;
  if (node->textureIndex < 0 || node->textureIndex >= scene->textureCount) return;
  SceneTexture& entry = scene->textures[node->textureIndex];
  if (entry.maskApplied) return;
  entry.maskApplied = 1;
  char mask[SceneTextureNameSize];
  if (!AlphaMaskPath(entry.name, mask)) {
    LogWarn(LogTag, "%s: material \"%s\" names no mask picture", L.name, entry.name);
    return;
  }
  LoadMaskedTexture(&entry.texture, mask, entry.name);
}

void PostProcess(Loader& L) {
  Scene3ds* scene = L.scene;
  scene->Rewind();
  for (uint32_t i = 0; i < scene->objectCount; ++i) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindLight) {
      node->light.tag = node->name[0];
      node->light.moving = node->posKeyCount > 1 ? 1 : 0;
    }
    if (node->kind == KindMesh) {
      // A mesh without position keys rests where the file put its vertices.
      node->origin = node->position = Vec3{};
      node->posCursor = 3;
      if (node->posKeyCount >= 1) node->origin = node->position = node->posValues[0];
      node->additive = node->alphaMasked = node->modelAnchor = node->reflective = 0;
      node->emitter = 0;
      char first = node->name[0];
      char second = first ? node->name[1] : 0;
      node->additive = first == '%' && second != '%';
      node->alphaMasked = first == '%' && second == '%';
      node->modelAnchor = first == '@';
      node->reflective = first == '?';
      if (node->alphaMasked) ApplyAlphaMask(L, node);
    }
    if (node->kind == KindMesh || node->kind == KindLight) {
      if (node->posKeyCount >= 2) {
        node->posCursor = 3;
        node->origin = node->position = node->posValues[0];
      }
      if (node->rotKeyCount >= 2) {
        node->rotation = node->rotValues[0];
        node->rotCursor = 3;
      }
    }
    if (node->kind == KindCamera) {
      node->posCursor = 3;
      node->rotCursor = 3;
      // A camera without a track keeps the eye or target of its camera chunk.
      if (node->posKeyCount >= 1) node->camera.eye = node->posValues[0];
      if (node->rotKeyCount >= 1) node->camera.target = node->rotValues[0];
      if (scene->cameraCount < SceneMaxCameras) {
        scene->cameras[scene->cameraCount++] = node;
      } else {
        LogWarn(LogTag, "%s: more than %d cameras; \"%s\" is not listed", L.name,
                static_cast<int>(SceneMaxCameras), node->name);
      }
    }
    scene->Advance();
  }
  scene->Rewind();
  scene->startFrame = scene->endFrame = 0;
  if (scene->cameraCount >= 1) {
    // Tracks too short for the usual keys give their last key's frame instead.
    const SceneObject* last = scene->cameras[scene->cameraCount - 1];
    if (last->posKeyCount >= 3) {
      scene->endFrame = last->posFrames[last->posKeyCount - 3];
    } else if (last->posKeyCount >= 1) {
      scene->endFrame = last->posFrames[last->posKeyCount - 1];
    }
    const SceneObject* first = scene->cameras[0];
    if (first->posKeyCount >= 2) {
      scene->startFrame = first->posFrames[1];
    } else if (first->posKeyCount == 1) {
      scene->startFrame = first->posFrames[0];
    }
  }
  scene->currentFrame = 0.0;
  scene->currentCamera = 0;
}

bool LoadOpened(Scene3ds* scene, const char* name) {
  SceneReader& r = *scene->file;
  Loader L{scene, &r, name};
  ChunkHeader main;
  if (!ReadChunkHeader(r, &main) || main.id != ChunkMain) {
    CloseSceneFile(scene);
    return false;
  }
  if (main.length >= ChunkHeaderSize) {
    r.limit = main.end < r.size ? main.end : r.size;
    if (main.end > r.size) LogWarn(LogTag, "%s: the file ends inside its main chunk", name);
    ReadChildren(r, [&](const ChunkHeader& h) {
      if (h.id == ChunkEditor) {
        TraceChunk(0, "CHUNK_3DEDITORCHUNK");
        ReadEditor(L, 0);
      } else if (h.id == ChunkKeyframer) {
        TraceChunk(0, "CHUNK_KEYFRAMER");
        ReadKeyframer(L, 0);
      }
    });
  }
  scene->cursor = scene;
  CloseSceneFile(scene);
  PostProcess(L);
  return true;
}

void ResetCounts(Scene3ds* scene) {
  scene->totalFaceCount = 0;
  scene->textureCount = 0;
  scene->lightCount = 0;
  scene->emitterCount = 0;
  scene->cameraCount = 0;
}

}  // namespace

bool AlphaMaskPath(const char* material, char* mask) {
  memset(mask, 0, SceneTextureNameSize);
  if (!material) return false;
  strncpy(mask, material, SceneTextureNameSize - 1);
  // A name without a directory part has its first character replaced; one ending in the
  // '/' names no picture.
  char* slash = strchr(mask, '/');
  char* replaced = slash ? slash + 1 : mask;
  if (*replaced == 0) return false;
  *replaced = '@';
  return true;
}

// Loading appends to the object list, so it is only done on a scene that holds nothing.
static bool Empty(Scene3ds* scene, const char* name) {
  if (scene->objectCount == 0) return true;
  LogWarn(LogTag, "%s: the scene is already loaded; it is left as it is", name);
  return false;
}

bool LoadScene(Scene3ds* scene, const char* path) {
  if (!scene || !Empty(scene, path ? path : "(null)")) return false;
  ResetCounts(scene);
  if (!OpenSceneFile(scene, path)) return false;
  return LoadOpened(scene, path);
}

bool LoadSceneFromMemory(Scene3ds* scene, const uint8_t* data, size_t size, const char* name) {
  if (!scene || !Empty(scene, name ? name : "(memory)")) return false;
  ResetCounts(scene);
  OpenSceneMemory(scene, data, size);
  return LoadOpened(scene, name ? name : "(memory)");
}
