// fuzz/fuzz_jpeg.cpp - libFuzzer target: the JPEG decoder on arbitrary bytes.
//
// Whatever the bytes, DecodeJpegMemory returns null or a picture whose pixel block holds
// rowBytes x height bytes of RGB; it never ends the process. Build and run: see README.md.
#include <cstdint>
#include <cstdlib>

#include "assets/jpeg_texture.h"
#include "platform/platform.h"

static void Quiet(LogLevel, const char*, const char*, void*) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetLogSink(Quiet, nullptr);
  JpegImage* image = DecodeJpegMemory(data, size, "fuzz");
  if (image) {
    if (image->width <= 0 || image->height <= 0 || image->rowBytes != image->width * 3 ||
        (int64_t)image->width * image->height > JpegMaxPixels)
      abort();
    // Touch the last byte: the block must be as large as the record says.
    volatile uint8_t last = image->pixels[(size_t)image->rowBytes * image->height - 1];
    (void)last;
    FreeJpegImage(image);
  }
  return 0;
}
