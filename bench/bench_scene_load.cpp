// Load time of 3DS files: the show's loader against lib3ds_file_load, side by side, for
// every assimp test model and a generated scene of about 60 000 faces. Each file gets
// the pair "ours/<file>" and "lib3ds/<file>"; the ratio is read off the two times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include "engine/scene.h"
#include "engine/scene_loader.h"
#include "platform/platform.h"

#ifdef VELLUMAR_HAVE_LIB3DS
#include <lib3ds/file.h>
#endif

namespace {

// A minimal chunk writer for the generated scene.
struct Writer {
  std::vector<uint8_t> out;
  std::vector<size_t> open;

  void U16(uint16_t v) {
    out.push_back(v & 0xFF);
    out.push_back(v >> 8);
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
  }
  void F(float f) {
    uint32_t bits;
    memcpy(&bits, &f, 4);
    U32(bits);
  }
  void Str(const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
  }
  void Begin(uint16_t id) {
    open.push_back(out.size());
    U16(id);
    U32(0);
  }
  void End() {
    size_t start = open.back();
    open.pop_back();
    uint32_t length = static_cast<uint32_t>(out.size() - start);
    memcpy(&out[start + 2], &length, 4);
  }
  void Track(uint16_t id, int keys, bool rotation) {
    Begin(id);
    for (int i = 0; i < 5; ++i) U16(0);
    U32(keys);
    for (int k = 0; k < keys; ++k) {
      U32(k * 10);
      U16(0);
      if (rotation) F(0.1f);
      F(float(k));
      F(1);
      F(2);
    }
    End();
  }
};

// `meshes` grids of `quads` x `quads` quads, two faces each, with mapping coordinates,
// a material and position and rotation tracks of four keys, plus a camera.
std::string WriteGeneratedScene(int meshes, int quads) {
  Writer w;
  w.Begin(0x4D4D);
  w.Begin(0x3D3D);
  const int side = quads + 1;
  for (int m = 0; m < meshes; ++m) {
    w.Begin(0x4000);
    w.Str("Grid" + std::to_string(m));
    w.Begin(0x4100);
    w.Begin(0x4110);
    w.U16(static_cast<uint16_t>(side * side));
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        w.F(float(x + m * side));
        w.F(float(y));
        w.F(float((x * y) % 7));
      }
    w.End();
    w.Begin(0x4120);
    w.U16(static_cast<uint16_t>(quads * quads * 2));
    for (int y = 0; y < quads; ++y)
      for (int x = 0; x < quads; ++x) {
        uint16_t a = static_cast<uint16_t>(y * side + x);
        w.U16(a);
        w.U16(a + 1);
        w.U16(a + side);
        w.U16(7);
        w.U16(a + 1);
        w.U16(a + side + 1);
        w.U16(a + side);
        w.U16(7);
      }
    w.Begin(0x4130);
    w.Str("maps/bench" + std::to_string(m % 4) + ".jpg");
    w.U16(0);
    w.End();
    w.End();
    w.Begin(0x4140);
    w.U16(static_cast<uint16_t>(side * side));
    for (int i = 0; i < side * side; ++i) {
      w.F(float(i % side) / quads);
      w.F(float(i / side) / quads);
    }
    w.End();
    w.End();
    w.End();
  }
  w.Begin(0x4000);
  w.Str("Camera01");
  w.Begin(0x4700);
  for (int i = 0; i < 8; ++i) w.F(float(i));
  w.End();
  w.End();
  w.End();
  w.Begin(0xB000);
  for (int m = 0; m < meshes; ++m) {
    w.Begin(0xB002);
    w.Begin(0xB010);
    w.Str("Grid" + std::to_string(m));
    w.U16(0);
    w.U16(0);
    w.U16(0xFFFF);
    w.End();
    w.Track(0xB020, 4, false);
    w.Track(0xB021, 4, true);
    w.End();
  }
  w.End();
  w.End();
  std::string path = "/tmp/vellumar2_bench_generated.3ds";
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return "";
  fwrite(w.out.data(), 1, w.out.size(), f);
  fclose(f);
  return path;
}

void LoadOurs(benchmark::State& state, std::string path) {
  for (auto _ : state) {
    Scene3ds* scene = new Scene3ds();
    bool ok = LoadScene(scene, path.c_str());
    benchmark::DoNotOptimize(ok);
    state.counters["faces"] = scene->totalFaceCount;
    ReleaseScene(scene);
  }
}

#ifdef VELLUMAR_HAVE_LIB3DS
void LoadLib3ds(benchmark::State& state, std::string path) {
  for (auto _ : state) {
    Lib3dsFile* file = lib3ds_file_load(path.c_str());
    benchmark::DoNotOptimize(file);
    if (file) lib3ds_file_free(file);
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
  // Materials name pictures that are not there; their messages are not what is measured.
  PlatformSetMessageBoxesHeadless(true);
  PlatformSetMessageBoxHook([](const char*, const char*, void*) {}, nullptr);
  SetLogSink([](LogLevel, const char*, const char*, void*) {}, nullptr);

  std::vector<std::string> files;
  const char* dirPath = "/usr/share/assimp/models/3DS";
  if (DIR* dir = opendir(dirPath)) {
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name.size() > 4) {
        std::string ext = name.substr(name.size() - 4);
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (ext == ".3ds") files.push_back(std::string(dirPath) + "/" + name);
      }
    }
    closedir(dir);
  }
  std::sort(files.begin(), files.end());
  // 19 grids of 40 x 40 quads: 60 800 faces.
  std::string generated = WriteGeneratedScene(19, 40);
  if (!generated.empty()) files.push_back(generated);

  for (const std::string& path : files) {
    std::string label = path.substr(path.rfind('/') + 1);
    benchmark::RegisterBenchmark(("ours/" + label).c_str(), LoadOurs, path)->Unit(benchmark::kMicrosecond);
#ifdef VELLUMAR_HAVE_LIB3DS
    benchmark::RegisterBenchmark(("lib3ds/" + label).c_str(), LoadLib3ds, path)
        ->Unit(benchmark::kMicrosecond);
#endif
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
