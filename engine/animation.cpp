// engine/animation.cpp - frame mapping, camera switching and the two curve schemes.
#include "engine/animation.h"

#include <cmath>
#include <cstdint>

namespace {

// Radians to degrees with the show's 3.1415; its cameras were framed with it.
const double DegreesPerRadian = 180.0 / 3.1415;

// The fraction of the interval [from, to] reached at `frame`. An empty interval (two keys
// on one frame) counts as reached once the frame is at its end, instead of dividing by 0.
double Fraction(double frame, uint16_t from, uint16_t to) {
  int span = static_cast<int>(to) - static_cast<int>(from);
  if (span == 0) return frame >= to ? 1.0 : 0.0;
  return (frame - from) / span;
}

// One camera track (the eye's or the target's): the Catmull-Rom segment whose start key
// is the last one at or before the frame. Fewer than four keys cannot form a segment; such
// a track holds its first key (or the camera chunk's point when it has none).
void EvaluateCameraTrack(uint32_t count, const uint16_t* frames, const Vec3* values,
                         int32_t* cursor, double frame, Vec3* out) {
  if (count < 4) {
    if (count >= 1) *out = values[0];
    return;
  }
  const int64_t n = count;
  int64_t k = 1;
  while (k + 2 < n - 1 && frames[k + 1] <= frame) ++k;
  *cursor = static_cast<int32_t>(k);
  double u = Fraction(frame, frames[k], frames[k + 1]);
  *out = CatmullRomPoint(values[k - 1], values[k], values[k + 1], values[k + 2], u);
}

// One object track: chains of Bezier segments, keys c - 3 .. c, with a cursor c that only
// moves forward. Returns false when the track is not evaluated this frame (a single key,
// no complete segment, or the frame at or past the last key).
bool EvaluateObjectTrack(uint32_t count, const uint16_t* frames, const Vec3* values,
                         int32_t* cursor, double frame, Vec3* out) {
  if (count <= 1 || !(frames[count - 1] > frame)) return false;
  if (count < 4) return false;
  const int64_t n = count;
  int64_t c = *cursor;
  // The loader leaves the cursor at 3; anything else is brought back onto a segment end.
  if (c < 3) c = 3;
  if (c > n - 1) c = 3 + (n - 4) / 3 * 3;
  while (c + 3 <= n - 1 && frames[c] <= frame) c += 3;
  *cursor = static_cast<int32_t>(c);
  float u;
  int span = static_cast<int>(frames[c]) - static_cast<int>(frames[c - 3]);
  if (span == 0) {
    u = frame >= frames[c] ? 1.0f : 0.0f;
  } else {
    u = static_cast<float>(frame - frames[c - 3]) / static_cast<float>(span);
  }
  *out = BezierPoint(values[c - 3], values[c - 2], values[c - 1], values[c], u);
  return true;
}

// Moves currentCamera on while the camera in use has reached the end of its last segment.
// A camera whose track is too short for the search switches once the frame reaches its
// last key.
void SwitchCamera(Scene3ds* scene) {
  if (scene->currentCamera < 0) scene->currentCamera = 0;
  if (scene->currentCamera > scene->cameraCount - 1) scene->currentCamera = scene->cameraCount - 1;
  while (scene->currentCamera < scene->cameraCount - 1) {
    const SceneObject* cam = scene->cameras[scene->currentCamera];
    const int64_t k = cam->posCursor;
    const int64_t n = cam->posKeyCount;
    if (!(k + 2 >= n - 1)) break;
    if (n > 0) {
      int64_t next = k + 1;
      if (next > n - 1) next = n - 1;
      if (next < 0) next = 0;
      if (!(cam->posFrames[next] <= scene->currentFrame)) break;
    }
    ++scene->currentCamera;
  }
}

}  // namespace

