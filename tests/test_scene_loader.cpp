// The 3DS loader: files the test writes chunk by chunk, real files nobody here wrote
// (Debian's assimp test models) checked against an independent reader (lib3ds), files
// lib3ds writes itself, and damaged copies of all of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/file_reading.h"
#include "engine/scene.h"
#include "engine/scene_loader.h"
#include "platform/platform.h"

#ifdef VELLUMAR_HAVE_LIB3DS
#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#endif

namespace {

// ---------------------------------------------------------------------------------------
// A small 3DS writer: a chunk is an id, its own data and its children.

struct Chunk {
  uint16_t id = 0;
  std::vector<uint8_t> data;
  std::vector<Chunk> children;

  explicit Chunk(uint16_t i) : id(i) {}
  Chunk& U16(uint16_t v) {
    data.push_back(v & 0xFF);
    data.push_back(v >> 8);
    return *this;
  }
  Chunk& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) data.push_back((v >> (8 * i)) & 0xFF);
    return *this;
  }
  Chunk& F(float f) {
    uint32_t bits;
    memcpy(&bits, &f, 4);
    return U32(bits);
  }
  Chunk& Str(const std::string& s) {
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
    return *this;
  }
  Chunk& Add(Chunk c) {
    children.push_back(std::move(c));
    return *this;
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> body = data;
    for (const Chunk& c : children) {
      std::vector<uint8_t> b = c.Bytes();
      body.insert(body.end(), b.begin(), b.end());
    }
    std::vector<uint8_t> out;
    uint32_t length = static_cast<uint32_t>(body.size() + 6);
    out.push_back(id & 0xFF);
    out.push_back(id >> 8);
    for (int i = 0; i < 4; ++i) out.push_back((length >> (8 * i)) & 0xFF);
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }
};

struct P3 {
  float x, y, z;  // file coordinates (Z up)
};

Chunk Mesh(const std::string& name, const std::vector<P3>& vertices,
           const std::vector<std::array<uint16_t, 3>>& faces, const std::string& material = "",
           bool uvs = false) {
  Chunk vl(0x4110);
  vl.U16(static_cast<uint16_t>(vertices.size()));
  for (const P3& p : vertices) vl.F(p.x).F(p.y).F(p.z);
  Chunk fl(0x4120);
  fl.U16(static_cast<uint16_t>(faces.size()));
  for (const auto& f : faces) fl.U16(f[0]).U16(f[1]).U16(f[2]).U16(7);
  if (!material.empty()) {
    Chunk ml(0x4130);
    ml.Str(material).U16(static_cast<uint16_t>(faces.size()));
    for (size_t i = 0; i < faces.size(); ++i) ml.U16(static_cast<uint16_t>(i));
    fl.Add(ml);
  }
  Chunk tri(0x4100);
  tri.Add(vl).Add(fl);
  if (uvs) {
    Chunk tl(0x4140);
    tl.U16(static_cast<uint16_t>(vertices.size()));
    for (size_t i = 0; i < vertices.size(); ++i) tl.F(0.25f * i).F(0.5f);
    tri.Add(tl);
  }
  Chunk object(0x4000);
  object.Str(name).Add(tri);
  return object;
}

Chunk Triangle(const std::string& name, const std::string& material = "") {
  return Mesh(name, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, material);
}

Chunk Camera(const std::string& name, P3 eye, P3 target) {
  Chunk cam(0x4700);
  cam.F(eye.x).F(eye.y).F(eye.z).F(target.x).F(target.y).F(target.z).F(0).F(35);
  Chunk object(0x4000);
  object.Str(name).Add(cam);
  return object;
}

Chunk Light(const std::string& name, P3 pos, P3 colour, const P3* spot = nullptr) {
  Chunk light(0x4600);
  light.F(pos.x).F(pos.y).F(pos.z);
  Chunk c(0x0010);
  c.F(colour.x).F(colour.y).F(colour.z);
  light.Add(c);
  if (spot) {
    Chunk s(0x4610);
    s.F(spot->x).F(spot->y).F(spot->z).F(20).F(30);
    light.Add(s);
  }
  Chunk object(0x4000);
  object.Str(name).Add(light);
  return object;
}

struct Key {
  uint32_t frame;
  std::vector<float> value;  // 3 floats (position) or 4 (angle, axis)
  uint16_t flags = 0;
};

Chunk Track(uint16_t id, const std::vector<Key>& keys) {
  Chunk t(id);
  for (int i = 0; i < 5; ++i) t.U16(0);
  t.U32(static_cast<uint32_t>(keys.size()));
  for (const Key& k : keys) {
    t.U32(k.frame).U16(k.flags);
    for (int bit = 0; bit < 5; ++bit) {
      if (k.flags & (1 << bit)) t.F(0.5f);
    }
    for (float f : k.value) t.F(f);
  }
  return t;
}

std::vector<Key> PositionKeys(const std::vector<uint32_t>& frames) {
  std::vector<Key> keys;
  for (uint32_t f : frames) keys.push_back({f, {float(f), 2.0f * f, 3.0f}});
  return keys;
}

Chunk Node(uint16_t id, const std::string& name, std::vector<Chunk> tracks) {
  Chunk node(id);
  Chunk n(0xB010);
  n.Str(name).U16(0).U16(0).U16(0xFFFF);
  node.Add(n);
  for (Chunk& t : tracks) node.Add(std::move(t));
  return node;
}

std::vector<uint8_t> File(std::vector<Chunk> objects, std::vector<Chunk> nodes = {}) {
  Chunk editor(0x3D3D);
  editor.Add(Chunk(0x3D3E).U32(3));  // mesh version, skipped
  for (Chunk& o : objects) editor.Add(std::move(o));
  Chunk main(0x4D4D);
  main.Add(Chunk(0x0002).U32(3)).Add(editor);
  if (!nodes.empty()) {
    Chunk keyframer(0xB000);
    for (Chunk& n : nodes) keyframer.Add(std::move(n));
    main.Add(keyframer);
  }
  return main.Bytes();
}

