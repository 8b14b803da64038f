// tools/render/pending_show.cpp - stand-ins for the parts of the show that are not in this
// tree yet: the scene table, the loading and the release. Every definition is weak, so
// the real ones replace these as soon as they are linked (the renderer links the whole
// show library for that reason). Each stand-in scene runs its full length in a real
// scene loop, showing a flat colour that brightens over the scene, so that scene
// selection, --from/--to and the capture can be exercised; the stand-in loading only
// starts the first track, as the real loading does at its end.
#include <string_view>

#include "app/gl.h"
#include "scenes/scenes.h"
#include "timeline/music.h"
#include "timeline/scene_loop.h"

void LoadAssets();
void ReleaseAssets();

namespace {
template <int Index>
void StandInScene() {
  float seconds = Scenes[Index].seconds;
  RunSceneLoop(seconds, [&](const DemoTimer& timer) {
    float level = 0.2f + 0.8f * timer.elapsed / seconds;
    glClearColor(level * ((Index + 1) & 1), level * (((Index + 1) >> 1) & 1),
                 level * (((Index + 1) >> 2) & 1), 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  });
  glClearColor(0, 0, 0, 0);
}
}  // namespace

__attribute__((weak)) extern const SceneEntry Scenes[SceneCount] = {
    {"night-flight", StandInScene<0>, 54.0f}, {"jungle", StandInScene<1>, 52.0f},
    {"balls", StandInScene<2>, 6.0f},         {"tunnel", StandInScene<3>, 12.0f},
    {"streamers", StandInScene<4>, 12.0f},    {"palace", StandInScene<5>, 51.5f},
    {"bath", StandInScene<6>, 24.0f},         {"computer", StandInScene<7>, 22.0f},
    {"scroll", StandInScene<8>, 35.0f},       {"credits", StandInScene<9>, 15.0f},
};

__attribute__((weak)) const SceneEntry* FindSceneEntry(const char* name) {
  if (!name) return nullptr;
  for (const SceneEntry& e : Scenes)
    if (std::string_view(e.name) == name) return &e;
  return nullptr;
}

__attribute__((weak)) void LoadAssets() { PlayMusic("discow.mp3"); }
__attribute__((weak)) void ReleaseAssets() {}
