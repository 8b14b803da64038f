// assets/jpeg_texture.h - JPEG pictures into textures (declaration only in this tree).
#pragma once

#include <cstdint>

void LoadTexture(uint32_t* table, const char* path, int slot);
