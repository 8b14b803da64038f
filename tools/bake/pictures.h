// tools/bake/pictures.h - the generator of every picture of the show that is not a
// material of a 3D scene: the screens, the cards, the sprites and the surfaces.
//
// Owns: the list of pictures (file name in the archive, size, the aspect it has on screen,
// how the show draws it) and BakePictures, which draws each one, encodes it as JPEG and
// adds it to the bake's output. The drawing functions live in picture_*.cpp.
// Called by: the baker's main, through its list of generators.
#pragma once

#include <string>
#include <vector>

#include "tools/bake/bake.h"

struct PictureEntry {
  const char* name;           // member of the archive
  int width, height;          // size of the file: powers of two
  int drawWidth, drawHeight;  // size it is drawn at, with its aspect on screen
  PictureRole role;
  bool seamless;              // drawn to tile: resampled with wrapping
  void (*draw)(Image& canvas);
};

const std::vector<PictureEntry>& PictureEntries();
// The picture at its file size, before JPEG coding.
Image RenderPicture(const PictureEntry& entry);
bool BakePictures(BakeOutput& out, std::string* error);

enum { PictureQuality = 90 };
