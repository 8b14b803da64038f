// tests/support/show_support.cpp - archives, pictures, the virtual clock of a scene run,
// the loaded globals and scenes built in memory, for the scene and sequence tests.
#include "tests/support/show_support.h"

#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <minizip/zip.h>

#include "app/window.h"
#include "assets/jpeg_texture.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "effects/particles.h"
#include "engine/models.h"
#include "engine/scene_grid.h"
#include "platform/platform.h"
#include "timeline/demo_sequence.h"

// ---------------------------------------------------------------------------------------
// Archives and pictures.

bool WriteArchive(const std::string& path, const std::vector<ArchiveMember>& members) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  bool ok = true;
  for (const ArchiveMember& m : members) {
    zip_fileinfo info = {};
    info.tmz_date = {0, 0, 12, 1, 0, 2020};
    if (zipOpenNewFileInZip(zip, m.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_DEFAULT_COMPRESSION) != ZIP_OK) {
      ok = false;
      break;
    }
    if (zipWriteInFileInZip(zip, m.data.data(), (unsigned)m.data.size()) != ZIP_OK) ok = false;
    zipCloseFileInZip(zip);
  }
  if (zipClose(zip, nullptr) != ZIP_OK) ok = false;
  return ok;
}

std::string EncodeJpeg(int w, int h, Rgb (*colour)(int x, int y)) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = (JDIMENSION)w;
  cinfo.image_height = (JDIMENSION)h;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row((size_t)w * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    int y = (int)cinfo.next_scanline;
    for (int x = 0; x < w; x++) {
      Rgb c = colour(x, y);
      row[(size_t)x * 3] = (unsigned char)c.r;
      row[(size_t)x * 3 + 1] = (unsigned char)c.g;
      row[(size_t)x * 3 + 2] = (unsigned char)c.b;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes((const char*)buffer, size);
  free(buffer);
  return bytes;
}

namespace {
Rgb solid;
Rgb Solid(int, int) { return solid; }
int patternSize = 1;
Rgb Pattern(int x, int y) {
  float ramp = 0.25f + 0.75f * (float)(x + y) / (float)(2 * patternSize);
  if (((x / 4) + (y / 4)) % 2) ramp *= 0.6f;
  return Rgb{(int)(solid.r * ramp), (int)(solid.g * ramp), (int)(solid.b * ramp)};
}
}  // namespace

std::string SolidJpeg(int w, int h, Rgb colour) {
  solid = colour;
  return EncodeJpeg(w, h, Solid);
}

std::string PatternJpeg(int w, int h, Rgb tint) {
  solid = tint;
  patternSize = w > h ? w : h;
  return EncodeJpeg(w, h, Pattern);
}

std::string Write3ds(const std::vector<MeshData>& meshes) {
  struct Out {
    std::string bytes;
    void U16(uint32_t v) {
      bytes += (char)(v & 0xFF);
      bytes += (char)((v >> 8) & 0xFF);
    }
    void U32(uint32_t v) {
      for (int i = 0; i < 4; i++) bytes += (char)((v >> (8 * i)) & 0xFF);
    }
    void F(float f) {
      uint32_t bits;
      memcpy(&bits, &f, 4);
      U32(bits);
    }
    void Str(const std::string& s) {
      bytes += s;
      bytes += '\0';
    }
    // Opens a chunk; Close writes its length once the body is known.
    size_t Open(uint16_t id) {
      size_t at = bytes.size();
      U16(id);
      U32(0);
      return at;
    }
    void Close(size_t at) {
      uint32_t length = (uint32_t)(bytes.size() - at);
      for (int i = 0; i < 4; i++) bytes[at + 2 + i] = (char)((length >> (8 * i)) & 0xFF);
    }
  } o;
  size_t main = o.Open(0x4D4D);
  size_t version = o.Open(0x0002);
  o.U32(3);
  o.Close(version);
  size_t editor = o.Open(0x3D3D);
  for (const MeshData& m : meshes) {
    size_t object = o.Open(0x4000);
    o.Str(m.name);
    size_t tri = o.Open(0x4100);
    size_t vl = o.Open(0x4110);
    o.U16((uint32_t)m.vertices.size());
    for (const Vec3& v : m.vertices) {
      o.F(v.x);
      o.F(v.y);
      o.F(v.z);
    }
    o.Close(vl);
    size_t fl = o.Open(0x4120);
    o.U16((uint32_t)m.faces.size());
    for (const Face& f : m.faces) {
      o.U16(f.a);
      o.U16(f.b);
      o.U16(f.c);
      o.U16(7);
    }
    if (!m.material.empty()) {
      size_t ml = o.Open(0x4130);
      o.Str(m.material);
      o.U16((uint32_t)m.faces.size());
      for (size_t i = 0; i < m.faces.size(); i++) o.U16((uint32_t)i);
      o.Close(ml);
    }
    o.Close(fl);
    if (!m.uvs.empty()) {
      size_t tl = o.Open(0x4140);
      o.U16((uint32_t)m.uvs.size());
      for (const TexCoord& uv : m.uvs) {
        o.F(uv.u);
        o.F(uv.v);
      }
      o.Close(tl);
    }
    o.Close(tri);
    o.Close(object);
  }
  o.Close(editor);
  o.Close(main);
  return o.bytes;
}

namespace {
const char* const TableFiles[TextureSlotCount] = {
    "pict/loading.jpg", "text/sky.jpg",    nullptr,           "text/meta.jpg",
    "text/screen.jpg",  "text/1.jpg",      "text/2.jpg",      "text/3.jpg",
    "text/4.jpg",       "text/5.jpg",      "text/6.jpg",      "text/7.jpg",
    "text/sky_tu.jpg",  "text/sky_up.jpg", "pict/meta.jpg",   "text/ball.jpg",
    "text/logo1.jpg",   "text/logo2.jpg",  "text/logo3.jpg",  nullptr,
    "text/by.jpg",      "text/title.jpg",  "text/logo4.jpg",  "text/twater.jpg",
    "text/sball.jpg",   "pict/dino.jpg",   "pict/scroll.jpg", "text/light.jpg",
};
const char* const OtherFiles[] = {"text/smoker.jpg", "text/fire.jpg", "text/tpart.jpg",
                                  "text/flash.jpg", "text/font.jpg"};
}  // namespace

std::vector<std::string> ShowPictureNames() {
  std::vector<std::string> names;
  for (const char* f : TableFiles)
    if (f) names.push_back(f);
  for (const char* f : OtherFiles) names.push_back(f);
  return names;
}

Rgb SlotColour(int slot) {
  return Rgb{(slot * 37 + 40) % 200 + 40, (slot * 91 + 80) % 200 + 40, (slot * 53 + 120) % 200 + 40};
}

std::vector<ArchiveMember> ShowPictures() {
  std::vector<ArchiveMember> members;
  int i = 0;
  for (const std::string& name : ShowPictureNames())
    members.push_back({name, PatternJpeg(32, 32, SlotColour(i++))});
  return members;
}

// ---------------------------------------------------------------------------------------
// The virtual clock.

FrameLook LookAtFrame() {
  int w = 0, h = 0;
  PlatformFrameSize(&w, &h);
  FrameLook look;
  if (w <= 0 || h <= 0) return look;
  GLint pack;
  glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  std::vector<uint8_t> row((size_t)w * 4);
  bool first = true;
  uint8_t firstPixel[3] = {0, 0, 0};
  double sum = 0;
  int samples = 0;
  auto take = [&](const uint8_t* p) {
    if (p[0] || p[1] || p[2]) look.blank = false;
    if (first) {
      memcpy(firstPixel, p, 3);
      first = false;
    } else if (memcmp(firstPixel, p, 3) != 0) {
      look.oneColour = false;
    }
    sum += (p[0] + p[1] + p[2]) / 3.0;
    samples++;
  };
  for (int j = 0; j < 24; j++) {
    int y = (int)((j + 0.5) * h / 24);
    glReadPixels(0, y, w, 1, GL_RGBA, GL_UNSIGNED_BYTE, row.data());
    for (int i = 0; i < 32; i++) take(&row[(size_t)((i + 0.5) * w / 32) * 4]);
    if (j == 12) take(&row[(size_t)(w / 2) * 4]);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, pack);
  look.meanLuma = samples ? sum / samples : 0;
  return look;
}

namespace {
ShowClock* activeClock = nullptr;

void ClockPresent(void*) {
  ShowClock* c = activeClock;
  if (!c) return;
  if (c->onFrame) c->onFrame(c->frames);
  if (c->inspect) {
    FrameLook look = LookAtFrame();
    if (look.blank) c->blankFrames++;
    if (look.oneColour) c->oneColourFrames++;
    c->looks.push_back(look);
  }
  c->frames++;
  PlatformAdvanceVirtualTime(1000.0 / c->fps);
}
}  // namespace

ShowClock::ShowClock(double framesPerSecond, bool inspectFrames)
    : fps(framesPerSecond), inspect(inspectFrames) {
  PlatformUseVirtualClock(true);
  PlatformSetVirtualTime(0);
  PlatformSetVirtualIdleStep(1000.0 / fps, 64);
  PlatformResetMessages();
  EscapeRequested = false;
  activeClock = this;
  PlatformSetPresentHook(ClockPresent, nullptr);
}

ShowClock::~ShowClock() {
  PlatformSetPresentHook(nullptr, nullptr);
  activeClock = nullptr;
  PlatformSetVirtualIdleStep(0, 0);
  PlatformUseVirtualClock(false);
  PlatformResetMessages();
  EscapeRequested = false;
}

double ShowClock::Seconds() const { return PlatformVirtualTime() / 1000.0; }

void PressEscapeOnShowWindow() {
  if (!MainWindow) {
    int w = 0, h = 0;
    PlatformFrameSize(&w, &h);
    MainWindow = PlatformCreateShowWindow("Vellumar 2", w, h, DemoPixelFormat, nullptr, 0);
  }
  PlatformSetWindowProc(MainWindow, DemoWindowProc);
  PlatformMessage press;
  press.window = MainWindow;
  press.type = MsgKeyDown;
  press.key = KeyEscape;
  PlatformPostMessage(press);
}

// ---------------------------------------------------------------------------------------
// The loaded globals.

void ReleaseShowGlobals() { ReleaseAssets(); }

void MakeEmptyShowGlobals() {
  ReleaseShowGlobals();
  PlaneScene = new Scene3ds();
  SmokeParticles = new ParticleSystem(2000, nullptr, 4.0f, 80, 3.0f, -150.0f);
  FireParticles = new ParticleSystem(2000, nullptr, 5.0f, 200, 5.0f, -150.0f);
  BallScene = new Scene3ds();
  BallPointCount = 0;
  BallPoints = new Vec3[0]();
  Ball2Scene = new Scene3ds();
  Ball2PointCount = 0;
  Ball2Points = new Vec3[0]();
  Ball2Values = new float[0]();
  JungleScene = new Scene3ds();
  JungleGrid = new SceneGrid(JungleScene);
  RaptorModel = new AnimatedModel();
  JungleGrid->model = RaptorModel;
  TunnelScene = new Scene3ds();
  TunnelGrid = new SceneGrid(TunnelScene);
  PalaceScene = new Scene3ds();
  PalaceGrid = new SceneGrid(PalaceScene);
  BathScene = new Scene3ds();
  GirlModel = new AnimatedModel();
  SmallPointSet = new Vec3[SmallPointSetSize]();
  LargePointSet = new Vec3[LargePointSetSize]();
  SparkParticles = new ParticleSystem(1000, nullptr, 3.0f, 100, 0.5f, -4.0f);
  ComputerScene = new Scene3ds();
  ComputerGrid = new SceneGrid(ComputerScene);
}

std::vector<Rgb> FillTextureTable() {
  static int current = 0;
  static Rgb (*const byIndex)(int, int) = [](int, int) { return SlotColour(current); };
  std::vector<Rgb> colours(TextureSlotCount, Rgb{0, 0, 0});
  for (int slot = 0; slot < TextureSlotCount; slot++) {
    if (TextureTable[slot]) glDeleteTextures(1, (const GLuint*)&TextureTable[slot]);
    TextureTable[slot] = 0;
    if (slot == 2) continue;
    if (slot == 19) {
      CreateBlankTexture(TextureTable, 512, 512, 3, GL_RGB, 19);
      continue;
    }
    current = slot;
    TextureTable[slot] = MakeTexture(16, 16, byIndex);
    colours[slot] = SlotColour(slot);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  return colours;
}

// ---------------------------------------------------------------------------------------
// Scenes built in memory.

SceneObject* SceneBuilder::NewNode() {
  if (scene->objectCount == 0) {
    scene->objectCount = 1;
    scene->cursor = scene;
    return scene;
  }
  SceneObject* last = scene;
  while (last->next) last = last->next;
  SceneObject* node = new SceneObject();
  node->prev = last;
  last->next = node;
  scene->objectCount++;
  return node;
}

SceneObject* SceneBuilder::AddMesh(const char* name, const std::vector<Vec3>& vertices,
                                   const std::vector<Face>& faces,
                                   const std::vector<TexCoord>& uvs, int32_t textureIndex) {
  SceneObject* node = NewNode();
  node->kind = KindMesh;
  snprintf(node->name, sizeof node->name, "%s", name);
  node->vertexCount = (uint16_t)vertices.size();
  node->vertices = new Vec3[vertices.size()];
  node->vertexColours = new Vec3[vertices.size()];
  for (size_t i = 0; i < vertices.size(); i++) {
    node->vertices[i] = vertices[i];
    node->vertexColours[i] = Vec3{1, 1, 1};
  }
  node->faceCount = (uint16_t)faces.size();
  node->faces = new Face[faces.size()];
  for (size_t i = 0; i < faces.size(); i++) node->faces[i] = faces[i];
  scene->totalFaceCount += (int32_t)faces.size();
  if (!uvs.empty()) {
    node->texCoordCount = (uint16_t)uvs.size();
    node->texCoords = new TexCoord[uvs.size()];
    for (size_t i = 0; i < uvs.size(); i++) node->texCoords[i] = uvs[i];
  }
  node->textureIndex = textureIndex;
  char first = name[0], second = first ? name[1] : 0;
  node->additive = first == '%' && second != '%';
  node->alphaMasked = first == '%' && second == '%';
  node->modelAnchor = first == '@';
  node->reflective = first == '?';
  node->posCursor = 3;
  return node;
}

SceneObject* SceneBuilder::AddSquare(const char* name, float half, float y, int32_t textureIndex) {
  return AddMesh(name, {{-half, y, -half}, {half, y, -half}, {half, y, half}, {-half, y, half}},
                 {{0, 1, 2, 0, 0}, {0, 2, 3, 0, 0}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
                 textureIndex);
}

SceneObject* SceneBuilder::AddCamera(const char* name, const std::vector<Key>& eyeKeys,
                                     const std::vector<Key>& targetKeys) {
  SceneObject* node = NewNode();
  node->kind = KindCamera;
  snprintf(node->name, sizeof node->name, "%s", name);
  auto track = [](const std::vector<Key>& keys, uint32_t* count, uint16_t** frames, Vec3** values) {
    *count = (uint32_t)keys.size();
    *frames = new uint16_t[keys.size()];
    *values = new Vec3[keys.size()];
    for (size_t i = 0; i < keys.size(); i++) {
      (*frames)[i] = keys[i].frame;
      (*values)[i] = keys[i].value;
    }
  };
  track(eyeKeys, &node->posKeyCount, &node->posFrames, &node->posValues);
  track(targetKeys, &node->rotKeyCount, &node->rotFrames, &node->rotValues);
  if (!eyeKeys.empty()) node->camera.eye = eyeKeys[0].value;
  if (!targetKeys.empty()) node->camera.target = targetKeys[0].value;
  node->posCursor = node->rotCursor = 3;
  if (scene->cameraCount < SceneMaxCameras) scene->cameras[scene->cameraCount++] = node;
  return node;
}

int32_t SceneBuilder::AddTexture(const char* name, uint32_t texture) {
  if (scene->textureCount >= SceneMaxTextures) return 0;
  SceneTexture& t = scene->textures[scene->textureCount];
  snprintf(t.name, sizeof t.name, "%s", name);
  t.texture = texture;
  return scene->textureCount++;
}

void SceneBuilder::SetFrames(int32_t start, int32_t end) {
  scene->startFrame = start;
  scene->endFrame = end;
}

Scene3ds* SceneBuilder::Take() {
  Scene3ds* s = scene;
  scene = nullptr;
  return s;
}
