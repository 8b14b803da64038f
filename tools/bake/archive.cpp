// tools/bake/archive.cpp - ZIP writing through minizip.
#include "tools/bake/archive.h"

#include <cstdio>
#include <cstring>

#include <zip.h>
#include <zlib.h>

bool WriteArchive(const std::string& path, const std::vector<ArchiveMember>& members, std::string* error) {
  // Written beside the target and renamed at the end, so a failed bake leaves the old file.
  std::string temporary = path + ".part";
  zipFile zip = zipOpen(temporary.c_str(), APPEND_STATUS_CREATE);
  if (!zip) {
    if (error) *error = "cannot create " + temporary;
    return false;
  }
  bool ok = true;
  for (const ArchiveMember& m : members) {
    zip_fileinfo info;
    memset(&info, 0, sizeof info);
    // A fixed date, never the time of the bake: 1 June 2003, 12:00:00.
    info.tmz_date.tm_year = 2003;
    info.tmz_date.tm_mon = 5;  // months count from 0
    info.tmz_date.tm_mday = 1;
    info.tmz_date.tm_hour = 12;
    if (zipOpenNewFileInZip(zip, m.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_BEST_COMPRESSION) != ZIP_OK ||
        zipWriteInFileInZip(zip, m.bytes.data(), (unsigned)m.bytes.size()) != ZIP_OK ||
        zipCloseFileInZip(zip) != ZIP_OK) {
      if (error) *error = "cannot write " + m.name + " into " + temporary;
      ok = false;
      break;
    }
  }
  if (zipClose(zip, nullptr) != ZIP_OK && ok) {
    if (error) *error = "cannot finish " + temporary;
    ok = false;
  }
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot rename " + temporary + " to " + path;
    ok = false;
  }
  if (!ok) std::remove(temporary.c_str());
  return ok;
}
