// engine/scene.h - the scene data model: one loaded 3DS scene and its nodes.
//
// Owns: the records of a scene (Vec3, TexCoord, Face, SceneTexture, CameraData, LightData,
// SceneObject, Scene3ds), the object-list cursor (Rewind, Advance), the node search by
// name (FindObject) and the release of a scene with everything it owns (ReleaseScene).
//
// A Scene3ds is itself the first node of its own doubly linked object list: the first
// object block of the file fills the scene's own SceneObject part, every further object
// gets a node of its own. The scene owns every node, every array a node points to and the
// particle systems in `emitters`; `lights`, `cameras`, `emitterObjects` and `cursor` point
// into the scene's own nodes and own nothing. OpenGL texture objects made for a scene live
// until the context is destroyed.
//
// Coordinates are the scene's: a file point (x, y, z) is stored as (x, z, -y); Y is up.
// Rotations are degrees, frames are 16-bit frame numbers.
//
// Filled by: engine/scene_loader (LoadScene), engine/vertex_lighting (colours, light maps),
// the add-on step (emitters) and the asset manifest (reflectionTexture).
// Read and moved by: engine/animation, the renderer, the grid, models and the scenes.
#pragma once

#include <cstdint>

class ParticleSystem;  // effects/particles.h; a scene owns the systems in its emitters

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

struct TexCoord {
  float u = 0, v = 0;  // as read from the file, not flipped
};

struct Face {
  uint16_t a = 0, b = 0, c = 0;  // vertex indices, always below the mesh's vertexCount
  uint16_t flags = 0;            // the file's face flags, kept and not interpreted
  uint8_t hasLightMap = 0;       // 1: faceLightMaps holds this face's light-map texture
};

enum { SceneTextureNameSize = 256, SceneObjectNameSize = 80 };

struct SceneTexture {
  // The material name as the face material list gives it, zero-padded; it doubles as the
  // path of the JPEG file relative to the working directory.
  char name[SceneTextureNameSize] = {};
  uint32_t texture = 0;     // OpenGL texture name made from that file (0 when unreadable)
  uint8_t maskApplied = 0;  // 1 once rebuilt with an alpha mask, so it happens once
};

struct CameraData {
  Vec3 eye;     // from the file, then the first position key, then every frame
  Vec3 target;  // likewise from the target track
  float bank = 0;
  float lens = 0;
};

struct LightData {
  Vec3 position;         // from the light chunk; mirrors the node's position when animated
  float colour[3] = {};  // r, g, b, each made non-negative
  Vec3 spotTarget;
  uint8_t moving = 0;    // 1 when the node has two or more position keys
  float range = 0;       // distance from position to spotTarget
  float hotspot = 0;
  float falloff = 0;
  char tag = 0;          // first character of the light's name
};

enum ObjectKind : uint16_t {
  KindNone = 0,
  KindMesh = 0x1000,
  KindCamera = 0x2000,
  KindLight = 0x3000,
};

// A face list compiled by the renderer into a GL display list on its first draw (meshes
// do not change once loaded), with what the list depends on.
struct CompiledFaces {
  uint32_t list = 0;      // 0: not compiled
  uint32_t material = 0;  // the material texture the list binds
  bool secondLayer = false;
};

