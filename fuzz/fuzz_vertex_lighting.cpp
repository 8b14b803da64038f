// fuzz/fuzz_vertex_lighting.cpp - libFuzzer target: both lighting-file readers on arbitrary
// bytes against one fixed small scene (two meshes, one of them additive, one anchor, a
// camera), so that the colour and light-map sections meet real meshes. The light maps
// become textures: the target runs with a headless GL context.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/scene.h"
#include "engine/vertex_lighting.h"
#include "fuzz/fuzz_quiet.h"

namespace {

void AddMesh(Scene3ds* scene, const char* name, uint16_t vertices, uint16_t faces) {
  SceneObject* node = AppendNode(scene, KindMesh, name);
  node->vertexCount = vertices;
  node->vertices = new Vec3[vertices]();
  node->vertexColours = new Vec3[vertices]();
  node->faceCount = faces;
  node->faces = new Face[faces]();
  for (uint16_t f = 0; f < faces; f++) {
    node->faces[f].a = f % vertices;
    node->faces[f].b = (f + 1) % vertices;
    node->faces[f].c = (f + 2) % vertices;
  }
  node->additive = name[0] == '%' && name[1] != '%';
  node->modelAnchor = name[0] == '@';
}

Scene3ds* FixedScene() {
  Scene3ds* scene = new Scene3ds();
  AddMesh(scene, "floor", 5, 4);
  AddMesh(scene, "%glow", 3, 1);
  AddMesh(scene, "@anchor", 4, 2);
  AppendNode(scene, KindCamera, "camera");
  AddMesh(scene, "wall", 6, 3);
  return scene;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzQuiet(true);
  for (int kind = 0; kind < 2; kind++) {
    Scene3ds* scene = FixedScene();
    if (kind == 0) ParseVertexLighting(scene, data, size);
    else ParseVertexLightingWithLightMaps(scene, data, size);
    ReleaseScene(scene);
  }
  return 0;
}
