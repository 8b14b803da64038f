// libFuzzer entry for the 3DS loader and the lighting reader (not built by default):
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//     fuzz/fuzz_scene_loader.cpp <build>/libvellumar2core.a <the library's link libraries>
// then run it on a corpus seeded with /usr/share/assimp/models/3DS/*.3ds.
#include <cstddef>
#include <cstdint>

#include "engine/scene.h"
#include "engine/scene_loader.h"
#include "engine/vertex_lighting.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    SetLogSink([](LogLevel, const char*, const char*, void*) {}, nullptr);
    PlatformSetMessageBoxesHeadless(true);
    PlatformSetMessageBoxHook([](const char*, const char*, void*) {}, nullptr);
    return true;
  }();
  (void)quiet;
  Scene3ds* scene = new Scene3ds();
  if (LoadSceneFromMemory(scene, data, size)) {
    // The same bytes as a colour section: it must stay within both the bytes and the meshes.
    ParseVertexLighting(scene, data, size);
  }
  ReleaseScene(scene);
  return 0;
}
