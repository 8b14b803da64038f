// fuzz/fuzz_archive.cpp - libFuzzer target: the extraction driver on arbitrary archives.
//
// The bytes become "datas.vlo" in a sandbox directory "work" inside a private temporary
// directory; every entry is extracted as UnpackArchive would (without its exit when the
// archive cannot be opened), then the working directories are cleaned up. The target
// aborts when anything appears beside "work", which would be a write outside the current
// directory. Report lines go to /dev/null; the overwrite question meets end of input.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "assets/archive.h"

static std::string sandbox, home;

static void Wipe(const std::string& path) {
  std::string command = "rm -rf '" + path + "'";
  if (system(command.c_str()) != 0) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (sandbox.empty()) {
    char name[] = "/tmp/vellumar-fuzz-archive-XXXXXX";
    if (!mkdtemp(name)) abort();
    sandbox = name;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) abort();
    home = cwd;  // libFuzzer names its corpus files relative to it
  }
  std::string work = sandbox + "/work";
  Wipe(work);
  if (mkdir(work.c_str(), 0777) != 0 || chdir(work.c_str()) != 0) abort();
  FILE* archive = fopen("datas.vlo", "wb");
  if (!archive) abort();
  fwrite(data, 1, size, archive);
  fclose(archive);

  static FILE* out = fopen("/dev/null", "w");
  static FILE* in = fopen("/dev/null", "r");
  SetArchiveStreams(out, in);
  unzFile zip = unzOpen("datas.vlo");
  unz_global_info global;
  if (zip && unzGetGlobalInfo(zip, &global) == UNZ_OK) {
    int overwriteAll = 0;
    for (uLong i = 0; i < global.number_entry; i++) {
      if (ExtractEntry(zip, &overwriteAll) != UNZ_OK) break;
      if (i + 1 < global.number_entry && unzGoToNextFile(zip) != UNZ_OK) break;
    }
  }
  if (zip) unzClose(zip);
  RemoveWorkDirectories();

  if (chdir(sandbox.c_str()) != 0) abort();
  DIR* dir = opendir(".");
  for (dirent* entry; (entry = readdir(dir));)
    if (strcmp(entry->d_name, ".") && strcmp(entry->d_name, "..") && strcmp(entry->d_name, "work"))
      abort();
  closedir(dir);
  if (chdir(home.c_str()) != 0) abort();
  return 0;
}