Scene3ds* Load(const std::vector<uint8_t>& bytes, bool* ok = nullptr) {
  Scene3ds* scene = new Scene3ds();
  bool loaded = LoadSceneFromMemory(scene, bytes.data(), bytes.size());
  if (ok) *ok = loaded;
  return scene;
}

std::vector<SceneObject*> Nodes(Scene3ds* scene) {
  std::vector<SceneObject*> nodes;
  scene->Rewind();
  for (uint32_t i = 0; i < scene->objectCount; ++i) {
    nodes.push_back(scene->cursor);
    scene->Advance();
  }
  scene->Rewind();
  return nodes;
}

// What every loaded scene must satisfy, however damaged its file was.
void ExpectSound(Scene3ds* scene) {
  uint32_t visited = 0;
  const SceneObject* previous = nullptr;
  int32_t faces = 0;
  for (const SceneObject* node = scene; node && visited <= scene->objectCount; node = node->next) {
    ASSERT_EQ(node->prev, previous);
    previous = node;
    ++visited;
    ASSERT_EQ(node->name[SceneObjectNameSize - 1], 0);
    for (uint32_t i = 0; i < node->faceCount; ++i) {
      const Face& f = node->faces[i];
      ASSERT_LT(f.a, node->vertexCount);
      ASSERT_LT(f.b, node->vertexCount);
      ASSERT_LT(f.c, node->vertexCount);
    }
    if (node->kind == KindMesh) faces += node->faceCount;
    if (node->posKeyCount) { ASSERT_NE(node->posFrames, nullptr); }
    if (node->rotKeyCount) { ASSERT_NE(node->rotFrames, nullptr); }
    if (node->vertexCount) { ASSERT_NE(node->vertexColours, nullptr); }
  }
  if (scene->objectCount == 0) visited = 0;
  ASSERT_EQ(visited, scene->objectCount);
  EXPECT_LE(scene->lightCount, SceneMaxLights);
  EXPECT_LE(scene->cameraCount, SceneMaxCameras);
  EXPECT_LE(scene->textureCount, SceneMaxTextures);
  if (scene->objectCount) {
    EXPECT_EQ(scene->cursor, static_cast<SceneObject*>(scene));
  }
  EXPECT_EQ(scene->file, nullptr);
  (void)faces;
}

void ExpectVec(Vec3 v, float x, float y, float z, float tolerance = 1e-4f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

// Silences warnings of damaged files while alive.
struct QuietLog {
  QuietLog() { SetLogSink([](LogLevel, const char*, const char*, void*) {}, nullptr); }
  ~QuietLog() { SetLogSink(nullptr, nullptr); }
};

// ---------------------------------------------------------------------------------------

TEST(SceneLoader, RejectsFilesThatDoNotOpenWithTheMainChunk) {
  Scene3ds* scene = new Scene3ds();
  EXPECT_FALSE(LoadScene(scene, "no/such/scene.3ds"));
  EXPECT_EQ(scene->objectCount, 0);
  std::vector<uint8_t> editorOnly = Chunk(0x3D3D).Add(Triangle("Tri")).Bytes();
  EXPECT_FALSE(LoadSceneFromMemory(scene, editorOnly.data(), editorOnly.size()));
  EXPECT_EQ(scene->objectCount, 0);
  EXPECT_FALSE(LoadSceneFromMemory(scene, editorOnly.data(), 3));
  EXPECT_EQ(scene->file, nullptr);
  ReleaseScene(scene);
  ReleaseScene(nullptr);
}

TEST(SceneLoader, ObjectListIsTheSceneThenOneNodePerObjectInFileOrder) {
  Scene3ds* one = Load(File({Triangle("Only")}));
  EXPECT_EQ(one->objectCount, 1);
  EXPECT_STREQ(one->name, "Only");
  EXPECT_EQ(one->kind, KindMesh);
  EXPECT_EQ(one->prev, nullptr);
  EXPECT_EQ(one->next, nullptr);
  one->Rewind();
  EXPECT_EQ(one->Advance(), static_cast<SceneObject*>(one));
  EXPECT_EQ(one->cursor, static_cast<SceneObject*>(one));
  {
    QuietLog quiet;  // a second load would append to the list: refused
    std::vector<uint8_t> again = File({Triangle("Other")});
    EXPECT_FALSE(LoadSceneFromMemory(one, again.data(), again.size()));
  }
  EXPECT_EQ(one->objectCount, 1);
  EXPECT_STREQ(one->name, "Only");
  ReleaseScene(one);

  Scene3ds* three = Load(File({Triangle("A"), Camera("B", {0, 0, 0}, {0, 1, 0}),
                                Light("C", {1, 2, 3}, {1, 1, 1})}));
  ExpectSound(three);
  std::vector<SceneObject*> nodes = Nodes(three);
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_EQ(nodes[0], static_cast<SceneObject*>(three));
  EXPECT_STREQ(nodes[1]->name, "B");
  EXPECT_STREQ(nodes[2]->name, "C");
  EXPECT_EQ(nodes[2]->prev, nodes[1]);
  three->Rewind();
  three->Advance();
  three->Advance();
  three->Advance();
  EXPECT_EQ(three->cursor, nodes[2]);
  EXPECT_EQ(three->FindObject("B"), nodes[1]);
  EXPECT_EQ(three->FindObject("b"), nullptr);
  EXPECT_EQ(three->FindObject("B "), nullptr);
  ReleaseScene(three);
}

TEST(SceneLoader, MeshGeometryIsReadWithTheAxisConversion) {
  Scene3ds* scene = Load(File({Mesh("Box", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {0, 0, 1}},
                                     {{0, 1, 2}, {2, 3, 0}}, "maps/box.jpg", true)}));
  ASSERT_EQ(scene->vertexCount, 4);
  ExpectVec(scene->vertices[0], 1, 3, -2);
  ExpectVec(scene->vertices[3], 0, 1, 0);
  ExpectVec(scene->vertexColours[2], 1, 1, 1);
  ASSERT_EQ(scene->faceCount, 2);
  EXPECT_EQ(scene->faces[1].a, 2);
  EXPECT_EQ(scene->faces[1].c, 0);
  EXPECT_EQ(scene->faces[1].flags, 7);
  EXPECT_EQ(scene->faces[1].hasLightMap, 0);
  EXPECT_EQ(scene->totalFaceCount, 2);
  ASSERT_EQ(scene->texCoordCount, 4);
  EXPECT_EQ(scene->texCoords[2].u, 0.5f);
  EXPECT_EQ(scene->texCoords[2].v, 0.5f);
  EXPECT_EQ(scene->textureCount, 1);
  EXPECT_STREQ(scene->textures[0].name, "maps/box.jpg");
  // A mesh without position keys rests where the file put its vertices.
  ExpectVec(scene->position, 0, 0, 0);
  ExpectVec(scene->origin, 0, 0, 0);
  ReleaseScene(scene);
}

