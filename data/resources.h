// data/resources.h - the executable's resources: the launcher dialog, its picture, the icon.
//
// Dialog 101 is kept in dialog units, as it was designed, with the base units of its
// 8-point dialog font (6 by 13 pixels per 4 by 8 units); LauncherLayoutPixels converts it.
// Bitmap 122 (281 by 67, 8 bits with a palette) and icon group 115 (32 by 32, 16 colours)
// are BMP and ICO files compiled into the program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

struct DialogControl {
  const char* className;
  int id;
  int x, y, width, height;  // dialog units
  const char* text;
  bool defaultButton;
};

struct DialogTemplate {
  const char* title;
  const char* fontName;
  int fontPoints;
  int x, y, width, height;  // dialog units
  DialogControl controls[2];
};

enum { LauncherDialogId = 101, LauncherBitmapId = 122, ProgramIconId = 115, FireButtonId = 1003 };
enum { DialogBaseUnitX = 6, DialogBaseUnitY = 13 };

extern const DialogTemplate LauncherDialog;

// Dialog units to pixels, rounded to nearest as dialog managers do.
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);
LauncherLayout LauncherLayoutPixels();

extern const unsigned char LauncherBitmap[];
extern const size_t LauncherBitmapSize;
extern const unsigned char ProgramIcon[];
extern const size_t ProgramIconSize;
