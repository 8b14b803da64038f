// tools/bake/launcher_art.h - the launcher's picture and the program's icon.
//
// Owns: drawing bitmap 122 (281 by 67, written as an 8-bit BMP with a 256-colour palette
// chosen for the picture) and icon 115 (32 by 32, a 16-colour ICO with a transparency mask).
// Called by: data/resgen.cpp at build time, which embeds the two files into the program.
// LoadFonts (text.h) must have succeeded first.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/bake/image.h"

Image DrawLauncherPicture();
// The icon's colours and its coverage (0 transparent .. 1 opaque).
Image DrawIconPicture(Mask* coverage);

std::vector<uint8_t> LauncherBitmapFile();
std::vector<uint8_t> ProgramIconFile();

// Up to `count` colours that represent the pixels well (median cut; deterministic), and
// the index of the nearest palette colour for each pixel, with error diffusion.
std::vector<Colour> ChoosePalette(const std::vector<Colour>& pixels, int count);
std::vector<uint8_t> MapToPalette(const Image& img, const std::vector<Colour>& palette, bool diffuse);