TEST(SceneLoader, MaterialsBecomeOneTextureEntryPerDistinctName) {
  Scene3ds* scene = Load(File({Triangle("A", "maps/wood.jpg"), Triangle("B", "maps/wood.jpg"),
                                Triangle("C", "maps/stone.jpg")}));
  std::vector<SceneObject*> nodes = Nodes(scene);
  EXPECT_EQ(scene->textureCount, 2);
  EXPECT_EQ(nodes[0]->textureIndex, 0);
  EXPECT_EQ(nodes[1]->textureIndex, 0);
  EXPECT_EQ(nodes[2]->textureIndex, 1);
  EXPECT_STREQ(scene->textures[1].name, "maps/stone.jpg");
  ReleaseScene(scene);

  // A name longer than the table's entries is cut to 255 characters.
  std::string longName = "maps/" + std::string(300, 'x');
  scene = Load(File({Triangle("A", longName)}));
  EXPECT_EQ(strlen(scene->textures[0].name), 255u);
  ReleaseScene(scene);

  // More materials than the table holds: the table stays full, nothing is overrun.
  QuietLog quiet;
  std::vector<Chunk> many;
  for (int i = 0; i < 65; ++i) many.push_back(Triangle("T" + std::to_string(i), "m/" + std::to_string(i)));
  scene = Load(File(many));
  EXPECT_EQ(scene->textureCount, SceneMaxTextures);
  EXPECT_EQ(scene->objectCount, 65);
  ExpectSound(scene);
  ReleaseScene(scene);
}

TEST(SceneLoader, NamePrefixesGiveTheMeshFlagsAndMasksAreAppliedOnce) {
  Scene3ds* scene = Load(File({Triangle("%glow", "maps/a.jpg"), Triangle("%%glass", "maps/glass.jpg"),
                                Triangle("%%glass2", "maps/glass.jpg"), Triangle("@raptor"),
                                Triangle("?mirror"), Triangle("plain%")}));
  std::vector<SceneObject*> n = Nodes(scene);
  EXPECT_TRUE(n[0]->additive && !n[0]->alphaMasked);
  EXPECT_TRUE(n[1]->alphaMasked && !n[1]->additive);
  EXPECT_TRUE(n[2]->alphaMasked);
  EXPECT_TRUE(n[3]->modelAnchor);
  EXPECT_TRUE(n[4]->reflective);
  EXPECT_FALSE(n[5]->additive || n[5]->alphaMasked || n[5]->modelAnchor || n[5]->reflective);
  EXPECT_EQ(n[1]->textureIndex, n[2]->textureIndex);
  EXPECT_EQ(scene->textures[n[1]->textureIndex].maskApplied, 1);
  EXPECT_EQ(scene->textures[n[0]->textureIndex].maskApplied, 0);
  ReleaseScene(scene);

  char mask[SceneTextureNameSize];
  ASSERT_TRUE(AlphaMaskPath("maps/glass.jpg", mask));
  EXPECT_STREQ(mask, "maps/@lass.jpg");
  ASSERT_TRUE(AlphaMaskPath("a/b/c.jpg", mask));
  EXPECT_STREQ(mask, "a/@/c.jpg");
  ASSERT_TRUE(AlphaMaskPath("glass.jpg", mask));  // no directory part
  EXPECT_STREQ(mask, "@lass.jpg");
  EXPECT_FALSE(AlphaMaskPath("maps/", mask));
  EXPECT_FALSE(AlphaMaskPath("", mask));
}

TEST(SceneLoader, TracksKeepLow16BitFramesSkipSplineFloatsAndSumRotations) {
  std::vector<Key> positions = {{0, {1, 2, 3}}, {10, {4, 5, 6}, 0x0009}, {70000, {7, 8, 9}},
                                {70010, {0, 0, 0}, 0x001F}};
  std::vector<Key> rotations = {{0, {1.5707963f, 0, 0, 1}}, {10, {0.5f, 0, 0, 1}},
                                {20, {0.25f, 1, 0, 0}}, {30, {0, 1, 0, 0}}};
  Scene3ds* scene =
      Load(File({Triangle("Mover")}, {Node(0xB002, "Mover", {Track(0xB020, positions),
                                                              Track(0xB021, rotations)})}));
  ASSERT_EQ(scene->posKeyCount, 4u);
  EXPECT_EQ(scene->posFrames[1], 10);
  EXPECT_EQ(scene->posFrames[2], 4464);  // 70000 & 0xFFFF
  ExpectVec(scene->posValues[1], 4, 6, -5);  // the two floats of 0x0009 were skipped
  ExpectVec(scene->posValues[3], 0, 0, 0);
  ASSERT_EQ(scene->rotKeyCount, 4u);
  ExpectVec(scene->rotValues[0], 0, 0, 0);  // key 0's orientation is dropped
  ExpectVec(scene->rotValues[1], 0, 28.6487f, 0);
  const float d2 = static_cast<float>(0.25 * 180.0 / 3.1415);
  ExpectVec(scene->rotValues[2], d2, 28.6487f, 0);
  ExpectVec(scene->rotValues[3], d2, 28.6487f, 0);
  // The starting pose: the first position key, the first rotation sum, cursors at 3.
  ExpectVec(scene->origin, 1, 3, -2);
  ExpectVec(scene->position, 1, 3, -2);
  EXPECT_EQ(scene->posCursor, 3);
  EXPECT_EQ(scene->rotCursor, 3);
  ReleaseScene(scene);
}

