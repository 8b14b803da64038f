// tools/render/contact_sheet.cpp - thumbnails, their labels, the sheet.
#include "tools/render/contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/platform.h"

namespace {
// 3 by 5 glyphs, one row per byte, bit 2 the leftmost column.
struct Glyph {
  char c;
  uint8_t rows[5];
};
const Glyph Glyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}},
    {'3', {7, 1, 7, 1, 7}}, {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}},
    {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}}, {'8', {7, 5, 7, 5, 7}},
    {'9', {7, 5, 7, 1, 7}}, {':', {0, 2, 0, 2, 0}}, {'.', {0, 0, 0, 0, 2}},
    {'s', {0, 3, 6, 1, 6}},
};
const int Scale = 2;  // glyph pixels per font pixel

void DrawText(std::vector<uint8_t>* rgb, int stride, int x, int y, const std::string& text) {
  for (char c : text) {
    for (const Glyph& g : Glyphs) {
      if (g.c != c) continue;
      for (int row = 0; row < 5; row++)
        for (int col = 0; col < 3; col++)
          if (g.rows[row] & (4 >> col))
            for (int dy = 0; dy < Scale; dy++)
              for (int dx = 0; dx < Scale; dx++) {
                size_t at = ((size_t)(y + row * Scale + dy) * stride + x + col * Scale + dx) * 4;
                if (at + 3 < rgb->size()) (*rgb)[at] = (*rgb)[at + 1] = (*rgb)[at + 2] = 230;
              }
    }
    x += 4 * Scale;
  }
}
}  // namespace

std::string TimeLabel(double seconds) {
  long tenths = lround(std::max(0.0, seconds) * 10);
  char text[32];
  snprintf(text, sizeof text, "%ld:%02ld.%ld s", tenths / 600, tenths / 10 % 60, tenths % 10);
  return text;
}

void ContactSheet::Add(const uint8_t* rgba, int width, int height, double seconds) {
  Tile tile;
  tile.seconds = seconds;
  tile.rgb.resize((size_t)ContactTileWidth * ContactTileHeight * 3);
  // Each tile pixel averages the frame pixels whose centres fall in its area.
  for (int ty = 0; ty < ContactTileHeight; ty++) {
    int y0 = ty * height / ContactTileHeight, y1 = std::max(y0 + 1, (ty + 1) * height / ContactTileHeight);
    for (int tx = 0; tx < ContactTileWidth; tx++) {
      int x0 = tx * width / ContactTileWidth, x1 = std::max(x0 + 1, (tx + 1) * width / ContactTileWidth);
      unsigned sum[3] = {0, 0, 0}, n = 0;
      for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++, n++)
          for (int c = 0; c < 3; c++) sum[c] += rgba[((size_t)y * width + x) * 4 + c];
      for (int c = 0; c < 3; c++)
        tile.rgb[((size_t)ty * ContactTileWidth + tx) * 3 + c] = (uint8_t)(sum[c] / n);
    }
  }
  tiles.push_back(std::move(tile));
}

void SheetSize(size_t count, int* width, int* height) {
  int columns = (int)std::min<size_t>(std::max<size_t>(count, 1), ContactColumns);
  int rows = (int)((std::max<size_t>(count, 1) + ContactColumns - 1) / ContactColumns);
  *width = ContactGap + columns * (ContactTileWidth + ContactGap);
  *height = ContactGap + rows * (ContactTileHeight + ContactLabelHeight + ContactGap);
}

bool ContactSheet::Write(const std::string& path) const {
  int width = 0, height = 0;
  SheetSize(tiles.size(), &width, &height);
  std::vector<uint8_t> sheet((size_t)width * height * 4);
  for (size_t i = 0; i < sheet.size(); i += 4) {
    sheet[i] = sheet[i + 1] = sheet[i + 2] = 40;  // dark grey: the tiles stand out on it
    sheet[i + 3] = 255;
  }
  for (size_t i = 0; i < tiles.size(); i++) {
    int x = ContactGap + (int)(i % ContactColumns) * (ContactTileWidth + ContactGap);
    int y = ContactGap + (int)(i / ContactColumns) * (ContactTileHeight + ContactLabelHeight + ContactGap);
    for (int ty = 0; ty < ContactTileHeight; ty++)
      for (int tx = 0; tx < ContactTileWidth; tx++)
        for (int c = 0; c < 3; c++)
          sheet[((size_t)(y + ty) * width + x + tx) * 4 + c] =
              tiles[i].rgb[((size_t)ty * ContactTileWidth + tx) * 3 + c];
    DrawText(&sheet, width, x + 2, y + ContactTileHeight + 2, TimeLabel(tiles[i].seconds));
  }
  return WritePng(path, width, height, sheet.data());
}
