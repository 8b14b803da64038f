#include "assets/texture_table.h"

uint32_t TextureTable[TextureSlotCount] = {};

uint32_t TextureSlot(int slot) {
  if (slot < 0 || slot >= TextureSlotCount) return 0;
  return TextureTable[slot];
}
