// fuzz/fuzz_models.cpp - libFuzzer target: both animated-model readers on arbitrary bytes,
// then what a scene does with a model each frame: the frame choice, one interpolation and
// one draw (into a headless GL context).
#include <cstddef>
#include <cstdint>

#include "engine/models.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzQuiet(true);
  for (bool mirrored : {false, true}) {
    AnimatedModel model;
    if (model.ParseModel(data, size, mirrored)) {
      model.framesPerSecond = 14.0f;
      int32_t a, b;
      float t;
      if (ChooseFrames(model, 3.7f, &a, &b, &t)) model.InterpolateFrames(a, b, t);
      model.DrawModel(0);
    }
    model.ReleaseModel();
  }
  return 0;
}
