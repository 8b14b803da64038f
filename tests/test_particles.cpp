// Particle systems: emission clock, pool bounds, expiry, and the two sprite styles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/settings.h"
#include "effects/particles.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

struct VirtualClock {
  explicit VirtualClock(double ms) {
    PlatformUseVirtualClock(true);
    PlatformSetVirtualTime(ms);
  }
  ~VirtualClock() { PlatformUseVirtualClock(false); }
  void Set(double ms) { PlatformSetVirtualTime(ms); }
  void Advance(double ms) { PlatformAdvanceVirtualTime(ms); }
};

}  // namespace

TEST(Particles, FirstUpdateOnlyStartsTheClockThenAtMostOnePerUpdate) {
  VirtualClock clock(1000);
  ParticleSystem system(100, nullptr, 50.0f, 10, 1.0f, 1.0f);
  system.emitterPosition = {1, 2, 3};
  system.Update(true);
  EXPECT_EQ(system.count, 0);
  EXPECT_FLOAT_EQ(system.lastEmission, 1.0f);

  // Half a particle due at 10 per second: nothing yet, and the clock does not move.
  clock.Advance(50);
  system.Update(true);
  EXPECT_EQ(system.count, 0);
  EXPECT_FLOAT_EQ(system.lastEmission, 1.0f);

  // Ten due after a long pause: still one, born at the emitter point now.
  clock.Set(2000);
  system.Update(true);
  ASSERT_EQ(system.count, 1);
  EXPECT_FLOAT_EQ(system.particles[0].birth, 2.0f);
  EXPECT_FLOAT_EQ(system.particles[0].death, 52.0f);
  EXPECT_FLOAT_EQ(system.particles[0].position.y, 2.0f);
  EXPECT_FLOAT_EQ(system.lastEmission, 2.0f);

  // Without emission nothing is born however much is due.
  clock.Set(5000);
  system.Update(false);
  EXPECT_EQ(system.count, 1);

  // At 10 per second and 30 ms frames, every fourth frame emits.
  clock.Set(10000);
  system.Update(true);
  int before = system.count;
  int emitted = 0;
  for (int frame = 0; frame < 40; frame++) {
    clock.Advance(30);
    int was = system.count;
    system.Update(true);
    emitted += system.count - was;
    EXPECT_LE(system.count - was, 1);
  }
  EXPECT_EQ(before, 2);
  EXPECT_EQ(emitted, 10);
}

TEST(Particles, FullPoolNeverHoldsCapacityAndWaitsForADeath) {
  VirtualClock clock(1000);
  ParticleSystem system(4, nullptr, 1.0f, 1000, 1.0f, 1.0f);
  system.Update(true);
  for (int frame = 0; frame < 20; frame++) {
    clock.Advance(10);
    system.Update(true);
    EXPECT_LT(system.count, system.capacity);
  }
  EXPECT_EQ(system.count, 3);
  float last = system.lastEmission;
  EXPECT_FLOAT_EQ(last, 1.03f);
  // The first dies 1 s after birth (1.01). Emission comes before expiry, so the update
  // that frees the room does not use it; the next one does.
  clock.Set(2009);
  system.Update(true);
  EXPECT_EQ(system.count, 3);
  EXPECT_FLOAT_EQ(system.lastEmission, last);
  clock.Set(2010);
  system.Update(true);
  EXPECT_EQ(system.count, 2);
  EXPECT_FLOAT_EQ(system.lastEmission, last);
  clock.Set(2020);
  system.Update(true);  // one born at 2.02, the one born at 1.02 dies
  ASSERT_EQ(system.count, 2);
  EXPECT_FLOAT_EQ(system.particles[0].birth, 1.03f);
  EXPECT_FLOAT_EQ(system.particles[1].birth, 2.02f);
}

