// tools/bake/archive.h - the data archive written with minizip's zip interface.
//
// Owns: writing a ZIP file of deflated members in the order given, each dated with one
// fixed date (the show's release day) so that the same members always give the same bytes.
// Called by: the baker's main, once every generator has put its members in the list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ArchiveMember {
  std::string name;  // lower-case path inside the archive, "pict/loading.jpg"
  std::vector<uint8_t> bytes;
};

// Writes the members to `path` (replacing it); false with the reason on any failure, in
// which case no half-written archive is left behind.
bool WriteArchive(const std::string& path, const std::vector<ArchiveMember>& members, std::string* error);
