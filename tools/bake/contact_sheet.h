// tools/bake/contact_sheet.h - one labelled PNG of every picture the bake made, for review.
#pragma once

#include <string>
#include <vector>

#include "tools/bake/bake.h"

bool WriteContactSheet(const std::string& path, const std::vector<SheetEntry>& entries, std::string* error);
// A reduced copy of a picture for the sheet, fitted into a `box` square at the given aspect.
Image Thumbnail(const Image& picture, float aspect, int box);
