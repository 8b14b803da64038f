// tools/bake/jpeg.h - JPEG files of the data set, written with libjpeg's compressor.
//
// Owns: encoding 8-bit RGB rows into a baseline JPEG in memory (full-resolution colour,
// optimised Huffman tables, so the same pixels always give the same bytes), and decoding
// back for the contact sheet and the tests.
#pragma once

#include <cstdint>
#include <vector>

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality);
// False for anything that is not a JPEG; components is 3 for the pictures we write.
bool DecodeJpeg(const std::vector<uint8_t>& file, std::vector<uint8_t>* pixels, int* width, int* height,
                int* components);
