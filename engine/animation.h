// engine/animation.h - keyframe animation of a scene's cameras and objects.
//
// Owns: bringing a loaded scene to the moment of its DemoTimer once per frame: the frame
// number (currentFrame) over the scene's frame range, the camera in use (currentCamera,
// which only ever moves on), the camera's eye and target on Catmull-Rom splines through
// its keys with its pitch and yaw derived from them, and the positions and rotations of
// every mesh and light on chains of cubic Bezier segments (keys 0, 3, 6, ... on the path,
// the two keys between them control points), with cursors that only move forward.
//
// Tracks the curves cannot use are held rather than read past: a camera track with fewer
// than four keys keeps its first key, an object track with fewer than four keys keeps the
// pose the loader gave it, two keys on the same frame never divide by zero.
//
// Reads and writes: the fields of engine/scene.h. Called by: every 3D scene's loop, once
// per frame after the frame is cleared and before anything reads cameras or transforms.
// Leaves the scene's cursor rewound.
#pragma once

#include "engine/scene.h"
#include "timeline/demo_timer.h"

void AnimateScene(Scene3ds* scene, const DemoTimer& timer);

// 0.5 (2 p1 + (p2 - p0) t + (2 p0 - 5 p1 + 4 p2 - p3) t^2 + (3 p1 - p0 - 3 p2 + p3) t^3).
Vec3 CatmullRomPoint(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, double t);
// (1 - u)^3 p0 + 3 u (1 - u)^2 p1 + 3 u^2 (1 - u) p2 + u^3 p3.
Vec3 BezierPoint(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, float u);

// The viewing angles of a camera at `eye` looking at `target`, in degrees: pitch about X,
// yaw about Y. When the eye is straight above or below the target the yaw is undefined
// and `yaw` keeps the value it holds.
void CameraAngles(Vec3 eye, Vec3 target, float* pitch, float* yaw);
