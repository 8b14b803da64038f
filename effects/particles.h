// effects/particles.h - particle systems: pools of short-lived textured sprites.
//
// Owns: ParticleSystem, a dense pool of particles born at one emitter point, and its
// three drawing styles. A system runs on the system clock (the platform tick count in
// seconds, read afresh by every operation), never on a scene's DemoTimer: each particle
// carries its birth and death time, and everything about its look is a function of the
// fraction of its life that remains.
//
// Reads: the platform tick count, the render setting ParticleDepthMask, the sprite's JPEG
// file (through LoadTexture, once, at construction).
//
// A system does not know the scene's camera. Per frame the caller sets emitterPosition,
// calls Update(true), copies the current camera's eye and angles into cameraPosition and
// cameraAngles, then draws one or more times (moving cameraPosition between draws shows
// further copies of the same particles, shifted the opposite way).
//
// Called by: the asset manifest (the three global systems), the scene add-on step (one
// system per emitter mesh, owned and deleted by its scene), the scene renderer's emitter
// drawing, and the scenes that draw smoke, fire and sparks.
#pragma once

#include <cstdint>

#include "engine/scene.h"  // Vec3

struct Particle {
  Vec3 position;    // the emitter point at birth; never changes afterwards
  float birth = 0;  // system seconds
  float death = 0;  // system seconds; the particle is removed once death <= now
};

// The system clock of particles: tick count x 0.001, in single precision.
float ParticleTime();
// The fraction of a particle's life still ahead at `now`: 1 at birth, 0 at death. A
// particle with no lifetime (birth == death) counts as dead (0) rather than dividing by 0.
float LifeFraction(const Particle& particle, float now);

// Writes into core (s0, t0, s1, t1) the texture coordinates bounding the texels of
// `texture` that are not pure white, over its two largest levels and widened by a texel
// so that filtering at the edge reads only white; core is left as it was when the
// texture is all white or cannot be read. Binds the texture.
void FindTextureCore(uint32_t texture, float core[4]);

class ParticleSystem {
 public:
  // Allocates `capacity` particles (none for a capacity below 1) and loads textureFile
  // into `texture` (0 when the file cannot be read or is null). mode, the camera and the
  // emitter point are left for the caller.
  ParticleSystem(int32_t capacity, const char* textureFile, float lifetime, int32_t rate,
                 float size, float speed);
  ~ParticleSystem();
  ParticleSystem(const ParticleSystem&) = delete;
  ParticleSystem& operator=(const ParticleSystem&) = delete;

  // Emission and expiry. The first call after construction only starts the emission
  // clock; afterwards at most one particle is born per call, when at least one whole
  // particle is due at `rate` and the pool has room (count never reaches capacity).
  // Then every particle whose death has come is removed, oldest first.
  void Update(bool emit);
  // Removes particle `index`, shifting the later ones down so their order stays. An
  // index outside 0..count-1 changes nothing.
  void RemoveParticle(int32_t index);
  // Every live particle, moved along (dx, dy, dz) by speed x (1 - life fraction), as a
  // camera-facing sprite of full size that multiplies the frame (smoke darkens).
  void DrawDirected(float dx, float dy, float dz);
  // Every live particle, risen along +Y by speed x (1 - life fraction), added to the
  // frame, fading to black and shrinking to nothing as it dies.
  void DrawRising();
  // Frees the particles; count becomes 0. The texture stays on the card.
  void Release();

  Particle* particles = nullptr;  // capacity entries; live ones are 0..count-1, oldest first
  float lifetime = 0;             // seconds from birth to death
  float lastEmission = 0;         // system time of the last emission; 0 = never updated
  int32_t rate = 0;               // particles per second
  int32_t capacity = 0;           // entries of particles
  int32_t count = 0;              // live particles; never more than capacity - 1
  int32_t mode = 0;               // set by the add-on step: 1 rise, 2 shrink, 3 both
  float size = 0;                 // half edge of the sprite quad, scene units
  float speed = 0;                // distance over a whole life; negative travels backwards
  uint32_t texture = 0;           // GL texture name of the sprite
  // The part of the sprite texture that is not white, as texture coordinates (s0, t0,
  // s1, t1). A multiplied sprite leaves the frame as it was wherever its texture is
  // white, so DrawDirected covers only this part and saves the fill of the rest.
  float core[4] = {0, 0, 1, 1};
  Vec3 cameraPosition;            // eye of the camera to draw for
  Vec3 cameraAngles;              // pitch, yaw, roll of that camera, degrees
  Vec3 emitterPosition;           // where new particles are born
};