TEST(SceneLoader, CamerasTakeTheirTargetTrackAndGiveTheFrameRange) {
  Scene3ds* scene = Load(File(
      {Triangle("Ground"), Camera("Cam", {0, -10, 0}, {0, 0, 0})},
      {Node(0xB003, "Cam", {Track(0xB020, PositionKeys({0, 10, 20, 30, 40})),
                            Track(0xB021, {{0, {1, 0, 0, 1}}})}),
       Node(0xB004, "Cam", {Track(0xB020, {{0, {5, 6, 7}}, {10, {0, 0, 0}}, {20, {0, 0, 0}},
                                           {30, {0, 0, 0}}})})}));
  ASSERT_EQ(scene->cameraCount, 1);
  SceneObject* cam = scene->cameras[0];
  EXPECT_STREQ(cam->name, "Cam");
  EXPECT_EQ(cam->kind, KindCamera);
  EXPECT_EQ(cam->posKeyCount, 5u);
  EXPECT_EQ(cam->rotKeyCount, 4u);  // the target's track, not the rotation track
  ExpectVec(cam->camera.eye, 0, 3, 0);     // first position key (0, 0, 3) converted
  ExpectVec(cam->camera.target, 5, 7, -6);  // first target key
  EXPECT_EQ(cam->posCursor, 3);
  EXPECT_EQ(cam->rotCursor, 3);
  EXPECT_EQ(scene->startFrame, 10);
  EXPECT_EQ(scene->endFrame, 20);
  EXPECT_EQ(scene->currentFrame, 0.0);
  EXPECT_EQ(scene->currentCamera, 0);
  EXPECT_EQ(cam->camera.lens, 35.0f);
  ReleaseScene(scene);

  // Short camera tracks never read past their ends: one key gives both frames from it.
  scene = Load(File({Camera("C", {1, 2, 3}, {0, 0, 0})},
                    {Node(0xB003, "C", {Track(0xB020, PositionKeys({7}))})}));
  EXPECT_EQ(scene->startFrame, 7);
  EXPECT_EQ(scene->endFrame, 7);
  ExpectVec(scene->camera.target, 0, 0, 0);  // no target keys: the camera chunk's target
  ReleaseScene(scene);
}

TEST(SceneLoader, LightsArePositiveListedAndTagged) {
  P3 spot = {4, 0, 0};
  Scene3ds* scene = Load(File({Light("Sun", {1, 0, 0}, {-0.5f, 0.2f, 1.0f}, &spot),
                                Light("moon", {0, 0, 0}, {1, 1, 1})},
                               {Node(0xB007, "Sun", {Track(0xB020, PositionKeys({0}))}),
                                Node(0xB002, "moon", {Track(0xB020, PositionKeys({0, 10}))})}));
  ASSERT_EQ(scene->lightCount, 2);
  const LightData* sun = scene->lights[0];
  EXPECT_EQ(sun, &scene->light);
  EXPECT_FLOAT_EQ(sun->colour[0], 0.5f);
  EXPECT_FLOAT_EQ(sun->colour[1], 0.2f);
  EXPECT_FLOAT_EQ(sun->colour[2], 1.0f);
  EXPECT_FLOAT_EQ(sun->range, 3.0f);
  EXPECT_FLOAT_EQ(sun->hotspot, 20.0f);
  EXPECT_FLOAT_EQ(sun->falloff, 30.0f);
  EXPECT_EQ(sun->tag, 'S');
  EXPECT_EQ(sun->moving, 0);
  EXPECT_EQ(scene->lights[1]->moving, 1);
  EXPECT_EQ(scene->lights[1]->tag, 'm');
  ReleaseScene(scene);

  QuietLog quiet;
  std::vector<Chunk> lights;
  for (int i = 0; i < 105; ++i) lights.push_back(Light("L" + std::to_string(i), {0, 0, 0}, {1, 1, 1}));
  scene = Load(File(lights));
  EXPECT_EQ(scene->lightCount, SceneMaxLights);
  ReleaseScene(scene);

  std::vector<Chunk> cameras;
  for (int i = 0; i < 55; ++i) cameras.push_back(Camera("C" + std::to_string(i), {0, 0, 0}, {1, 0, 0}));
  scene = Load(File(cameras));
  EXPECT_EQ(scene->cameraCount, SceneMaxCameras);
  ExpectSound(scene);
  ReleaseScene(scene);
}

TEST(SceneLoader, EachHandledChunkIsTracedWithItsDepth) {
  std::vector<std::string> lines;
  SetTraceSink([](const char* line, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(line);
  }, &lines);
  Scene3ds* scene = Load(File({Triangle("A", "maps/a.jpg")},
                              {Node(0xB002, "A", {Track(0xB020, PositionKeys({0}))})}));
  SetTraceSink(nullptr, nullptr);
  std::vector<std::string> expected = {
      "CHUNK_3DEDITORCHUNK\n",        "+--CHUNK_OBJETBLOCK\n",
      "   +--CHUNK_TRIANGULARMESH\n", "      +--CHUNK_VERTICELIST\n",
      "      +--CHUNK_FACELIST\n",      "         +--CHUNK_FACEMATERIALLIST\n",
      "CHUNK_KEYFRAMER\n",             "+--CHUNK_OBJETINFOBLOCK\n",
      "   +--CHUNK_OBJETNAME\n",       "   +--CHUNK_POSITIONTRACK\n"};
  EXPECT_EQ(lines, expected);
  ReleaseScene(scene);
}