TEST(Particles, ParticleDiesWhenDeathEqualsNowAndRemovalKeepsOrder) {
  VirtualClock clock(1000);
  ParticleSystem system(10, nullptr, 2.0f, 1000, 1.0f, 1.0f);
  system.Update(true);
  clock.Set(2000);
  system.Update(true);  // born 2.0, dies 4.0
  clock.Set(3000);
  system.Update(true);  // born 3.0, dies 5.0
  ASSERT_EQ(system.count, 2);
  clock.Set(3999);
  system.Update(false);
  EXPECT_EQ(system.count, 2);
  clock.Set(4000);
  ASSERT_EQ(system.particles[0].death, ParticleTime());
  system.Update(false);
  ASSERT_EQ(system.count, 1);
  EXPECT_FLOAT_EQ(system.particles[0].birth, 3.0f);

  // Removal from the middle shifts the later ones down in order; bad indices do nothing.
  for (int i = 0; i < 4; i++) {
    clock.Advance(100);
    system.Update(true);
  }
  ASSERT_EQ(system.count, 5);
  float third = system.particles[3].birth, fourth = system.particles[4].birth;
  system.RemoveParticle(2);
  ASSERT_EQ(system.count, 4);
  EXPECT_FLOAT_EQ(system.particles[2].birth, third);
  EXPECT_FLOAT_EQ(system.particles[3].birth, fourth);
  system.RemoveParticle(-1);
  system.RemoveParticle(4);
  EXPECT_EQ(system.count, 4);

  // Every expired particle goes in one update, including runs of neighbours.
  clock.Advance(100000);
  system.Update(false);
  EXPECT_EQ(system.count, 0);
}

TEST(Particles, LifeFractionAndDegenerateSystems) {
  Particle p;
  p.birth = 10;
  p.death = 14;
  EXPECT_FLOAT_EQ(LifeFraction(p, 10), 1.0f);
  EXPECT_FLOAT_EQ(LifeFraction(p, 12), 0.5f);
  EXPECT_FLOAT_EQ(LifeFraction(p, 14), 0.0f);
  p.death = 10;
  EXPECT_EQ(LifeFraction(p, 10), 0.0f);

  VirtualClock clock(1000);
  for (int capacity : {-5, 0, 1}) {
    ParticleSystem system(capacity, nullptr, 1.0f, 100, 1.0f, 1.0f);
    system.Update(true);
    clock.Advance(500);
    system.Update(true);
    EXPECT_EQ(system.count, 0) << capacity;
  }
  ParticleSystem released(10, nullptr, 1.0f, 100, 1.0f, 1.0f);
  released.Update(true);
  released.Release();
  clock.Advance(500);
  released.Update(true);  // nothing to emit into after release
  EXPECT_EQ(released.count, 0);
}

class ParticleDrawing : public HeadlessGL {
 protected:
  static Rgb Grey(int, int) { return Rgb{128, 128, 128}; }
  static Rgb WhiteTexel(int, int) { return Rgb{255, 255, 255}; }
  // White all round a dark, shaded block over texels x 20..39, y 24..35.
  static Rgb Blotch(int x, int y) {
    if (x < 20 || x > 39 || y < 24 || y > 35) return Rgb{255, 255, 255};
    return Rgb{40 + 5 * (x - 20), 60 + 10 * (y - 24), 200 - 4 * (x - 20)};
  }
};

