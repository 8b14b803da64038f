// fuzz/fuzz_scene_loader.cpp - libFuzzer target: the 3DS loader on arbitrary bytes, and
// everything the show does next with what it loaded: the emitters, the grid, one frame of
// animation and the visible cells, so that loaded values (counts, frames, coordinates)
// are exercised and not only read.
#include <cstddef>
#include <cstdint>

#include "engine/animation.h"
#include "engine/scene.h"
#include "engine/scene_grid.h"
#include "engine/scene_loader.h"
#include "fuzz/fuzz_quiet.h"
#include "timeline/demo_timer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzQuiet(false);
  Scene3ds* scene = new Scene3ds();
  if (LoadSceneFromMemory(scene, data, size)) {
    AttachEmitters(scene, 50, 1.0f, 1, 1.0f, 1.0f);
    SceneGrid* grid = new SceneGrid(scene);
    if (scene->cameraCount > 0) {
      DemoTimer timer(10.0f);
      // The middle of the scene and past its end, where the frame is held.
      for (float at : {5.0f, 12.0f}) {
        timer.elapsed = at;
        AnimateScene(scene, timer);
        grid->UpdateVisibleCells();
      }
    }
    delete grid;
  }
  ReleaseScene(scene);
  return 0;
}
