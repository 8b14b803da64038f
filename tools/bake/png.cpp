// tools/bake/png.cpp - an 8-bit RGB PNG from an Image.
#include "tools/bake/png.h"

#include <csetjmp>
#include <cstdio>

#include <png.h>

bool WritePngFile(const std::string& path, const Image& img, std::string* error) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    if (error) *error = "cannot create " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<uint8_t> rgb = ToRgb8(img);
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(f);
    if (error) *error = "cannot write " + path;
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, (png_uint_32)img.width, (png_uint_32)img.height, 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < img.height; y++) png_write_row(png, &rgb[(size_t)y * img.width * 3]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return fclose(f) == 0;
}
