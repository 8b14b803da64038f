// tools/bake/png.h - PNG writing (libpng) for the contact sheet.
#pragma once

#include <string>

#include "tools/bake/image.h"

bool WritePngFile(const std::string& path, const Image& img, std::string* error);
