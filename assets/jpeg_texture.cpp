// assets/jpeg_texture.cpp - libjpeg decoding with a recovery point, and the texture makers.
#include "assets/jpeg_texture.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "platform/platform.h"

static_assert(sizeof(GLuint) == sizeof(uint32_t), "texture tables hold GL texture names");

namespace {

const char* StatusCaption = "-=(Status)=-";

// Progressive files may carry any number of scans, each a full pass over the picture; a
// few dozen are normal, thousands are an attack on the loading time.
const int MaxScans = 1000;
// libjpeg's own working memory (the coefficient buffer of progressive files is the large
// part); past it the library fails, as it has no backing store.
const long MaxDecoderMemory = 256L * 1024 * 1024;

// The standard error manager ends the process on a fatal error. This one logs the reason
// and jumps back into the decoder call, which frees what it holds and returns null.
struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf escape;
  const char* name;
};

[[noreturn]] void Fail(j_common_ptr info, const char* reason) {
  ErrorManager* manager = (ErrorManager*)info->err;
  LogWarn("jpeg", "%s: %s", manager->name, reason);
  longjmp(manager->escape, 1);
}

void ErrorExit(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, text);
  Fail(info, text);
}

// Warnings (damaged data that libjpeg can step over, a file cut short) go to the log,
// the first per picture only; trace messages are dropped. The picture is still used.
void EmitMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  if (info->err->num_warnings++ == 0) {
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    LogWarn("jpeg", "%s: %s", ((ErrorManager*)info->err)->name, text);
  }
}

void Progress(j_common_ptr info) {
  if (info->is_decompressor && ((j_decompress_ptr)info)->input_scan_number > MaxScans)
    Fail(info, "too many scans");
}

// Variables that change after setjmp and are read after the jump are volatile, so their
// values survive the jump. Nothing with a destructor lives in this frame.
JpegImage* Decode(FILE* file, const uint8_t* data, size_t size, const char* name) {
  jpeg_decompress_struct info;
  memset(&info, 0, sizeof info);  // a failed create leaves nothing for destroy to free
  ErrorManager errors;
  jpeg_progress_mgr progress;
  memset(&progress, 0, sizeof progress);
  JpegImage* volatile image = nullptr;
  JSAMPROW* volatile rows = nullptr;

  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = ErrorExit;
  errors.base.emit_message = EmitMessage;
  errors.name = name;
  if (setjmp(errors.escape)) {
    jpeg_destroy_decompress(&info);
    free(rows);
    FreeJpegImage(image);
    return nullptr;
  }

  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = MaxDecoderMemory;
  progress.progress_monitor = Progress;
  info.progress = &progress;
  if (file)
    jpeg_stdio_src(&info, file);
  else
    jpeg_mem_src(&info, data, (unsigned long)size);
  jpeg_read_header(&info, TRUE);

  if ((uint64_t)info.image_width * info.image_height > (uint64_t)JpegMaxPixels)
    Fail((j_common_ptr)&info, "picture too large");
  // Every texture maker takes three bytes per pixel, so the decoder delivers RGB or
  // nothing: grey is expanded by libjpeg, CMYK and YCCK have no RGB conversion there.
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      info.out_color_space = JCS_RGB;
      break;
    case JCS_YCbCr:
    case JCS_RGB:
      break;
    default:
      Fail((j_common_ptr)&info, "colour model without an RGB conversion");
  }
  jpeg_start_decompress(&info);
  if (info.output_components != 3 || info.output_width == 0 || info.output_height == 0)
    Fail((j_common_ptr)&info, "not an RGB picture");

  image = (JpegImage*)calloc(1, sizeof(JpegImage));
  if (!image) Fail((j_common_ptr)&info, "out of memory");
  image->width = (int32_t)info.output_width;
  image->height = (int32_t)info.output_height;
  image->rowBytes = image->width * 3;
  image->pixels = (uint8_t*)malloc((size_t)image->rowBytes * (size_t)image->height);
  rows = (JSAMPROW*)malloc(sizeof(JSAMPROW) * (size_t)image->height);
  if (!image->pixels || !rows) Fail((j_common_ptr)&info, "out of memory");
  for (int32_t i = 0; i < image->height; i++)
    rows[i] = image->pixels + (size_t)i * (size_t)image->rowBytes;

  while (info.output_scanline < info.output_height) {
    JDIMENSION read = jpeg_read_scanlines(&info, rows + info.output_scanline,
                                          info.output_height - info.output_scanline);
    // File and memory sources never suspend; no progress means a broken source.
    if (read == 0) Fail((j_common_ptr)&info, "decoder made no progress");
  }
  free(rows);
  rows = nullptr;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return image;
}

// Uploads tightly packed rows: the picture's rows are width x components bytes with no
// padding, whatever unpack state the caller left. GLU scales to power-of-two sizes.
void BuildMipmaps(GLint components, const JpegImage* image, GLenum format,
                  const uint8_t* pixels, const char* path) {
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
  GLint status = gluBuild2DMipmaps(GL_TEXTURE_2D, components, image->width, image->height,
                                   format, GL_UNSIGNED_BYTE, pixels);
  glPopClientAttrib();
  if (status != 0) LogWarn("jpeg", "%s: %s", path, (const char*)gluErrorString((GLenum)status));
}

