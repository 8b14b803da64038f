// platform/images.cpp - PNG writing for tools, and the icon decoder for window icons.
#include <png.h>

#include <cstdio>
#include <cstring>

#include "platform/internal.h"

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgba) {
  if (width <= 0 || height <= 0 || !rgba) return false;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    LogError("png", "cannot write %s", path.c_str());
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    fclose(f);
    LogError("png", "writing %s failed", path.c_str());
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  for (int y = 0; y < height; y++)
    png_write_row(png, (png_const_bytep)(rgba + (size_t)y * width * 4));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  bool ok = fclose(f) == 0;
  if (!ok) LogError("png", "writing %s failed", path.c_str());
  return ok;
}

namespace {
uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
uint16_t Read16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
}  // namespace

// An ICO file: a directory of images, each a BMP without its file header whose height
// counts the colour rows and the 1-bit transparency mask together. Paletted images of
// 1, 4 and 8 bits and 32-bit images are read; every length is checked against the bytes.
SDL_Surface* DecodeIcon(const uint8_t* bytes, size_t size) {
  if (!bytes || size < 6 + 16 || Read16(bytes) != 0 || Read16(bytes + 2) != 1) return nullptr;
  if (Read16(bytes + 4) < 1) return nullptr;
  const uint8_t* entry = bytes + 6;
  uint32_t length = Read32(entry + 8), offset = Read32(entry + 12);
  if (offset > size || length > size - offset || length < 40) return nullptr;
  const uint8_t* bmp = bytes + offset;
  uint32_t headerSize = Read32(bmp);
  int32_t width = (int32_t)Read32(bmp + 4), height2 = (int32_t)Read32(bmp + 8);
  int bits = Read16(bmp + 14);
  uint32_t compression = Read32(bmp + 16);
  if (headerSize < 40 || headerSize > length || width <= 0 || width > 256 || height2 <= 0 ||
      height2 > 512 || compression != 0)
    return nullptr;
  int height = height2 / 2;
  if (height <= 0) return nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 32) return nullptr;
  uint32_t colours = bits <= 8 ? Read32(bmp + 32) : 0;
  if (bits <= 8 && (colours == 0 || colours > (1u << bits))) colours = 1u << bits;
  size_t paletteBytes = (size_t)colours * 4;
  size_t stride = (((size_t)width * bits + 31) / 32) * 4;
  size_t maskStride = (((size_t)width + 31) / 32) * 4;
  size_t need = headerSize + paletteBytes + stride * height + maskStride * height;
  if (need > length) return nullptr;
  const uint8_t* palette = bmp + headerSize;
  const uint8_t* pixels = palette + paletteBytes;
  const uint8_t* mask = pixels + stride * height;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGBA32);
  if (!s) return nullptr;
  for (int y = 0; y < height; y++) {
    const uint8_t* row = pixels + stride * (height - 1 - y);  // rows are stored bottom-up
    const uint8_t* maskRow = mask + maskStride * (height - 1 - y);
    uint8_t* out = (uint8_t*)s->pixels + (size_t)y * s->pitch;
    for (int x = 0; x < width; x++) {
      uint8_t r, g, b, a = 255;
      if (bits == 32) {
        b = row[x * 4];
        g = row[x * 4 + 1];
        r = row[x * 4 + 2];
        a = row[x * 4 + 3];
      } else {
        int index;
        if (bits == 8) index = row[x];
        else if (bits == 4) index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
        else index = (row[x / 8] >> (7 - x % 8)) & 1;
        if ((uint32_t)index >= colours) index = 0;
        b = palette[index * 4];
        g = palette[index * 4 + 1];
        r = palette[index * 4 + 2];
        if (maskRow[x / 8] & (0x80 >> (x % 8))) a = 0;
      }
      out[x * 4] = r;
      out[x * 4 + 1] = g;
      out[x * 4 + 2] = b;
      out[x * 4 + 3] = a;
    }
  }
  return s;
}
