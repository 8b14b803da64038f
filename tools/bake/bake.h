// tools/bake/bake.h - what every content generator hands to the baker.
//
// Owns: BakeOutput, the one place generators put their results: members of the data
// archive (in the order they are added, which is the order in the archive), files written
// beside it, and reduced copies of pictures for the contact sheet.
// Called by: main.cpp, which runs the generators of its list in order, then writes the
// archive and, when asked, the contact sheet.
#pragma once

#include <string>
#include <vector>

#include "tools/bake/archive.h"
#include "tools/bake/image.h"

// How the show draws a picture, which decides what its pixels must be.
enum class PictureRole {
  Opaque,      // drawn as it is
  Multiplied,  // multiplies the frame: white leaves it alone
  Added,       // added to the frame: black adds nothing
  Modulated,   // a texture layer multiplied with another
};

struct SheetEntry {
  std::string label;
  Image thumbnail;  // at the aspect it has on screen
};

struct BakeOutput {
  std::string outDir;
  std::vector<ArchiveMember> members;
  std::vector<SheetEntry> sheet;
  bool wantSheet = false;  // generators skip the thumbnails when no sheet is asked for
};

// One kind of content; runs once per bake and adds to the output. Pure apart from what
// it writes under outDir: the same program gives the same bytes.
struct Generator {
  const char* name;
  bool (*run)(BakeOutput& out, std::string* error);
};
