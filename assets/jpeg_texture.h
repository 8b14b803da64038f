// assets/jpeg_texture.h - JPEG files into OpenGL textures.
//
// Owns: turning a JPEG file into a texture in a slot of a table of texture names, and
// rebuilding a slot's texture with an alpha channel taken from a second (mask) picture.
// An unreadable file gives the "-=(Status)=-" message with its path and leaves the slot 0.
//
// Called by: the asset manifest (TextureTable slots) and the 3DS loader (the one-entry
// table inside each of a scene's material textures).
#pragma once

#include <cstdint>

// Loads the JPEG at `path` into table[slot].
void LoadTexture(uint32_t* table, const char* path, int slot);
// Rebuilds *slotRef from the colours of `colourPath` with the alpha of `maskPath`.
void LoadMaskedTexture(uint32_t* slotRef, const char* maskPath, const char* colourPath);
