// tools/bake/scenes/balls.cpp - the two ball shapes: maps/ball.3ds (the swelling balls and
// the bath's blobs) and maps/ball2.3ds (the palace's orb, whose points also aim the bath's
// strands).
//
// The show takes the first node of each file as the shape and deforms it every frame,
// reading only its vertices and faces; it draws them with pictures of its own choosing, so
// each file's material names the picture the show paints on that ball first (one already in
// the archive). Neither file is animated, so neither needs a camera.
#include "tools/bake/scenes/scene_build.h"
#include "tools/bake/scenes/scenes3d.h"

namespace {

// A sphere at the origin. The seam and pole rows of the uv sphere repeat positions, which
// the deformations move identically, so the surface stays closed.
BakeScene BallScene(const char* name, const char* material, float radius, int rings, int segments) {
  BakeScene scene;
  BakeMesh m;
  m.name = name;
  m.material = material;
  AddSphere(m, {0, 0, 0}, radius, rings, segments);
  scene.meshes.push_back(std::move(m));
  scene.frameCount = 1;
  return scene;
}

// ball: radius 1.3, 416 faces; ball2: radius 25, 1025 vertices.
BakeScene SmallBallScene() { return BallScene("ball", "text/sball.jpg", 1.3f, 14, 16); }
BakeScene OrbScene() { return BallScene("orb", "text/meta.jpg", 25.0f, 24, 40); }

}  // namespace

bool BakeBalls(BakeOutput& out, std::string* error) {
  const std::pair<const char*, BakeScene> files[] = {{"maps/ball.3ds", SmallBallScene()},
                                                      {"maps/ball2.3ds", OrbScene()}};
  for (const auto& [path, scene] : files) {
    std::vector<uint8_t> bytes;
    if (!Write3ds(scene, &bytes, error)) {
      if (error) *error = std::string(path) + ": " + *error;
      return false;
    }
    AddMember(out, path, std::move(bytes));
  }
  return true;
}