TEST(SceneLoader, DamagedStructureIsContained) {
  QuietLog quiet;
  // A face naming a vertex the mesh does not have is dropped; the others stay in order.
  Scene3ds* scene = Load(File({Mesh("Bad", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                    {{0, 1, 2}, {0, 1, 3}, {2, 1, 0}})}));
  ASSERT_EQ(scene->faceCount, 2);
  EXPECT_EQ(scene->faces[1].a, 2);
  EXPECT_EQ(scene->totalFaceCount, 2);
  ReleaseScene(scene);

  // A vertex count larger than its chunk holds keeps only the vertices that are there.
  std::vector<uint8_t> bytes = File({Mesh("Big", {{1, 2, 3}, {4, 5, 6}}, {{0, 1, 1}})});
  // The vertex count sits after the main (6), version (10), editor (6), mesh version
  // (10), object (6 + 4 name), mesh (6) and vertex list (6) headers.
  size_t countAt = 6 + 10 + 6 + 10 + 6 + 4 + 6 + 6;
  ASSERT_EQ(bytes[countAt], 2);
  bytes[countAt] = 0xFF;
  bytes[countAt + 1] = 0xFF;
  scene = Load(bytes);
  EXPECT_EQ(scene->vertexCount, 2);
  EXPECT_EQ(scene->faceCount, 1);
  ReleaseScene(scene);

  // A child that claims to run past its parent ends the parent's level there: the second
  // object is not swallowed, and a length below 6 ends the level instead of looping.
  Chunk editor(0x3D3D);
  Chunk liar = Triangle("Liar");
  editor.Add(liar);
  std::vector<uint8_t> body = editor.Bytes();
  std::vector<uint8_t> tail = Triangle("Next").Bytes();
  body.insert(body.end(), tail.begin(), tail.end());
  uint32_t editorLength = static_cast<uint32_t>(body.size());
  memcpy(&body[2], &editorLength, 4);
  uint32_t huge = 0x7FFFFFF0;
  memcpy(&body[6 + 2], &huge, 4);  // the first object's length
  Chunk main(0x4D4D);
  main.data = body;
  scene = Load(main.Bytes());
  EXPECT_EQ(scene->objectCount, 1);
  ExpectSound(scene);
  ReleaseScene(scene);

  std::vector<uint8_t> zeroLength = File({Triangle("A"), Triangle("B")});
  size_t secondObject = zeroLength.size() - Triangle("B").Bytes().size();
  memset(&zeroLength[secondObject + 2], 0, 4);
  scene = Load(zeroLength);
  EXPECT_EQ(scene->objectCount, 1);
  ReleaseScene(scene);

  // Tracks of a node with no name, or a name that matches nothing, go nowhere.
  Chunk nameless(0xB002);
  nameless.Add(Track(0xB020, PositionKeys({0, 1})));
  scene = Load(File({Triangle("A")}, {nameless, Node(0xB002, "Z", {Track(0xB020, PositionKeys({0}))})}));
  EXPECT_EQ(scene->posKeyCount, 0u);
  ReleaseScene(scene);

  // A key count far beyond its chunk allocates only what the chunk can hold.
  Chunk track = Track(0xB020, PositionKeys({0, 1}));
  track.data[10] = 0xFF;
  track.data[11] = 0xFF;
  track.data[12] = 0xFF;
  track.data[13] = 0x0F;
  scene = Load(File({Triangle("A")}, {Node(0xB002, "A", {track})}));
  EXPECT_EQ(scene->posKeyCount, 2u);
  ReleaseScene(scene);
}

// ---------------------------------------------------------------------------------------
// Real files.

const char* const ModelDirectory = "/usr/share/assimp/models/3DS";

std::vector<std::string> ModelFiles() {
  std::vector<std::string> files;
  DIR* dir = opendir(ModelDirectory);
  if (!dir) return files;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() > 4) {
      std::string ext = name.substr(name.size() - 4);
      for (char& c : ext) c = static_cast<char>(tolower(c));
      if (ext == ".3ds") files.push_back(std::string(ModelDirectory) + "/" + name);
    }
  }
  closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  fclose(f);
  return bytes;
}

TEST(SceneLoader, RealFilesLoadWithTheirExpectedContents) {
  const std::vector<std::string> files = ModelFiles();
  if (files.empty()) GTEST_SKIP() << "assimp-testmodels is not installed";
  std::set<std::string> names;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    names.insert(path.substr(path.rfind('/') + 1));
    Scene3ds* scene = new Scene3ds();
    EXPECT_TRUE(LoadScene(scene, path.c_str()));
    ExpectSound(scene);
    EXPECT_GE(scene->objectCount, 1);
    ReleaseScene(scene);
  }
  for (const char* expected : {"TargetCameraAnim.3ds", "CameraRollAnim.3ds", "RotatingCube.3DS",
                               "fels.3ds", "test1.3ds", "cubes_with_alpha.3DS"}) {
    EXPECT_EQ(names.count(expected), 1u) << expected;
  }
  // The animated target camera: a camera with position and target tracks.
  Scene3ds* scene = new Scene3ds();
  ASSERT_TRUE(LoadScene(scene, (std::string(ModelDirectory) + "/TargetCameraAnim.3ds").c_str()));
  ASSERT_GE(scene->cameraCount, 1);
  EXPECT_GE(scene->cameras[0]->posKeyCount, 1u);
  EXPECT_GE(scene->cameras[0]->rotKeyCount, 1u);
  ReleaseScene(scene);

  scene = new Scene3ds();
  EXPECT_FALSE(LoadScene(scene, "/usr/share/assimp/models/invalid/empty.3ds"));
  EXPECT_EQ(scene->objectCount, 0);
  ReleaseScene(scene);
}

