// assets/jpeg_texture_stub.cpp - stand-in texture operations until the JPEG reader lands:
// every slot stays 0 (no texture), nothing is read.
#include "assets/jpeg_texture.h"

void LoadTexture(uint32_t* table, const char* path, int slot) {
  (void)path;
  if (table) table[slot] = 0;
}

void LoadMaskedTexture(uint32_t* slotRef, const char* maskPath, const char* colourPath) {
  (void)slotRef;
  (void)maskPath;
  (void)colourPath;
}
