// engine/scene.cpp - the object-list cursor, the name search and the release of a scene.
#include "engine/scene.h"

#include <cstring>
#include <new>

#include "effects/particles.h"
#include "engine/file_reading.h"
#include "engine/renderer.h"

namespace {

// Frees the arrays one node owns; the node itself stays.
void FreeNodeArrays(SceneObject* node) {
  delete[] node->posFrames;
  delete[] node->posValues;
  delete[] node->rotFrames;
  delete[] node->rotValues;
  delete[] node->vertexColours;
  delete[] node->faces;
  delete[] node->texCoords;
  delete[] node->vertices;
  delete[] node->faceLightMaps;
  delete[] node->faceLightMapPlaces;
  ReleaseCompiledFaces(&node->compiled);
  node->posFrames = nullptr;
  node->posValues = nullptr;
  node->rotFrames = nullptr;
  node->rotValues = nullptr;
  node->vertexColours = nullptr;
  node->faces = nullptr;
  node->texCoords = nullptr;
  node->vertices = nullptr;
  node->faceLightMaps = nullptr;
  node->faceLightMapPlaces = nullptr;
  node->posKeyCount = node->rotKeyCount = 0;
  node->vertexCount = node->faceCount = node->texCoordCount = 0;
}

}  // namespace

void Scene3ds::Rewind() { cursor = this; }

SceneObject* Scene3ds::Advance() {
  if (!cursor) cursor = this;
  if (!cursor->next) return this;
  SceneObject* left = cursor;
  cursor = cursor->next;
  return left;
}

SceneObject* Scene3ds::FindObject(const char* name) {
  if (!name || objectCount == 0) return nullptr;
  for (SceneObject* node = this; node; node = node->next) {
    if (strncmp(node->name, name, SceneObjectNameSize) == 0) return node;
  }
  return nullptr;
}

Scene3ds::~Scene3ds() {
  // Emitters first: a particle system may still refer to its mesh's position.
  int32_t emitters = emitterCount < SceneMaxEmitters ? emitterCount : SceneMaxEmitters;
  for (int32_t i = 0; i < emitters; ++i) {
    delete this->emitters[i];
    this->emitters[i] = nullptr;
  }
  emitterCount = 0;
  CloseSceneFile(this);
  // The list is walked by links rather than by objectCount, so a node that a failed
  // load linked is freed too; the scene's own node is the first and is not deleted here.
  SceneObject* node = this;
  while (node) {
    SceneObject* following = node->next;
    FreeNodeArrays(node);
    if (node != this) delete node;
    node = following;
  }
  next = nullptr;
  cursor = this;
  objectCount = 0;
}

void ReleaseScene(Scene3ds* scene) { delete scene; }

SceneObject* AppendNode(Scene3ds* scene, uint16_t kind, const char* name) {
  if (!scene || scene->objectCount == UINT16_MAX) return nullptr;
  SceneObject* node = scene;
  if (scene->objectCount > 0) {
    node = new (std::nothrow) SceneObject();
    if (!node) return nullptr;
    SceneObject* last = scene;
    while (last->next) last = last->next;
    last->next = node;
    node->prev = last;
  }
  scene->objectCount++;
  node->kind = kind;
  if (name) {
    strncpy(node->name, name, sizeof node->name - 1);
    node->name[sizeof node->name - 1] = 0;
  }
  return node;
}
