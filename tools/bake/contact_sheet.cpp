// tools/bake/contact_sheet.cpp - thumbnails in a grid with their names under them.
#include "tools/bake/contact_sheet.h"

#include <algorithm>

#include "tools/bake/png.h"
#include "tools/bake/text.h"

namespace {
const int Box = 300, Label = 34, Gap = 14, Columns = 6;
}

Image Thumbnail(const Image& picture, float aspect, int box) {
  int w = box, h = box;
  if (aspect >= 1) h = std::max(1, (int)(box / aspect));
  else w = std::max(1, (int)(box * aspect));
  return Resize(picture, w, h);
}

bool WriteContactSheet(const std::string& path, const std::vector<SheetEntry>& entries, std::string* error) {
  int rows = ((int)entries.size() + Columns - 1) / Columns;
  int cellW = Box + Gap, cellH = Box + Label + Gap;
  // A neutral grey, so that white (multiplied) and black (added) pictures both show their edges.
  Image sheet(Gap + Columns * cellW, Gap + rows * cellH, Colour{0.36f, 0.37f, 0.40f});
  Mask labels(sheet.width, sheet.height);
  TextStyle style{FontStyle::SansBold, 17};
  for (size_t i = 0; i < entries.size(); i++) {
    int cx = Gap + (int)(i % Columns) * cellW, cy = Gap + (int)(i / Columns) * cellH;
    const Image& t = entries[i].thumbnail;
    int ox = cx + (Box - t.width) / 2, oy = cy + (Box - t.height) / 2;
    for (int y = 0; y < t.height; y++)
      for (int x = 0; x < t.width; x++) sheet.At(ox + x, oy + y) = t.At(x, y);
    DrawText(labels, style, entries[i].label, cx + Box / 2.0f, cy + Box + 24.0f, true);
  }
  Paint(sheet, labels, Colour{1, 1, 1});
  return WritePngFile(path, sheet, error);
}