struct SceneObject {
  SceneObject* prev = nullptr;
  Face* faces = nullptr;             // faceCount faces
  Vec3* vertices = nullptr;          // vertexCount positions, world space
  Vec3* vertexColours = nullptr;     // vertexCount colours; (1, 1, 1) after loading
  TexCoord* texCoords = nullptr;     // texCoordCount mapping coordinates
  uint32_t* faceLightMaps = nullptr; // faceCount texture names, or null
  // faceCount places (u, v, width, height) of each face's map in its texture, or null:
  // each map fills its texture. Corner a of a face takes (u, v), b (u + width, v) and c
  // (u, v + height).
  float* faceLightMapPlaces = nullptr;
  int32_t textureIndex = 0;          // index into the scene's textures
  uint8_t additive = 0;              // name "%x": drawn in the additive pass
  uint8_t alphaMasked = 0;           // name "%%": texture with alpha mask, alpha tested
  uint8_t emitter = 0;               // name "*": carries a particle emitter, not in the grid
  uint8_t modelAnchor = 0;           // name "@": the grid's animated model is drawn here
  uint8_t reflective = 0;            // name "?": second layer with the reflection texture
  uint16_t texCoordCount = 0;
  uint16_t faceCount = 0;
  uint16_t vertexCount = 0;
  char name[SceneObjectNameSize] = {};  // zero-terminated, at most 79 characters
  uint16_t kind = KindNone;             // an ObjectKind
  CameraData camera;                    // cameras only
  LightData light;                      // lights only
  Vec3 rotation;  // degrees about X, Y, Z; cameras: pitch in x, yaw in y, roll in z
  Vec3 position;  // current position
  Vec3 origin;    // rest position: the first position key
  uint32_t posKeyCount = 0;
  uint32_t rotKeyCount = 0;  // keys of the second track
  uint16_t* posFrames = nullptr;
  int32_t posCursor = 0;
  Vec3* posValues = nullptr;
  // The second track: accumulated rotations in degrees for meshes and lights, target
  // positions for cameras.
  uint16_t* rotFrames = nullptr;
  int32_t rotCursor = 0;
  Vec3* rotValues = nullptr;
  SceneObject* next = nullptr;
  CompiledFaces compiled;  // the whole mesh, as DrawScene draws it
};

enum {
  SceneMaxLights = 100,
  SceneMaxEmitters = 100,
  SceneMaxCameras = 50,
  SceneMaxTextures = 60,
};

struct SceneReader;  // engine/file_reading.h; present only while a file is being read

struct Scene3ds : SceneObject {
  SceneObject* cursor = nullptr;  // shared traversal cursor; traversals do not nest
  uint16_t objectCount = 0;       // nodes in the list, the scene's own included
  uint32_t reflectionTexture = 0; // second layer of reflective meshes; 0 when none
  int32_t totalFaceCount = 0;
  LightData* lights[SceneMaxLights] = {};
  int32_t lightCount = 0;
  ParticleSystem* emitters[SceneMaxEmitters] = {};
  SceneObject* emitterObjects[SceneMaxEmitters] = {};
  int32_t emitterCount = 0;
  SceneObject* cameras[SceneMaxCameras] = {};
  int32_t cameraCount = 0;
  int32_t currentCamera = 0;  // only ever increases while the show runs
  SceneTexture textures[SceneMaxTextures] = {};
  int32_t textureCount = 0;
  double currentFrame = 0.0;
  int32_t endFrame = 0;
  int32_t startFrame = 0;
  SceneReader* file = nullptr;  // the 3DS file while it is being read; null otherwise

  Scene3ds() = default;
  Scene3ds(const Scene3ds&) = delete;
  Scene3ds& operator=(const Scene3ds&) = delete;
  // Frees every node, array and particle system the scene owns (see ReleaseScene).
  ~Scene3ds();

  // Puts the cursor on the first node, the scene itself.
  void Rewind();
  // Moves the cursor to the next node unless it is on the last one. Returns the node it
  // left, or the scene when it did not move.
  SceneObject* Advance();
  // The first node from the scene on whose name equals `name` exactly; null when none.
  SceneObject* FindObject(const char* name);
};

// Appends a new node of `kind` named `name` to the end of the scene's list (the first one
// fills the scene's own node) and returns it; null when the list is full or memory ran
// out. For scenes built in code: generated content, tests and benchmarks.
SceneObject* AppendNode(Scene3ds* scene, uint16_t kind, const char* name);

// Destroys the particle systems, frees every node's arrays, every node other than the
// scene, then the scene itself. Null is allowed. Texture objects stay on the card.
void ReleaseScene(Scene3ds* scene);
