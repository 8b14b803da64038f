// assets/jpeg_texture_stub.cpp - stands in for the JPEG loader until it is merged: loads
// nothing, so the slot keeps whatever name it had.
#include "assets/jpeg_texture.h"

void LoadTexture(uint32_t*, const char*, int) {}
