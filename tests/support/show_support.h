// tests/support/show_support.h - helpers for the tests of the show's scenes and sequence.
//
// What a scene test needs around a scene: small data archives written by the test, JPEG
// pictures made in memory, scenes built in memory, the loaded globals as loading leaves
// them when every file is missing, the TextureTable filled with test pictures, and a
// virtual clock that moves on one frame period per presented frame while it counts and
// inspects the frames.
//
// Scene tests use the HeadlessGL fixture (tests/support/test_support.h) for the context.
// Nothing here asserts; the helpers return what they saw and the tests judge it.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/scene.h"
#include "tests/support/test_support.h"

// ---------------------------------------------------------------------------------------
// Archives and pictures.

struct ArchiveMember {
  std::string name;  // stored name, e.g. "text/sky.jpg"
  std::string data;
};

// Writes a ZIP archive with minizip's writer, deflated members in the given order.
bool WriteArchive(const std::string& path, const std::vector<ArchiveMember>& members);

// A baseline JPEG of w by h (quality 90) from colour(x, y), y = 0 the top row.
std::string EncodeJpeg(int w, int h, Rgb (*colour)(int x, int y));
// A JPEG of one colour.
std::string SolidJpeg(int w, int h, Rgb colour);

// A picture of w by h in the hue of `tint`: a diagonal ramp from dark to the tint with a
// checker of 4-pixel squares on it, so that nothing drawn from it is all one colour.
std::string PatternJpeg(int w, int h, Rgb tint);

// Every picture file that loading opens (the TextureTable's, the particle systems',
// the reflection picture and the font's), each a 32 by 32 PatternJpeg of its own tint
// (SlotColour of the picture's position in ShowPictureNames).
std::vector<std::string> ShowPictureNames();
std::vector<ArchiveMember> ShowPictures();

// A 3DS file (bytes) of the given meshes in file coordinates (Z up; the loader stores
// (x, z, -y)). A non-empty material applies to every face of its mesh; uvs, when given,
// are the mesh's mapping coordinates (one per vertex).
struct MeshData {
  std::string name;
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  std::string material;
  std::vector<TexCoord> uvs;
};
std::string Write3ds(const std::vector<MeshData>& meshes);

// ---------------------------------------------------------------------------------------
// The virtual clock of a scene run.

struct FrameLook {
  bool blank = true;       // every sampled pixel black
  bool oneColour = true;   // every sampled pixel the same colour
  double meanLuma = 0;     // mean of (r + g + b) / 3 over the samples, 0 to 255
};

// Samples the frame as drawn so far on a 32 by 24 grid (plus the centre).
FrameLook LookAtFrame();

// While alive: the virtual clock runs from 0; each presented frame first runs `onFrame`
// (if set) with the frame's number from 0, is looked at when `inspect` is on, and then
// moves the clock on by 1000 / fps ms. A wait that draws nothing moves the clock on by
// one frame period every 64 reads of the clock (as the offline renderer does).
// Resets EscapeRequested and the message queue at start and end.
class ShowClock {
 public:
  explicit ShowClock(double fps = 5.0, bool inspect = false);
  ~ShowClock();
  ShowClock(const ShowClock&) = delete;
  ShowClock& operator=(const ShowClock&) = delete;

  double Seconds() const;  // virtual time since the clock was made

  double fps;
  bool inspect;
  uint64_t frames = 0;           // presents since the clock was made
  uint64_t blankFrames = 0;      // of the frames looked at
  uint64_t oneColourFrames = 0;  // of the frames looked at (blank ones included)
  std::vector<FrameLook> looks;  // one per frame when inspecting
  std::function<void(uint64_t frame)> onFrame;
};

// The Escape key pressed on the show window through the platform's message queue: the
// next dispatch by a scene loop reaches the window procedure, which raises
// EscapeRequested. The show window's procedure is installed for MainWindow when none is.
void PressEscapeOnShowWindow();

// ---------------------------------------------------------------------------------------
// The loaded globals.

// Every global of the manifest made as loading makes it when every file is missing:
// empty scenes, grids over them, empty models (RaptorModel held in JungleGrid), particle
// systems with their sizes but no texture, the point sets zero-filled at their sizes.
// Whatever the globals held before is released first.
void MakeEmptyShowGlobals();
// Releases every global (ReleaseAssets) and leaves each one null.
void ReleaseShowGlobals();
// Every TextureTable slot but 2 a small test picture of its own colour (slot 19 a blank
// 512 by 512 texture); slot 2 stays 0. Returns the colour of each slot's picture.
std::vector<Rgb> FillTextureTable();
// The colour FillTextureTable gives a slot.
Rgb SlotColour(int slot);

// ---------------------------------------------------------------------------------------
// Scenes built in memory. The first node added fills the scene's own node, as the first
// object of a file does; nodes are allocated as the loader allocates them, so the scene's
// destructor frees them.

struct Key {
  uint16_t frame;
  Vec3 value;
};

struct SceneBuilder {
  Scene3ds* scene = new Scene3ds();  // handed over by Take; freed with the builder otherwise

  SceneBuilder() = default;
  ~SceneBuilder() { delete scene; }
  SceneBuilder(const SceneBuilder&) = delete;
  SceneBuilder& operator=(const SceneBuilder&) = delete;

  // A mesh in world coordinates; flags follow the name's first characters as the loader
  // derives them. `uvs` may be empty (no mapping coordinates). textureIndex names one of
  // the scene's textures (AddTexture).
  SceneObject* AddMesh(const char* name, const std::vector<Vec3>& vertices,
                       const std::vector<Face>& faces, const std::vector<TexCoord>& uvs = {},
                       int32_t textureIndex = 0);
  // A flat square of 2 * half on the XZ plane at height y, two faces, uv 0..1.
  SceneObject* AddSquare(const char* name, float half, float y, int32_t textureIndex = 0);
  // A camera with eye and target tracks (the first key of each is the resting value),
  // listed among the scene's cameras. Cursors as the loader leaves them.
  SceneObject* AddCamera(const char* name, const std::vector<Key>& eyeKeys,
                         const std::vector<Key>& targetKeys);
  // A texture the meshes can name; returns its index.
  int32_t AddTexture(const char* name, uint32_t texture);
  // The frame range AnimateScene maps the timer onto.
  void SetFrames(int32_t start, int32_t end);
  // Hands the scene over; the builder forgets it.
  Scene3ds* Take();

 private:
  SceneObject* NewNode();
};