TEST_F(ParticleDrawing, MultipliedSpritesCoverOnlyTheTextureCoreAndLookTheSame) {
  VirtualClock clock(1000);
  ParticleDepthMask = false;
  ParticleSystem smoke(10, nullptr, 4.0f, 100, 6.0f, 0.0f);
  smoke.texture = MakeTexture(64, 64, Blotch);
  FindTextureCore(smoke.texture, smoke.core);
  // One texel of margin round the block, which is all this texture's first level holds.
  EXPECT_FLOAT_EQ(smoke.core[0], 19 / 64.0f);
  EXPECT_FLOAT_EQ(smoke.core[1], 23 / 64.0f);
  EXPECT_FLOAT_EQ(smoke.core[2], 41 / 64.0f);
  EXPECT_FLOAT_EQ(smoke.core[3], 37 / 64.0f);

  smoke.emitterPosition = {1, -0.5f, -20};
  smoke.cameraAngles = {10, 25, 5};  // a turned camera: the core must turn with the sprite
  smoke.Update(true);
  clock.Advance(100);
  smoke.Update(true);
  ASSERT_EQ(smoke.count, 1);
  auto draw = [&]() {
    glClearColor(0.8f, 0.6f, 0.9f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    smoke.DrawDirected(0, 0, 1);
    return Frame();
  };
  std::vector<uint8_t> trimmed = draw();
  const float whole[4] = {0, 0, 1, 1};
  std::copy(whole, whole + 4, smoke.core);
  std::vector<uint8_t> full = draw();
  ASSERT_EQ(trimmed.size(), full.size());
  size_t differing = 0, darkened = 0;
  for (size_t i = 0; i < full.size(); i++) {
    if (std::abs((int)full[i] - (int)trimmed[i]) > 1) differing++;
  }
  for (size_t i = 0; i < full.size(); i += 4) {
    if (full[i + 1] < 140) darkened++;
  }
  EXPECT_EQ(differing, 0u);
  EXPECT_GT(darkened, 1000u);  // the block is on screen, so the comparison means something

  // An all-white texture keeps the whole quad.
  float core[4] = {0, 0, 1, 1};
  uint32_t white = MakeTexture(16, 16, WhiteTexel);
  FindTextureCore(white, core);
  EXPECT_EQ(core[0], 0.0f);
  EXPECT_EQ(core[3], 1.0f);
  glClearColor(0, 0, 0, 0);
}

TEST_F(ParticleDrawing, DirectedSmokeDarkensAndTravelsAgainstANegativeSpeed) {
  VirtualClock clock(1000);
  ParticleDepthMask = false;
  ParticleSystem smoke(10, nullptr, 4.0f, 100, 1.0f, -8.0f);
  smoke.texture = MakeTexture(4, 4, Grey);
  smoke.emitterPosition = {0, 0, -20};
  smoke.Update(true);
  clock.Advance(100);
  smoke.Update(true);
  ASSERT_EQ(smoke.count, 1);
  clock.Advance(2000);  // half its life: d = -8 + 8 x 0.5 = -4 along +X, so 4 units left

  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  smoke.DrawDirected(1, 0, 0);
  // 4 units left at distance 20 with a 45-degree field of view: about 205 pixels left.
  int centreX = 512 - (int)(4.0 / (20 * 0.41421356) * 384 + 0.5);
  Rgb inside = Pixel(centreX, 384);
  EXPECT_NEAR(inside.r, 128, 3);  // white frame times grey texture
  EXPECT_EQ(Pixel(512 + 205, 384).r, 255);
  EXPECT_EQ(Pixel(512, 384).r, 255);
  // State afterwards: blending off, depth test back on, colour white.
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  glClearColor(0, 0, 0, 0);
}

TEST_F(ParticleDrawing, RisingSparksAddFadeAndShrink) {
  VirtualClock clock(1000);
  ParticleDepthMask = true;
  ParticleSystem sparks(10, nullptr, 4.0f, 100, 2.0f, 4.0f);
  sparks.texture = MakeTexture(4, 4, WhiteTexel);
  sparks.emitterPosition = {0, 0, -20};
  sparks.Update(true);
  clock.Advance(100);
  sparks.Update(true);
  ASSERT_EQ(sparks.count, 1);

  auto draw = [&]() {
    glClearColor(0.25f, 0.25f, 0.25f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    sparks.DrawRising();
  };
  // At birth: full size (half edge 2) at the emitter, full white added to grey.
  draw();
  EXPECT_EQ(Pixel(512, 384).r, 255);
  EXPECT_EQ(Pixel(512 + 60, 384).r, 255);   // 2 units at distance 20 is ~93 pixels
  EXPECT_NEAR(Pixel(512 + 120, 384).r, 64, 1);
  // A quarter life left: risen by 3 units, half edge 0.5, a quarter of white added.
  clock.Advance(3000);
  draw();
  int risenY = 384 - (int)(3.0 / (20 * 0.41421356) * 384 + 0.5);
  EXPECT_NEAR(Pixel(512, risenY).r, 64 + 64, 3);
  EXPECT_NEAR(Pixel(512, 384).r, 64, 1);
  EXPECT_NEAR(Pixel(512 + 40, risenY).r, 64, 1);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLboolean mask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  EXPECT_TRUE(mask);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  glClearColor(0, 0, 0, 0);
  ParticleDepthMask = false;
}
