// assets/texture_table.h - the show's table of texture names.
//
// 28 OpenGL texture names, slots 0 to 27, filled once by loading; slot 19 is the target
// of frame copies and slot 2 stays 0. Frame services and scenes name textures by slot.
#pragma once

#include <cstdint>

enum { TextureSlotCount = 28 };
extern uint32_t TextureTable[TextureSlotCount];

// The texture name of a slot; 0 (no texture) for a slot outside the table.
uint32_t TextureSlot(int slot);
