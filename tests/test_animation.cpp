// Keyframe animation: the two curves, the frame mapping, the camera switch and angles,
// and object tracks with their forward-only cursors, on scenes built in memory.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "engine/animation.h"
#include "engine/scene.h"

namespace {

const double Degrees = 180.0 / 3.1415;

void SetTrack(uint32_t* count, uint16_t** frames, Vec3** values,
              std::initializer_list<uint16_t> keyFrames, std::vector<Vec3> keyValues = {}) {
  *count = static_cast<uint32_t>(keyFrames.size());
  *frames = new uint16_t[keyFrames.size()];
  *values = new Vec3[keyFrames.size()];
  uint32_t i = 0;
  for (uint16_t f : keyFrames) {
    (*frames)[i] = f;
    (*values)[i] = i < keyValues.size() ? keyValues[i] : Vec3{float(f), 0, 0};
    ++i;
  }
}

// A scene whose nodes are `count` fresh nodes after the scene's own.
struct Built {
  Scene3ds* scene = new Scene3ds();
  std::vector<SceneObject*> nodes;

  explicit Built(int count) {
    nodes.push_back(scene);
    for (int i = 1; i < count; ++i) {
      SceneObject* node = new SceneObject();
      node->prev = nodes.back();
      nodes.back()->next = node;
      nodes.push_back(node);
    }
    scene->objectCount = static_cast<uint16_t>(count);
    scene->cursor = scene;
  }
  ~Built() { ReleaseScene(scene); }
  SceneObject* AddCamera(int index, std::initializer_list<uint16_t> frames) {
    SceneObject* cam = nodes[index];
    cam->kind = KindCamera;
    SetTrack(&cam->posKeyCount, &cam->posFrames, &cam->posValues, frames);
    std::vector<Vec3> targets;  // straight ahead of the eye, along -Z
    for (uint16_t f : frames) targets.push_back(Vec3{float(f), 0, -100});
    SetTrack(&cam->rotKeyCount, &cam->rotFrames, &cam->rotValues, frames, targets);
    cam->posCursor = cam->rotCursor = 3;
    scene->cameras[scene->cameraCount++] = cam;
    return cam;
  }
};

DemoTimer At(float elapsed, float duration) {
  DemoTimer timer(duration);
  timer.elapsed = elapsed;
  return timer;
}

TEST(Animation, CurvesPassThroughTheirKeys) {
  Vec3 p0{0, 0, 0}, p1{1, 10, -1}, p2{4, 20, -4}, p3{9, 30, -9};
  Vec3 c = CatmullRomPoint(p0, p1, p2, p3, 0.0);
  EXPECT_FLOAT_EQ(c.x, 1.0f);
  c = CatmullRomPoint(p0, p1, p2, p3, 1.0);
  EXPECT_FLOAT_EQ(c.y, 20.0f);
  c = CatmullRomPoint(p0, p1, p2, p3, 0.5);
  EXPECT_FLOAT_EQ(c.x, 2.25f);  // squares: the spline reproduces the parabola
  EXPECT_FLOAT_EQ(c.y, 15.0f);  // evenly spaced keys: a straight line
  EXPECT_FLOAT_EQ(c.z, -2.25f);

  Vec3 b = BezierPoint(p0, Vec3{3, 0, 0}, Vec3{3, 0, 0}, Vec3{0, 8, 0}, 0.5f);
  EXPECT_FLOAT_EQ(b.x, 2.25f);
  EXPECT_FLOAT_EQ(b.y, 1.0f);
  b = BezierPoint(p0, p1, p2, p3, 0.0f);
  EXPECT_FLOAT_EQ(b.x, 0.0f);
  b = BezierPoint(p0, p1, p2, p3, 1.0f);
  EXPECT_FLOAT_EQ(b.x, 9.0f);
}

TEST(Animation, CameraAnglesLookDownMinusZFromPlusZ) {
  float pitch = 5, yaw = 5;
  CameraAngles(Vec3{0, 0, 10}, Vec3{0, 0, 0}, &pitch, &yaw);
  EXPECT_NEAR(pitch, 0.0f, 1e-5f);
  EXPECT_NEAR(yaw, 0.0f, 1e-5f);
  CameraAngles(Vec3{10, 0, 0}, Vec3{0, 0, 0}, &pitch, &yaw);
  EXPECT_NEAR(yaw, -std::acos(0.0) * Degrees, 1e-4);  // dx >= 0 negates
  CameraAngles(Vec3{-10, -10, 0}, Vec3{0, 0, 0}, &pitch, &yaw);
  EXPECT_NEAR(yaw, std::acos(0.0) * Degrees, 1e-4);
  EXPECT_NEAR(pitch, -std::acos(std::sqrt(0.5)) * Degrees, 1e-4);
  // Straight above: the yaw is undefined and keeps its value; the pitch is 90 degrees.
  yaw = 12;
  CameraAngles(Vec3{0, 10, 0}, Vec3{0, 0, 0}, &pitch, &yaw);
  EXPECT_EQ(yaw, 12.0f);
  EXPECT_NEAR(pitch, 90.0 * 3.14159265 / 3.1415, 1e-3);
  CameraAngles(Vec3{1, 1, 1}, Vec3{1, 1, 1}, &pitch, &yaw);
  EXPECT_TRUE(std::isfinite(pitch) && std::isfinite(yaw));
}

TEST(Animation, TimeMapsOntoTheFrameRangeAndHoldsBeforeItsEnd) {
  Built b(1);
  SceneObject* cam = b.AddCamera(0, {0, 10, 20, 30, 40});
  b.scene->startFrame = 10;
  b.scene->endFrame = 20;
  AnimateScene(b.scene, At(0, 10));
  EXPECT_EQ(b.scene->currentFrame, 10.0);
  EXPECT_EQ(cam->posCursor, 1);  // key 1 starts the segment
  EXPECT_FLOAT_EQ(cam->camera.eye.x, 10.0f);
  AnimateScene(b.scene, At(5, 10));
  EXPECT_DOUBLE_EQ(b.scene->currentFrame, 15.0);
  EXPECT_FLOAT_EQ(cam->camera.eye.x, 15.0f);
  AnimateScene(b.scene, At(10, 10));
  EXPECT_EQ(b.scene->currentFrame, 19.0);
  AnimateScene(b.scene, At(25, 10));
  EXPECT_EQ(b.scene->currentFrame, 19.0);
  AnimateScene(b.scene, At(3, 0));  // no duration: already at the end
  EXPECT_EQ(b.scene->currentFrame, 19.0);
  // The camera looks along -Z at a target straight ahead of it.
  EXPECT_NEAR(cam->rotation.y, 0.0f, 1e-3f);
  EXPECT_EQ(b.scene->cursor, static_cast<SceneObject*>(b.scene));
}

TEST(Animation, CamerasPlayInTurnAndTwoMaySwitchInOneFrame) {
  Built b(3);
  SceneObject* first = b.AddCamera(0, {0, 10, 20, 30, 40});
  b.AddCamera(1, {0, 1, 2, 3, 4});  // long over by the time it comes up
  SceneObject* third = b.AddCamera(2, {30, 40, 50, 60, 70, 80});
  b.scene->startFrame = 10;
  b.scene->endFrame = 70;
  AnimateScene(b.scene, At(0, 60));
  EXPECT_EQ(b.scene->currentCamera, 0);
  AnimateScene(b.scene, At(15, 60));  // frame 25: the first camera's last segment
  EXPECT_EQ(b.scene->currentCamera, 0);
  EXPECT_EQ(first->posCursor, 2);
  // Frame 30 reaches the segment's end key: the next frame moves on, past the second
  // camera (whose own cursor stands on its last segment, ended long ago) to the third.
  AnimateScene(b.scene, At(20, 60));
  EXPECT_EQ(b.scene->currentCamera, 2);
  EXPECT_FLOAT_EQ(third->camera.eye.x, 30.0f);
  AnimateScene(b.scene, At(60, 60));
  EXPECT_EQ(b.scene->currentCamera, 2);
  // Time running backwards never moves back to an earlier camera.
  AnimateScene(b.scene, At(0, 60));
  EXPECT_EQ(b.scene->currentCamera, 2);
}

TEST(Animation, ShortCameraTracksHoldTheirFirstKey) {
  Built b(2);
  SceneObject* cam = b.nodes[0];
  cam->kind = KindCamera;
  SetTrack(&cam->posKeyCount, &cam->posFrames, &cam->posValues, {0, 10}, {{1, 2, 3}, {9, 9, 9}});
  cam->camera.target = Vec3{1, 2, -7};
  cam->posCursor = cam->rotCursor = 3;
  b.scene->cameras[b.scene->cameraCount++] = cam;
  b.AddCamera(1, {0, 10, 20, 30});
  b.scene->startFrame = 0;
  b.scene->endFrame = 20;
  AnimateScene(b.scene, At(0, 1));
  EXPECT_EQ(b.scene->currentCamera, 0);
  EXPECT_FLOAT_EQ(cam->camera.eye.x, 1.0f);
  EXPECT_FLOAT_EQ(cam->camera.target.z, -7.0f);  // no target keys: the chunk's target
  // Once the frame reaches its last key, the held camera hands over.
  AnimateScene(b.scene, At(0.6f, 1));
  EXPECT_EQ(b.scene->currentCamera, 1);
  // Two keys on one frame: no division by zero.
  Built same(1);
  SceneObject* c = same.AddCamera(0, {0, 5, 5, 5, 9});
  same.scene->endFrame = 9;
  AnimateScene(same.scene, At(0.5f, 1));
  EXPECT_TRUE(std::isfinite(c->camera.eye.x));
}

TEST(Animation, ObjectsFollowBezierSegmentsAndStayWhereTheirLastSegmentLeftThem) {
  Built b(4);
  b.AddCamera(3, {0, 10, 20, 30, 40});
  b.scene->startFrame = 0;
  b.scene->endFrame = 40;
  SceneObject* mesh = b.nodes[0];
  mesh->kind = KindMesh;
  SetTrack(&mesh->posKeyCount, &mesh->posFrames, &mesh->posValues, {0, 5, 10, 20, 25, 30, 32},
           {{0, 0, 0}, {3, 0, 0}, {3, 0, 0}, {0, 8, 0}, {0, 9, 0}, {0, 9, 0}, {0, 10, 0}});
  SetTrack(&mesh->rotKeyCount, &mesh->rotFrames, &mesh->rotValues, {0, 1, 2, 20},
           {{0, 0, 0}, {0, 10, 0}, {0, 10, 0}, {0, 90, 0}});
  mesh->posCursor = mesh->rotCursor = 3;
  SceneObject* light = b.nodes[1];
  light->kind = KindLight;
  SetTrack(&light->posKeyCount, &light->posFrames, &light->posValues, {0, 10, 20, 30});
  light->posCursor = 3;
  SceneObject* still = b.nodes[2];
  still->kind = KindMesh;
  SetTrack(&still->posKeyCount, &still->posFrames, &still->posValues, {0}, {{7, 7, 7}});
  still->position = Vec3{7, 7, 7};
  still->posCursor = 3;

  AnimateScene(b.scene, At(10, 40));  // frame 10: halfway along the first segment
  EXPECT_FLOAT_EQ(mesh->position.x, 2.25f);
  EXPECT_FLOAT_EQ(mesh->position.y, 1.0f);
  EXPECT_EQ(mesh->posCursor, 3);
  EXPECT_FLOAT_EQ(mesh->rotation.y, -(90.0f * 0.125f + 10.0f * 0.375f + 10.0f * 0.375f));
  EXPECT_FLOAT_EQ(light->position.x, light->light.position.x);
  EXPECT_GT(light->position.x, 0.0f);
  EXPECT_FLOAT_EQ(still->position.x, 7.0f);  // a single key is never evaluated

  AnimateScene(b.scene, At(25, 40));  // frame 25: second segment
  EXPECT_EQ(mesh->posCursor, 6);
  float onSecond = mesh->position.y;
  EXPECT_GT(onSecond, 8.0f);
  // Frame 30, past the last key of the rotation track (20): rotation stays where the
  // frame-25 evaluation could not go, i.e. where frame 10 left it.
  EXPECT_FLOAT_EQ(mesh->rotation.y, -(90.0f * 0.125f + 10.0f * 0.375f + 10.0f * 0.375f));
  // Past the last position key: not snapped to it.
  AnimateScene(b.scene, At(36, 40));
  EXPECT_FLOAT_EQ(mesh->position.y, onSecond);
  // Back in time: the cursor only moves forward, the second segment is used.
  AnimateScene(b.scene, At(4, 40));
  EXPECT_EQ(mesh->posCursor, 6);
  EXPECT_EQ(b.scene->cursor, static_cast<SceneObject*>(b.scene));
}

TEST(Animation, IncompleteTracksAndEmptyScenesAreLeftAlone) {
  Built b(2);
  SceneObject* mesh = b.nodes[0];
  mesh->kind = KindMesh;
  // Two and three keys cannot form a Bezier segment: the loaded pose stays.
  SetTrack(&mesh->posKeyCount, &mesh->posFrames, &mesh->posValues, {0, 100});
  SetTrack(&mesh->rotKeyCount, &mesh->rotFrames, &mesh->rotValues, {0, 50, 100});
  mesh->posCursor = mesh->rotCursor = 3;
  mesh->position = Vec3{1, 2, 3};
  SceneObject* same = b.nodes[1];
  same->kind = KindMesh;
  SetTrack(&same->posKeyCount, &same->posFrames, &same->posValues, {0, 0, 0, 0, 50, 60, 100});
  same->posCursor = 3;
  b.scene->endFrame = 100;
  AnimateScene(b.scene, At(0.2f, 1));  // no camera at all
  EXPECT_FLOAT_EQ(mesh->position.x, 1.0f);
  EXPECT_FLOAT_EQ(mesh->rotation.x, 0.0f);
  EXPECT_TRUE(std::isfinite(same->position.x));
  AnimateScene(nullptr, At(0, 1));
}

}  // namespace
