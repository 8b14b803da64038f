// scenes/scene_steps.h - the frames of the jungle flight, the swelling balls, the tunnel
// and the streamers, and the computations they share.
//
// Owns: each scene's frame (what its loop draws between ClearFrame and EndFrame), the
// trail recurrence of the tunnel and the streamers (one step of every trail,
// its head pinned to the head point), the random trail offsets, the ball group's slide,
// the ball centres and the swelling of a ball near the others, and the brightness and
// amplitude curves of the trails and streamers. Apart from the frames, all of it is pure
// but the offsets, which draw from the C library's rand like every random number of the
// show.
// Reads: the frames read what their scenes read; the rest nothing global.
// Called by: scenes/jungle_flight.cpp, scenes/swelling_balls.cpp, scenes/tunnel.cpp,
// scenes/streamers.cpp, and their tests.
#pragma once

#include "engine/scene.h"
#include "timeline/demo_timer.h"

// One frame of each scene at the timer's elapsed time, as its loop draws it. The scene's
// set-up (its Run function) is assumed to have run; the tunnel's and the streamers' frames
// also step their trails once.
void DrawJungleFrame(const DemoTimer& timer);
void DrawBallsFrame(const DemoTimer& timer);
void DrawTunnelFrame(const DemoTimer& timer);
void DrawStreamersFrame(const DemoTimer& timer);

constexpr int TrailPoints = 150;  // points per trail; trail i starts at entry i x TrailPoints

// Offsets i := ((rand() % 200 - 100) / 1000, ...), drawn x, y, z: each in [-0.1, 0.099].
void DrawTrailOffsets(Vec3* offsets, int count);

// One step of `count` trails: point 0 of each goes to (headX, headY, -2); then, from the
// last point down to point 1 (so each point reads its predecessor's value of the previous
// step), p(j) := (2 p(j - 1) + p(j)) / 2.9 + weight x offset, plus `drift` on z.
void StepTrails(Vec3* points, const Vec3* offsets, int count, float weight, float headX,
                float headY, float drift);

// Swelling balls: the group's screen offset at t (slides in over the first second, out
// from t = 5), the seven centres at t, and the swelling e of a vertex q of ball i: the
// sum over the other balls k of 1 / |q + Ci - Ck|^2, times 4, at most 1.
enum { BallCount = 7 };
void BallGroupOffset(float t, float* x, float* y);
void BallCentres(float t, Vec3 centres[BallCount]);
float BallSwelling(Vec3 q, int ball, const Vec3 centres[BallCount]);

// Brightness of the tunnel's trails: 0 before t = 3, rising to 1 at t = 5.
float TrailBrightness(float t);
// Streamers: brightness rises over 5 s and falls over the last 2; the head's amplitude
// closes in over 2 s and opens from t = 9.
float StreamerBrightness(float t);
float StreamerAmplitude(float t);