void MipmapFilters() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

GLuint NewBoundTexture() {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  return name;
}

int FormatComponents(GLenum format) {
  switch (format) {
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_ALPHA:
    case GL_LUMINANCE:
    case GL_INTENSITY:
    case GL_DEPTH_COMPONENT:
      return 1;
    case GL_LUMINANCE_ALPHA:
      return 2;
    case GL_RGB:
    case GL_BGR:
      return 3;
    default:
      return 4;
  }
}

}  // namespace

JpegImage* DecodeJpeg(const char* path) {
  if (!path) return nullptr;
  FILE* file = fopen(path, "rb");
  if (!file) return nullptr;
  JpegImage* image = Decode(file, nullptr, 0, path);
  fclose(file);
  return image;
}

JpegImage* DecodeJpegMemory(const uint8_t* data, size_t size, const char* name) {
  if (!data || size == 0) return nullptr;
  return Decode(nullptr, data, size, name ? name : "(memory)");
}

void FreeJpegImage(JpegImage* image) {
  if (!image) return;
  free(image->pixels);
  free(image);
}

void LoadTexture(uint32_t* table, const char* path, int slot) {
  if (!path) return;
  if (!table || slot < 0) {
    LogWarn("jpeg", "%s: no texture slot to load into", path);
    return;
  }
  JpegImage* image = DecodeJpeg(path);
  if (!image) {
    PlatformMessageBox(StatusCaption, path);
    return;
  }
  table[slot] = NewBoundTexture();
  BuildMipmaps(3, image, GL_RGB, image->pixels, path);
  MipmapFilters();
  FreeJpegImage(image);
}

void LoadMaskedTexture(uint32_t* slotRef, const char* maskPath, const char* colourPath) {
  if (!maskPath || !colourPath) return;
  if (!slotRef) {
    LogWarn("jpeg", "%s: no texture slot to load into", colourPath);
    return;
  }
  JpegImage* mask = DecodeJpeg(maskPath);
  if (!mask) PlatformMessageBox(StatusCaption, maskPath);
  JpegImage* colour = DecodeJpeg(colourPath);
  if (!colour) PlatformMessageBox(StatusCaption, colourPath);
  if (mask && colour && (mask->width != colour->width || mask->height != colour->height)) {
    // Each mask pixel takes the colour picture's pixel of the same index; of another size
    // the two pictures do not line up and one would be read past its end.
    LogWarn("jpeg", "%s: %dx%d does not match its mask %s (%dx%d)", colourPath, colour->width,
            colour->height, maskPath, mask->width, mask->height);
    PlatformMessageBox(StatusCaption, colourPath);
    FreeJpegImage(colour);
    colour = nullptr;
  }
  size_t count = mask && colour ? (size_t)mask->width * (size_t)mask->height : 0;
  uint8_t* rgba = count ? (uint8_t*)malloc(count * 4) : nullptr;
  if (rgba) {
    const uint8_t* m = mask->pixels;
    const uint8_t* c = colour->pixels;
    for (size_t i = 0; i < count; i++, m += 3, c += 3) {
      uint8_t* p = rgba + i * 4;
      p[0] = c[0];
      p[1] = c[1];
      p[2] = c[2];
      // Bright mask pixels are transparent, dark ones opaque; 384 itself is opaque.
      p[3] = (int)m[0] + m[1] + m[2] > 384 ? 0 : 255;
    }
    // The slot's previous texture would otherwise stay allocated with no name left to it.
    if (*slotRef != 0) {
      GLuint old = *slotRef;
      glDeleteTextures(1, &old);
    }
    *slotRef = NewBoundTexture();
    BuildMipmaps(4, mask, GL_RGBA, rgba, colourPath);
    MipmapFilters();
    free(rgba);
  } else if (count) {
    LogWarn("jpeg", "%s: out of memory", colourPath);
  }
  FreeJpegImage(mask);
  FreeJpegImage(colour);
}

void CreateBlankTexture(uint32_t* table, int width, int height, int components, GLenum format,
                        int slot) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (!table || slot < 0 || width <= 0 || height <= 0 || width > maxSize || height > maxSize ||
      components < 1 || components > 4) {
    LogWarn("jpeg", "blank texture %dx%d with %d components refused", width, height, components);
    return;
  }
  // One 32-bit value per component. The upload reads as many components as the format
  // has, so the buffer holds at least that many even when `components` says fewer.
  int perPixel = components > FormatComponents(format) ? components : FormatComponents(format);
  size_t bytes = (size_t)width * (size_t)height * (size_t)perPixel * 4;
  void* buffer = calloc(bytes, 1);
  if (!buffer) {
    LogWarn("jpeg", "blank texture %dx%d: out of memory", width, height);
    return;
  }
  table[slot] = NewBoundTexture();
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, components, width, height, 0, format, GL_UNSIGNED_INT, buffer);
  glPopClientAttrib();
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  free(buffer);
}