TEST(SceneLoader, TruncatedAndBitFlippedCopiesLoadWithoutHarm) {
  std::vector<std::string> files = ModelFiles();
  if (files.empty()) GTEST_SKIP() << "assimp-testmodels is not installed";
  QuietLog quiet;
  std::mt19937 random(20261208);
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const std::vector<uint8_t> original = ReadFile(path);
    ASSERT_FALSE(original.empty());
    // Every cut in the first 200 bytes, then 300 spread over the file.
    std::vector<size_t> cuts;
    for (size_t n = 0; n < 200 && n < original.size(); ++n) cuts.push_back(n);
    for (size_t i = 0; i < 300; ++i) cuts.push_back(original.size() * i / 300);
    for (size_t n : cuts) {
      std::vector<uint8_t> copy(original.begin(), original.begin() + n);
      Scene3ds* scene = new Scene3ds();
      LoadSceneFromMemory(scene, copy.data(), copy.size());
      ExpectSound(scene);
      ReleaseScene(scene);
      if (HasFatalFailure()) return;
    }
    for (int trial = 0; trial < 400; ++trial) {
      std::vector<uint8_t> copy = original;
      int flips = 1 + trial % 8;
      for (int i = 0; i < flips; ++i) {
        size_t at = random() % copy.size();
        copy[at] ^= static_cast<uint8_t>(1u << (random() % 8));
      }
      // Every few trials, a byte of a length field becomes 0xFF.
      if (trial % 5 == 0) copy[random() % copy.size()] = 0xFF;
      Scene3ds* scene = new Scene3ds();
      LoadSceneFromMemory(scene, copy.data(), copy.size());
      ExpectSound(scene);
      ReleaseScene(scene);
      if (HasFatalFailure()) return;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Against lib3ds.

#ifdef VELLUMAR_HAVE_LIB3DS

Vec3 Converted(const float* p) { return Vec3{p[0], p[2], -p[1]}; }

void ExpectSameVec(Vec3 ours, Vec3 theirs) {
  EXPECT_NEAR(ours.x, theirs.x, 1e-4f * (1 + std::fabs(theirs.x)));
  EXPECT_NEAR(ours.y, theirs.y, 1e-4f * (1 + std::fabs(theirs.y)));
  EXPECT_NEAR(ours.z, theirs.z, 1e-4f * (1 + std::fabs(theirs.z)));
}

SceneObject* FindKind(Scene3ds* scene, const char* name, uint16_t kind) {
  for (SceneObject* node = scene; node && scene->objectCount; node = node->next) {
    if (node->kind == kind && strcmp(node->name, name) == 0) return node;
  }
  return nullptr;
}

void CollectNodes(Lib3dsNode* node, std::vector<Lib3dsNode*>* out) {
  for (; node; node = node->next) {
    out->push_back(node);
    CollectNodes(node->childs, out);
  }
}

template <typename K>
std::vector<uint16_t> Frames(K* key) {
  std::vector<uint16_t> frames;
  for (; key; key = key->next) frames.push_back(static_cast<uint16_t>(key->tcb.frame & 0xFFFF));
  return frames;
}

std::vector<uint16_t> Frames(const uint16_t* frames, uint32_t count) {
  return std::vector<uint16_t>(frames, frames + count);
}

// Compares what both readers took from one file.
void CompareWithLib3ds(Scene3ds* scene, Lib3dsFile* file) {
  int libMeshes = 0;
  std::set<std::string> libMaterials;
  for (Lib3dsMesh* mesh = file->meshes; mesh; mesh = mesh->next) {
    SCOPED_TRACE(mesh->name);
    ++libMeshes;
    SceneObject* node = FindKind(scene, mesh->name, KindMesh);
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->vertexCount, mesh->points);
    for (uint32_t i = 0; i < mesh->points; ++i) {
      ExpectSameVec(node->vertices[i], Converted(mesh->pointL[i].pos));
    }
    EXPECT_EQ(node->faceCount, mesh->faces);
    for (uint32_t i = 0; i < node->faceCount && i < mesh->faces; ++i) {
      EXPECT_EQ(node->faces[i].a, mesh->faceL[i].points[0]);
      EXPECT_EQ(node->faces[i].b, mesh->faceL[i].points[1]);
      EXPECT_EQ(node->faces[i].c, mesh->faceL[i].points[2]);
    }
    EXPECT_EQ(node->texCoordCount, mesh->texels);
    for (uint32_t i = 0; i < node->texCoordCount && i < mesh->texels; ++i) {
      EXPECT_EQ(node->texCoords[i].u, mesh->texelL[i][0]);
      EXPECT_EQ(node->texCoords[i].v, mesh->texelL[i][1]);
    }
    std::set<std::string> faceMaterials;
    for (uint32_t i = 0; i < mesh->faces; ++i) {
      if (mesh->faceL[i].material[0]) faceMaterials.insert(mesh->faceL[i].material);
    }
    libMaterials.insert(faceMaterials.begin(), faceMaterials.end());
    if (!faceMaterials.empty()) {
      ASSERT_LT(node->textureIndex, scene->textureCount);
      EXPECT_EQ(faceMaterials.count(scene->textures[node->textureIndex].name), 1u);
    }
  }
  int ourMeshes = 0;
  for (SceneObject* node = scene; node && scene->objectCount; node = node->next) {
    if (node->kind == KindMesh) ++ourMeshes;
  }
  EXPECT_EQ(ourMeshes, libMeshes);
  std::set<std::string> ourMaterials;
  for (int32_t i = 0; i < scene->textureCount; ++i) ourMaterials.insert(scene->textures[i].name);
  EXPECT_EQ(ourMaterials, libMaterials);

  std::vector<Lib3dsNode*> nodes;
  CollectNodes(file->nodes, &nodes);
  auto unique = [&](Lib3dsNode* n) {
    int count = 0;
    for (Lib3dsNode* o : nodes) count += o->type == n->type && strcmp(o->name, n->name) == 0;
    return count == 1;
  };

  int libCameras = 0;
  for (Lib3dsCamera* camera = file->cameras; camera; camera = camera->next) {
    SCOPED_TRACE(camera->name);
    ++libCameras;
    SceneObject* node = FindKind(scene, camera->name, KindCamera);
    ASSERT_NE(node, nullptr);
    Lib3dsNode* eyeNode = lib3ds_file_node_by_name(file, camera->name, LIB3DS_CAMERA_NODE);
    Lib3dsNode* targetNode = lib3ds_file_node_by_name(file, camera->name, LIB3DS_TARGET_NODE);
    Lib3dsLin3Key* eyeKey = eyeNode ? eyeNode->data.camera.pos_track.keyL : nullptr;
    Lib3dsLin3Key* targetKey = targetNode ? targetNode->data.target.pos_track.keyL : nullptr;
    ExpectSameVec(node->camera.eye, Converted(eyeKey ? eyeKey->value : camera->position));
    ExpectSameVec(node->camera.target, Converted(targetKey ? targetKey->value : camera->target));
    if (eyeNode && unique(eyeNode)) {
      EXPECT_EQ(Frames(node->posFrames, node->posKeyCount), Frames(eyeKey));
    }
    if (targetNode && unique(targetNode)) {
      EXPECT_EQ(Frames(node->rotFrames, node->rotKeyCount), Frames(targetKey));
    }
  }
  EXPECT_EQ(scene->cameraCount, libCameras);

  for (Lib3dsNode* n : nodes) {
    if (n->type != LIB3DS_OBJECT_NODE || !unique(n)) continue;
    SceneObject* node = FindKind(scene, n->name, KindMesh);
    if (!node) continue;  // dummies and instances name no mesh
    SCOPED_TRACE(n->name);
    Lib3dsObjectData& d = n->data.object;
    EXPECT_EQ(Frames(node->posFrames, node->posKeyCount), Frames(d.pos_track.keyL));
    EXPECT_EQ(Frames(node->rotFrames, node->rotKeyCount), Frames(d.rot_track.keyL));
    uint32_t i = 0;
    for (Lib3dsLin3Key* k = d.pos_track.keyL; k && i < node->posKeyCount; k = k->next, ++i) {
      ExpectSameVec(node->posValues[i], Converted(k->value));
    }
    // Each rotation value adds the key's axis times its angle in degrees to the last one.
    i = 0;
    for (Lib3dsQuatKey* k = d.rot_track.keyL; k && i < node->rotKeyCount; k = k->next, ++i) {
      if (i == 0) continue;
      Vec3 axis = Converted(k->axis);
      double degrees = k->angle * 180.0 / 3.1415;
      Vec3 step{node->rotValues[i].x - node->rotValues[i - 1].x,
                node->rotValues[i].y - node->rotValues[i - 1].y,
                node->rotValues[i].z - node->rotValues[i - 1].z};
      ExpectSameVec(step, Vec3{float(axis.x * degrees), float(axis.y * degrees), float(axis.z * degrees)});
    }
  }
}

TEST(SceneLoaderAgainstLib3ds, RealFilesAgree) {
  const std::vector<std::string> files = ModelFiles();
  if (files.empty()) GTEST_SKIP() << "assimp-testmodels is not installed";
  int compared = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    Lib3dsFile* file = lib3ds_file_load(path.c_str());
    if (!file) continue;
    Scene3ds* scene = new Scene3ds();
    ASSERT_TRUE(LoadScene(scene, path.c_str()));
    CompareWithLib3ds(scene, file);
    ++compared;
    ReleaseScene(scene);
    lib3ds_file_free(file);
  }
  EXPECT_GE(compared, 6);
}

