// bench/bench_assets.cpp - unpacking the data archive and turning JPEGs into textures.
//
// Unpack: one archive of about 10 MB with 60 members (30 JPEG pictures, 30 binary
// files), extracted by UnpackArchive and, side by side on the same disk, by Info-ZIP's
// `unzip -o -q`; the clean-up between runs is not timed. Textures: DecodeJpeg alone and
// LoadTexture (decode, mipmaps, upload on the headless backend) of a 1024 x 1024 picture.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <minizip/zip.h>

#include "assets/archive.h"
#include "assets/jpeg_texture.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

const fs::path Root = fs::temp_directory_path() / "vellumar2-bench-assets";

// A picture with detail everywhere, so that its JPEG is of realistic size.
std::vector<uint8_t> EncodePicture(int w, int h, uint32_t seed) {
  std::vector<uint8_t> rgb((size_t)w * h * 3);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      seed = seed * 1664525u + 1013904223u;
      uint8_t* p = &rgb[((size_t)y * w + x) * 3];
      p[0] = (uint8_t)(x * 255 / w + (seed >> 28));
      p[1] = (uint8_t)(y * 255 / h + (seed >> 26 & 15));
      p[2] = (uint8_t)((x ^ y) + (seed >> 24 & 31));
    }
  jpeg_compress_struct c;
  jpeg_error_mgr errors;
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = (JDIMENSION)w;
  c.image_height = (JDIMENSION)h;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 92, TRUE);
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < h; y++) {
    JSAMPROW row = &rgb[(size_t)y * w * 3];
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> bytes(out, out + size);
  free(out);
  return bytes;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

// Builds the archive once; returns its size in bytes.
long MakeArchive() {
  static long size = 0;
  if (size) return size;
  fs::remove_all(Root);
  fs::create_directories(Root);
  zipFile zip = zipOpen((Root / "datas.vlo").c_str(), APPEND_STATUS_CREATE);
  uint32_t seed = 1;
  for (int i = 0; i < 60; i++) {
    std::vector<uint8_t> data;
    std::string name;
    if (i % 2 == 0) {
      data = EncodePicture(512, 384, (uint32_t)i + 1);
      name = (i % 4 ? "text/" : "pict/") + std::to_string(i) + ".jpg";
    } else {  // half noise, half runs: compresses like mesh and lighting files
      data.resize(500 * 1024);
      for (size_t k = 0; k < data.size(); k++)
        data[k] = k % 1024 < 512 ? (uint8_t)((seed = seed * 1664525u + 1013904223u) >> 24)
                                  : (uint8_t)(k / 1024);
      name = "maps/" + std::to_string(i) + ".bin";
    }
    zip_fileinfo info = {};
    zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                        Z_DEFAULT_COMPRESSION);
    zipWriteInFileInZip(zip, data.data(), (unsigned)data.size());
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
  WriteBytes(Root / "picture.jpg", EncodePicture(1024, 1024, 99));
  size = (long)fs::file_size(Root / "datas.vlo");
  return size;
}

void CleanWorkDirectories() {
  for (const char* name : {"maps", "pict", "text"}) fs::remove_all(Root / name);
}

void BM_UnpackArchive(benchmark::State& state) {
  long size = MakeArchive();
  fs::current_path(Root);
  FILE* sink = fopen("/dev/null", "w");
  FILE* none = fopen("/dev/null", "r");
  SetArchiveStreams(sink, none);
  for (auto _ : state) {
    UnpackArchive();
    state.PauseTiming();
    RemoveWorkDirectories();
    CleanWorkDirectories();
    state.ResumeTiming();
  }
  SetArchiveStreams(nullptr, nullptr);
  fclose(sink);
  fclose(none);
  state.SetBytesProcessed((int64_t)state.iterations() * size);
  state.counters["archive_MB"] = (double)size / 1e6;
}
BENCHMARK(BM_UnpackArchive)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_UnzipCommand(benchmark::State& state) {
  long size = MakeArchive();
  fs::current_path(Root);
  for (auto _ : state) {
    if (system("unzip -o -q datas.vlo") != 0) state.SkipWithError("unzip failed");
    state.PauseTiming();
    CleanWorkDirectories();
    state.ResumeTiming();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * size);
}
BENCHMARK(BM_UnzipCommand)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_DecodeJpeg(benchmark::State& state) {
  MakeArchive();
  std::string path = (Root / "picture.jpg").string();
  for (auto _ : state) FreeJpegImage(DecodeJpeg(path.c_str()));
  state.counters["MP_per_s"] =
      benchmark::Counter((double)state.iterations() * 1024 * 1024 / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadTexture(benchmark::State& state) {
  MakeArchive();
  if (!PlatformHasContext() && !PlatformOpenHeadless(64, 64)) {
    state.SkipWithError("no headless GL context");
    return;
  }
  std::string path = (Root / "picture.jpg").string();
  uint32_t slot = 0;
  for (auto _ : state) {
    LoadTexture(&slot, path.c_str(), 0);
    glFinish();
    state.PauseTiming();
    glDeleteTextures(1, &slot);
    state.ResumeTiming();
  }
  state.counters["MP_per_s"] =
      benchmark::Counter((double)state.iterations() * 1024 * 1024 / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadTexture)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
