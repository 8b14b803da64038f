// tools/render/contact_sheet.h - one image of labelled thumbnails of a run.
//
// Owns: shrinking frames into tiles of ContactTileWidth by ContactTileHeight (area
// average), the grid they are laid out in (up to ContactColumns per row, in time order,
// a label strip with the time under each tile, ContactGap pixels around), and writing the
// sheet as PNG. Labels use a small built-in digit font, so the sheet needs no font files.
// Called by: tools/render/capture.cpp; the tests check the layout through SheetSize.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum {
  ContactTileWidth = 192,
  ContactTileHeight = 144,
  ContactLabelHeight = 14,
  ContactGap = 4,
  ContactColumns = 8
};

class ContactSheet {
 public:
  // Adds the frame (RGBA rows from the top) shown at `seconds`.
  void Add(const uint8_t* rgba, int width, int height, double seconds);
  size_t Count() const { return tiles.size(); }
  bool Write(const std::string& path) const;

 private:
  struct Tile {
    std::vector<uint8_t> rgb;  // ContactTileWidth x ContactTileHeight
    double seconds;
  };
  std::vector<Tile> tiles;
};

// The sheet's size for `tiles` tiles.
void SheetSize(size_t tiles, int* width, int* height);
// "m:ss.s" for a time in seconds (the label under a tile).
std::string TimeLabel(double seconds);
