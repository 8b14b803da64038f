// tools/bake/jpeg.cpp - libjpeg compression and decompression in memory.
#include "tools/bake/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {
struct ErrorTrap {
  jpeg_error_mgr base;
  jmp_buf escape;
};

void Escape(j_common_ptr info) { longjmp(reinterpret_cast<ErrorTrap*>(info->err)->escape, 1); }
void Quiet(j_common_ptr, int) {}
}  // namespace

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality) {
  jpeg_compress_struct info;
  ErrorTrap trap;
  info.err = jpeg_std_error(&trap.base);
  trap.base.error_exit = Escape;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<uint8_t> out;
  if (setjmp(trap.escape)) {
    jpeg_destroy_compress(&info);
    free(buffer);
    return {};
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = (JDIMENSION)width;
  info.image_height = (JDIMENSION)height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.optimize_coding = TRUE;
  info.dct_method = JDCT_ISLOW;
  // Full-resolution colour: lettering and thin lines keep clean coloured edges.
  for (int c = 0; c < 3; c++) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgb[(size_t)info.next_scanline * width * 3]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  out.assign(buffer, buffer + size);
  free(buffer);
  return out;
}

bool DecodeJpeg(const std::vector<uint8_t>& file, std::vector<uint8_t>* pixels, int* width, int* height,
                int* components) {
  if (file.size() < 4) return false;
  jpeg_decompress_struct info;
  ErrorTrap trap;
  info.err = jpeg_std_error(&trap.base);
  trap.base.error_exit = Escape;
  trap.base.emit_message = Quiet;
  if (setjmp(trap.escape)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), (unsigned long)file.size());
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  *components = info.num_components;
  jpeg_start_decompress(&info);
  *width = (int)info.output_width;
  *height = (int)info.output_height;
  int outComponents = info.output_components;
  pixels->assign((size_t)*width * *height * outComponents, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &(*pixels)[(size_t)info.output_scanline * *width * outComponents];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return outComponents == 3;
}
