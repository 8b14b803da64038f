// timeline/demo_sequence.cpp - the running order. Until the scenes exist the show is a
// single stand-in stage: two generated pictures shown with the frame services (fade in,
// flash, tile scatter, fade out) in a real scene loop.
#include "timeline/demo_sequence.h"

#include <cmath>
#include <vector>

#include "app/gl.h"
#include "assets/texture_table.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

namespace {
const float StageLength = 12.0f;

// A picture of soft interfering rings in the given hues; pure function of its inputs.
uint32_t MakePicture(float hueShift, float rings) {
  const int size = 256;
  std::vector<uint8_t> pixels((size_t)size * size * 3);
  for (int y = 0; y < size; y++) {
    for (int x = 0; x < size; x++) {
      float u = x / (float)size - 0.5f, v = y / (float)size - 0.5f;
      float a = sinf(sqrtf(u * u + v * v) * rings) + sinf((u + 0.3f) * 9.0f) * 0.5f +
                sinf((v * 0.7f - u * 0.4f) * 13.0f) * 0.5f;
      float vignette = 1.0f - fminf(1.0f, (u * u + v * v) * 2.2f);
      uint8_t* p = &pixels[((size_t)y * size + x) * 3];
      for (int c = 0; c < 3; c++) {
        float w = 0.5f + 0.5f * sinf(a * 1.7f + hueShift + c * 2.094f);
        p[c] = (uint8_t)(255 * w * (0.25f + 0.75f * vignette));
      }
    }
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  return name;
}

void DrawStage(const DemoTimer& timer) {
  float t = timer.elapsed;
  if (t < 5.0f) {
    DrawPicture(0, 1.0f);
    FadeToBlack(1.0f - fminf(t / 2.0f, 1.0f));
  } else if (t < 9.0f) {
    // The second picture flies in over the first, tile by tile.
    DrawPicture(0, 1.0f);
    float phase = fminf((t - 5.0f) / 3.0f, 1.0f);
    TileScatter(1, (1.0f - phase) * 90.0f, 8, phase);
  } else {
    DrawPicture(1, 1.0f);
    FadeToBlack(fminf((t - 10.0f) / 2.0f, 1.0f));
  }
  // A white flash on each change of picture, dying away in half a second.
  for (float at : {5.0f, 9.0f}) {
    float since = t - at;
    if (since >= 0 && since < 0.5f) AddFlash(1.0f - since * 2.0f);
  }
}
}  // namespace

float StandInStageLength() { return StageLength; }

void RunStandInStage() {
  TextureTable[0] = MakePicture(0.0f, 40.0f);
  TextureTable[1] = MakePicture(2.5f, 25.0f);
  RunSceneLoop(StageLength, DrawStage);
  glDeleteTextures(2, (const GLuint*)TextureTable);
  TextureTable[0] = TextureTable[1] = 0;
}

void RunDemo() { RunStandInStage(); }