// The show's own scene files, as the build baked them: both readers see the same meshes,
// materials, cameras and tracks.
TEST(SceneLoaderAgainstLib3ds, BakedScenesAgree) {
  std::string archive = std::string(VELLUMAR_SHOW_DIR) + "/datas.vlo";
  FILE* probe = fopen(archive.c_str(), "rb");
  if (!probe) GTEST_SKIP() << "the show's data set is not baked";
  fclose(probe);
  std::string dir = std::string(TEST_BINARY_DIR) + "/scratch/baked_3ds_" + std::to_string(getpid());
  std::string command = "rm -rf '" + dir + "' && mkdir -p '" + dir + "' && cd '" + dir + "' && unzip -q '" +
                        archive + "' 'maps/*.3ds'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  int compared = 0;
  for (const char* name : {"avion", "ball", "ball2", "jungle", "tunnel", "palace", "bain", "comput"}) {
    std::string path = dir + "/maps/" + name + ".3ds";
    SCOPED_TRACE(path);
    Lib3dsFile* file = lib3ds_file_load(path.c_str());
    ASSERT_NE(file, nullptr);
    Scene3ds* scene = new Scene3ds();
    ASSERT_TRUE(LoadScene(scene, path.c_str()));
    CompareWithLib3ds(scene, file);
    int lights = 0;
    for (Lib3dsLight* l = file->lights; l; l = l->next) {
      ++lights;
      // Each light's node is read by other tools as a light, not as a spot light's target
      // (lib3ds files omni and spot light nodes alike as light nodes).
      Lib3dsNode* node = lib3ds_file_node_by_name(file, l->name, LIB3DS_LIGHT_NODE);
      EXPECT_NE(node, nullptr) << l->name;
    }
    EXPECT_EQ(scene->lightCount, lights);
    ++compared;
    ReleaseScene(scene);
    lib3ds_file_free(file);
  }
  EXPECT_EQ(compared, 8);
  std::system(("rm -rf '" + dir + "'").c_str());
}

void AddLin3Key(Lib3dsLin3Track* track, int frame, float x, float y, float z) {
  Lib3dsLin3Key* key = lib3ds_lin3_key_new();
  key->tcb.frame = frame;
  key->value[0] = x;
  key->value[1] = y;
  key->value[2] = z;
  lib3ds_lin3_track_insert(track, key);
}

