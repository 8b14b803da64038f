// timeline/demo_sequence.cpp - the running order and the release.
#include "timeline/demo_sequence.h"

#include "assets/manifest.h"
#include "effects/particles.h"
#include "engine/models.h"
#include "engine/scene_grid.h"
#include "scenes/scenes.h"
#include "timeline/music.h"

namespace {
// Channel 0's volume for the second track, out of 255.
const int SecondTrackVolume = 140;

template <typename T>
void Destroy(T*& object) {
  delete object;
  object = nullptr;
}

template <typename T>
void Free(T*& array) {
  delete[] array;
  array = nullptr;
}
}  // namespace

void RunDemo() {
  LoadAssets();
  RunNightFlight();
  RunJungleFlight();
  RunSwellingBalls();
  RunTunnel();
  RunStreamers();
  RunPalace();
  RunBathScene();
  RunComputerRoom();
  StopMusic();
  PlayMusic("vellumar2.mp3");
  SetVolume(0, SecondTrackVolume);
  RunScrollingPage();
  RunWaterCredits();
  ReleaseAssets();
}

void ReleaseAssets() {
  Destroy(PlaneScene);
  Destroy(SmokeParticles);
  Destroy(FireParticles);
  Destroy(BallScene);
  Free(BallPoints);
  BallPointCount = 0;
  Destroy(Ball2Scene);
  Free(Ball2Points);
  Free(Ball2Values);
  Ball2PointCount = 0;
  Destroy(JungleScene);
  // The grid holds the model but does not own it; it must not point at freed memory.
  if (JungleGrid) JungleGrid->model = nullptr;
  Destroy(RaptorModel);
  Destroy(JungleGrid);
  Destroy(TunnelScene);
  Destroy(TunnelGrid);
  Destroy(PalaceScene);
  Destroy(PalaceGrid);
  Destroy(BathScene);
  Destroy(GirlModel);
  Free(SmallPointSet);
  Free(LargePointSet);
  Destroy(SparkParticles);
  Destroy(ComputerScene);
  Destroy(ComputerGrid);
  StopMusic();
}