Vec3 CatmullRomPoint(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, double t) {
  double t2 = t * t;
  double t3 = t2 * t;
  auto component = [&](double a, double b, double c, double d) {
    return static_cast<float>(0.5 * (2.0 * b + (c - a) * t + (2.0 * a - 5.0 * b + 4.0 * c - d) * t2 +
                                     (3.0 * b - a - 3.0 * c + d) * t3));
  };
  return Vec3{component(p0.x, p1.x, p2.x, p3.x), component(p0.y, p1.y, p2.y, p3.y),
              component(p0.z, p1.z, p2.z, p3.z)};
}

Vec3 BezierPoint(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, float u) {
  float v = 1.0f - u;
  float b0 = v * v * v;
  float b1 = 3.0f * u * v * v;
  float b2 = 3.0f * u * u * v;
  float b3 = u * u * u;
  return Vec3{b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x,
              b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y,
              b0 * p0.z + b1 * p1.z + b2 * p2.z + b3 * p3.z};
}

void CameraAngles(Vec3 eye, Vec3 target, float* pitch, float* yaw) {
  double dx = static_cast<double>(eye.x) - target.x;
  double dy = static_cast<double>(eye.y) - target.y;
  double dz = static_cast<double>(eye.z) - target.z;
  double len = std::sqrt(dx * dx + dy * dy + dz * dz);
  if (len != 0.0) {
    dx /= len;
    dy /= len;
    dz /= len;
  }
  double h = std::sqrt(dx * dx + dz * dz);
  if (h != 0.0 && std::isfinite(h)) {
    double cosine = dz / h;
    if (cosine > 1.0) cosine = 1.0;
    if (cosine < -1.0) cosine = -1.0;
    double y = std::acos(cosine) * DegreesPerRadian;
    *yaw = static_cast<float>(dx >= 0 ? -y : y);
  }
  // Rounding may leave h a hair above 1; acos would then give NaN.
  double hc = h > 1.0 ? 1.0 : h;
  double p = std::acos(hc) * DegreesPerRadian;
  if (len == 0.0) p = 0.0;  // eye on the target: level, as for a zero direction
  if (std::isfinite(p)) *pitch = static_cast<float>(dy < 0 ? -p : p);
}

void AnimateScene(Scene3ds* scene, const DemoTimer& timer) {
  if (!scene) return;
  // A zero duration is a stage that is already over.
  double ratio = timer.duration > 0.0f ? static_cast<double>(timer.elapsed) / timer.duration : 1.0;
  if (!std::isfinite(ratio)) ratio = 1.0;
  double frame = scene->startFrame + static_cast<double>(scene->endFrame - scene->startFrame) * ratio;
  if (std::trunc(frame) > static_cast<double>(scene->endFrame) - 1.0) frame = scene->endFrame - 1.0;
  scene->currentFrame = frame;

  if (scene->cameraCount > 0) {
    SwitchCamera(scene);
    SceneObject* cam = scene->cameras[scene->currentCamera];
    EvaluateCameraTrack(cam->posKeyCount, cam->posFrames, cam->posValues, &cam->posCursor, frame,
                        &cam->camera.eye);
    EvaluateCameraTrack(cam->rotKeyCount, cam->rotFrames, cam->rotValues, &cam->rotCursor, frame,
                        &cam->camera.target);
    CameraAngles(cam->camera.eye, cam->camera.target, &cam->rotation.x, &cam->rotation.y);
  }

  scene->Rewind();
  for (uint32_t i = 0; i < scene->objectCount; ++i) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindMesh || node->kind == KindLight) {
      Vec3 value;
      if (EvaluateObjectTrack(node->posKeyCount, node->posFrames, node->posValues,
                              &node->posCursor, frame, &value)) {
        node->position = value;
        if (node->kind == KindLight) node->light.position = value;
      }
      if (EvaluateObjectTrack(node->rotKeyCount, node->rotFrames, node->rotValues,
                              &node->rotCursor, frame, &value)) {
        node->rotation = Vec3{-value.x, -value.y, -value.z};
      }
    }
    scene->Advance();
  }
  scene->Rewind();
}