TEST(SceneLoaderAgainstLib3ds, FilesWrittenByLib3dsAgree) {
  Lib3dsFile* file = lib3ds_file_new();
  Lib3dsMaterial* material = lib3ds_material_new();
  strcpy(material->name, "maps/wall.jpg");
  lib3ds_file_insert_material(file, material);

  const char* meshNames[2] = {"Box", "%Glow"};
  for (int m = 0; m < 2; ++m) {
    Lib3dsMesh* mesh = lib3ds_mesh_new(meshNames[m]);
    lib3ds_mesh_new_point_list(mesh, 4);
    lib3ds_mesh_new_texel_list(mesh, 4);
    for (int i = 0; i < 4; ++i) {
      mesh->pointL[i].pos[0] = float(i + m);
      mesh->pointL[i].pos[1] = float(2 * i);
      mesh->pointL[i].pos[2] = float(-i) + 0.5f;
      mesh->texelL[i][0] = 0.25f * i;
      mesh->texelL[i][1] = 1.0f - 0.25f * i;
    }
    lib3ds_mesh_new_face_list(mesh, 2);
    for (int f = 0; f < 2; ++f) {
      mesh->faceL[f].points[0] = 0;
      mesh->faceL[f].points[1] = static_cast<Lib3dsWord>(1 + f);
      mesh->faceL[f].points[2] = static_cast<Lib3dsWord>(2 + f);
      mesh->faceL[f].smoothing = 1;
      strcpy(mesh->faceL[f].material, "maps/wall.jpg");
    }
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) mesh->matrix[r][c] = r == c ? 1.0f : 0.0f;
    lib3ds_file_insert_mesh(file, mesh);
  }
  Lib3dsCamera* camera = lib3ds_camera_new("Cam01");
  camera->position[0] = 10;
  camera->position[1] = -20;
  camera->position[2] = 5;
  camera->fov = 45;
  camera->roll = 3;
  lib3ds_file_insert_camera(file, camera);

  Lib3dsNode* box = lib3ds_node_new_object();
  strcpy(box->name, "Box");
  box->node_id = 0;
  box->parent_id = LIB3DS_NO_PARENT;
  for (int k = 0; k < 4; ++k) AddLin3Key(&box->data.object.pos_track, 10 * k, float(k), 1, 2);
  for (int k = 0; k < 4; ++k) {
    Lib3dsQuatKey* key = lib3ds_quat_key_new();
    key->tcb.frame = 10 * k;
    key->axis[2] = 1;
    key->angle = 0.1f * k;
    lib3ds_quat_track_insert(&box->data.object.rot_track, key);
  }
  AddLin3Key(&box->data.object.scl_track, 0, 1, 1, 1);
  lib3ds_file_insert_node(file, box);
  Lib3dsNode* glow = lib3ds_node_new_object();  // a node whose tracks have no keys
  strcpy(glow->name, "%Glow");
  glow->node_id = 1;
  glow->parent_id = LIB3DS_NO_PARENT;
  lib3ds_file_insert_node(file, glow);
  Lib3dsNode* cam = lib3ds_node_new_camera();
  strcpy(cam->name, "Cam01");
  cam->node_id = 2;
  cam->parent_id = LIB3DS_NO_PARENT;
  for (int k = 0; k < 5; ++k) AddLin3Key(&cam->data.camera.pos_track, 10 * k, float(k), -20, 5);
  Lib3dsLin1Key* fov = lib3ds_lin1_key_new();
  fov->value = 45;
  lib3ds_lin1_track_insert(&cam->data.camera.fov_track, fov);
  Lib3dsLin1Key* roll = lib3ds_lin1_key_new();
  roll->value = 3;
  lib3ds_lin1_track_insert(&cam->data.camera.roll_track, roll);
  lib3ds_file_insert_node(file, cam);
  Lib3dsNode* target = lib3ds_node_new_target();
  strcpy(target->name, "Cam01");
  target->node_id = 3;
  target->parent_id = LIB3DS_NO_PARENT;
  for (int k = 0; k < 4; ++k) AddLin3Key(&target->data.target.pos_track, 10 * k, 0, 0, float(k));
  lib3ds_file_insert_node(file, target);

  std::string path = std::string(TEST_BINARY_DIR) + "/lib3ds_written.3ds";
  ASSERT_TRUE(lib3ds_file_save(file, path.c_str()));
  lib3ds_file_free(file);

  Lib3dsFile* reread = lib3ds_file_load(path.c_str());
  ASSERT_NE(reread, nullptr);
  Scene3ds* scene = new Scene3ds();
  ASSERT_TRUE(LoadScene(scene, path.c_str()));
  ExpectSound(scene);
  CompareWithLib3ds(scene, reread);
  lib3ds_file_free(reread);

  SceneObject* boxNode = FindKind(scene, "Box", KindMesh);
  ASSERT_NE(boxNode, nullptr);
  EXPECT_EQ(boxNode->posKeyCount, 4u);
  EXPECT_EQ(boxNode->rotKeyCount, 4u);
  ExpectVec(boxNode->position, 0, 2, -1);
  SceneObject* glowNode = FindKind(scene, "%Glow", KindMesh);
  ASSERT_NE(glowNode, nullptr);
  EXPECT_TRUE(glowNode->additive);
  EXPECT_EQ(glowNode->posKeyCount, 0u);
  ExpectVec(glowNode->position, 0, 0, 0);
  EXPECT_EQ(scene->textureCount, 1);
  ASSERT_EQ(scene->cameraCount, 1);
  EXPECT_EQ(scene->cameras[0]->posKeyCount, 5u);
  EXPECT_EQ(scene->cameras[0]->rotKeyCount, 4u);
  EXPECT_EQ(scene->startFrame, 10);
  EXPECT_EQ(scene->endFrame, 20);
  ReleaseScene(scene);
}

#endif  // VELLUMAR_HAVE_LIB3DS

}  // namespace
