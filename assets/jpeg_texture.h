// assets/jpeg_texture.h - JPEG pictures decoded into memory and turned into textures.
//
// Owns: decoding a JPEG file into 8-bit RGB rows (libjpeg), and the three texture makers:
// a mipmapped RGB texture, a mipmapped RGBA texture whose alpha comes from a second
// picture (the mask), and an empty texture that frame copies write into.
//
// Reads: JPEG files from the unpacked working directories. A picture that cannot be used
// (missing, damaged, not a JPEG, a colour model other than grey or RGB, a mask that does
// not fit its picture) is reported in a "-=(Status)=-" message box whose text is the path;
// the texture is not made and its slot keeps what it held. The program never ends here.
//
// The makers write the texture name they generate into the slot they are given, in any
// table of 32-bit texture names (TextureTable, one-entry tables inside other objects),
// and leave the new texture bound to GL_TEXTURE_2D on the active unit. Texture row t = 0
// is the picture's top row.
//
// Called by: the asset manifest, the scene loader, particle systems and the font, on the
// thread that owns the GL context, with the context current.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/gl.h"

// A decoded picture: rowBytes x height bytes, samples interleaved R, G, B, top row first.
// Made by DecodeJpeg, freed by the caller with FreeJpegImage (record and pixel block).
struct JpegImage {
  int32_t rowBytes;  // width x 3
  int32_t width;
  int32_t height;
  uint8_t* pixels;
};

// Pictures larger than this many pixels are refused before anything is allocated: a file
// of a few hundred bytes can declare any size, and libjpeg fills a short file's missing
// rows, so the declared size alone decides what decoding costs.
enum { JpegMaxPixels = 4096 * 4096 };

// Decodes the file (opened in binary mode) into RGB; greyscale pictures are expanded to
// RGB. Null when the file cannot be opened (no message) or cannot be decoded (a warning
// in the log, tag "jpeg"). Null path: null, nothing touched.
JpegImage* DecodeJpeg(const char* path);
// The same from bytes in memory; `name` only labels log lines.
JpegImage* DecodeJpegMemory(const uint8_t* data, size_t size, const char* name);
void FreeJpegImage(JpegImage* image);

// Mipmapped RGB texture of the file into table[slot]; minification
// GL_LINEAR_MIPMAP_NEAREST, magnification GL_LINEAR, wrap modes left at GL_REPEAT.
// A null path returns at once and touches nothing.
void LoadTexture(uint32_t* table, const char* path, int slot);

// Mipmapped RGBA texture into *slotRef: colour from colourPath, alpha from maskPath (0
// where the mask's R + G + B is above 384, 255 otherwise). Replaces the texture the slot
// named before, which is deleted. A null maskPath (or colourPath) returns at once.
void LoadMaskedTexture(uint32_t* slotRef, const char* maskPath, const char* colourPath);

// Texture of width x height with zero contents, uploaded as 32-bit unsigned components;
// minification GL_NEAREST, magnification GL_LINEAR, no mipmaps. `components` (1 to 4) is
// the internal format, `format` the layout of the upload (GL_RGB, ...).
void CreateBlankTexture(uint32_t* table, int width, int height, int components, GLenum format,
                        int slot);
