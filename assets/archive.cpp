// assets/archive.cpp - the extraction driver around minizip, and the clean-up.
#include "assets/archive.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

FILE* outputStream = nullptr;  // null: standard output
FILE* inputStream = nullptr;   // null: standard input

FILE* Out() { return outputStream ? outputStream : stdout; }
FILE* In() { return inputStream ? inputStream : stdin; }

// What this run wrote: files it opened for writing and directories it created for
// directory entries, by absolute path (the current directory of the extraction plus the
// entry's relative path, so a later change of directory cannot redirect a deletion),
// each marked whether it is a directory. The clean-up deletes exactly these and nothing
// a person put beside them.
std::map<std::string, bool> extracted;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Splits on both separators; drops empty and "." components. False for a ".." component.
bool SplitRelative(const std::string& path, std::vector<std::string>* parts) {
  parts->clear();
  std::string part;
  for (size_t i = 0; i <= path.size(); i++) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (part == "..") return false;
      if (!part.empty() && part != ".") parts->push_back(part);
      part.clear();
    } else {
      part += path[i];
    }
  }
  return true;
}

// An entry name may be written only when it stays below the current directory: not
// absolute, no ".." component under either separator.
bool SafeEntryName(const char* name) {
  if (IsSeparator(name[0])) return false;
  std::vector<std::string> parts;
  return SplitRelative(name, &parts);
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  if (!getcwd(buffer, sizeof buffer)) return std::string();
  return buffer;
}

void Remember(const std::string& target, bool directory) {
  std::vector<std::string> parts;
  std::string path = CurrentDirectory();
  if (path.empty() || !SplitRelative(target, &parts) || parts.empty()) return;
  if (path == "/") path.clear();
  for (const std::string& part : parts) path += "/" + part;
  extracted[path] = directory;
}

// Creates one directory, or accepts one that is already there as a directory.
bool CreateOrFindDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0777) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Asks whether an existing file may be overwritten. Returns 'Y', 'N' or 'A', or 0 when no
// answer can be read (no input, end of input, read error). Like the C library's "%1s"
// conversion it takes one non-blank character per question.
int AskOverwrite(const char* target) {
  for (;;) {
    fprintf(Out(), "The file %s exist. Overwrite ? [y]es, [n]o, [A]ll: ", target);
    fflush(Out());
    int c;
    do {
      c = fgetc(In());
    } while (c != EOF && isspace(c));
    if (c == EOF) return 0;
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c == 'Y' || c == 'N' || c == 'A') return c;
  }
}

bool FileExists(const char* path) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  fclose(file);
  return true;
}

// Copies the open entry into the open file. Returns the entry's status: 0 when complete.
int CopyEntry(unzFile archive, FILE* file, char* buffer) {
  for (;;) {
    int count = unzReadCurrentFile(archive, buffer, ArchiveCopyBufferSize);
    if (count < 0) {
      fprintf(Out(), "error %d with zipfile in unzReadCurrentFile\n", count);
      return count;
    }
    if (count == 0) return UNZ_OK;
    if (fwrite(buffer, (size_t)count, 1, file) != 1) {
      fprintf(Out(), "error in writing extracted file\n");
      return -1;
    }
  }
}

}  // namespace

void SetArchiveStreams(FILE* output, FILE* input) {
  outputStream = output;
  inputStream = input;
}

int ExtractedFileCount() {
  int count = 0;
  for (const auto& [path, directory] : extracted)
    if (!directory) count++;
  return count;
}

int MakeDirectoryPath(const char* path) {
  if (!path || !*path) return 0;
  std::string copy = path;
  if (copy.back() == '/') copy.pop_back();
  if (copy.empty()) return 0;
  if (mkdir(copy.c_str(), 0777) == 0) return 1;
  // Create each prefix in turn. A prefix that is already a directory is passed over;
  // anything else (a file in the way, no permission) ends the walk, so that success
  // always means the whole path is a directory.
  for (size_t i = 1; i <= copy.size(); i++) {
    if (i < copy.size() && !IsSeparator(copy[i])) continue;
    std::string prefix = copy.substr(0, i);
    if (!CreateOrFindDirectory(prefix)) {
      fprintf(Out(), "couldn't create directory %s\n", prefix.c_str());
      return 0;
    }
  }
  return 1;
}

void SetFileDate(const char* path, uint32_t dosDateTime) {
  uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  struct tm local = {};
  local.tm_year = (int)((date >> 9) & 0x7F) + 80;  // DOS years count from 1980
  local.tm_mon = (int)((date >> 5) & 0x0F) - 1;
  local.tm_mday = (int)(date & 0x1F);
  local.tm_hour = (int)((time >> 11) & 0x1F);
  local.tm_min = (int)((time >> 5) & 0x3F);
  local.tm_sec = (int)(time & 0x1F) * 2;
  local.tm_isdst = -1;  // let the C library decide whether summer time applied
  time_t when = mktime(&local);
  if (when == (time_t)-1) return;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // keep the access time
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  utimensat(AT_FDCWD, path, times, 0);
}

int ExtractEntry(unzFile archive, int* overwriteAll) {
  // One byte short of the buffer: minizip leaves a name that fills its buffer without a
  // terminating zero, so the last byte is always ours.
  char name[ArchiveNameBufferSize] = {};
  unz_file_info info;
  int err = unzGetCurrentFileInfo(archive, &info, name, ArchiveNameBufferSize - 1, nullptr, 0,
                                  nullptr, 0);
  name[ArchiveNameBufferSize - 1] = 0;
  if (err != UNZ_OK) {
    fprintf(Out(), "error %d with zipfile in unzGetCurrentFileInfo\n", err);
    return err;
  }
  char* buffer = (char*)malloc(ArchiveCopyBufferSize);
  if (!buffer) {
    fprintf(Out(), "Error allocating memory\n");
    return ArchiveAllocationFailed;
  }
  if (!SafeEntryName(name)) {
    fprintf(Out(), "skipping %s: the name leads outside the current directory\n", name);
    free(buffer);
    return UNZ_OK;
  }

  // Backslashes separate directories for the archive's makers; on this system they
  // would become part of a file name, so the target uses '/' throughout.
  std::string target = name;
  std::replace(target.begin(), target.end(), '\\', '/');
  size_t slash = target.rfind('/');
  const char* lastComponent = target.c_str() + (slash == std::string::npos ? 0 : slash + 1);

  if (*lastComponent == 0) {
    fprintf(Out(), "creating directory: %s\n", name);
    if (mkdir(target.c_str(), 0777) == 0) Remember(target, true);
    free(buffer);
    return UNZ_OK;
  }

  err = unzOpenCurrentFile(archive);
  if (err != UNZ_OK) fprintf(Out(), "error %d with zipfile in unzOpenCurrentFile\n", err);

  bool skip = false;
  if (err == UNZ_OK && !*overwriteAll && FileExists(target.c_str())) {
    int answer = AskOverwrite(target.c_str());
    if (answer == 0) {
      // Nobody can answer: keep the existing file, the choice that loses nothing.
      fprintf(Out(), "\nno answer: keeping the existing %s\n", target.c_str());
      skip = true;
    } else if (answer == 'N') {
      skip = true;
    } else if (answer == 'A') {
      *overwriteAll = 1;
    }
  }

  FILE* file = nullptr;
  if (!skip && err == UNZ_OK) {
    file = fopen(target.c_str(), "wb");
    if (!file && slash != std::string::npos) {
      MakeDirectoryPath(target.substr(0, slash).c_str());
      file = fopen(target.c_str(), "wb");
    }
    if (!file) fprintf(Out(), "error opening %s\n", target.c_str());
  }

  if (file) {
    Remember(target, false);
    fprintf(Out(), " extracting: %s\n", target.c_str());
    err = CopyEntry(archive, file, buffer);
    // Buffered data meets a full disk only when the file is closed.
    if (fclose(file) != 0 && err == UNZ_OK) {
      fprintf(Out(), "error in writing extracted file\n");
      err = -1;
    }
    if (err == UNZ_OK) SetFileDate(target.c_str(), (uint32_t)info.dosDate);
  }

  if (err == UNZ_OK) {
    err = unzCloseCurrentFile(archive);
    if (err != UNZ_OK) fprintf(Out(), "error %d with zipfile in unzCloseCurrentFile\n", err);
  } else {
    unzCloseCurrentFile(archive);
  }
  free(buffer);
  return err;
}

int UnpackArchive() {
  const char* name = "datas.vlo";
  std::string alternative = std::string(name) + ".zip";
  unzFile archive = unzOpen(name);
  if (!archive) archive = unzOpen(alternative.c_str());
  if (!archive) {
    // Nothing goes to the report stream; a present but unreadable archive is at least
    // named in the log, since the program is about to end without a word.
    if (FileExists(name) || FileExists(alternative.c_str()))
      LogError("archive", "%s: not a readable ZIP archive", name);
    fflush(Out());
    exit(1);
  }

  unz_global_info global;
  int err = unzGetGlobalInfo(archive, &global);
  if (err != UNZ_OK) {
    fprintf(Out(), "error %d with zipfile in unzGetGlobalInfo \n", err);
  } else {
    int overwriteAll = 0;
    // The entry count of the end record is not trusted: running out of entries early
    // ends the loop through unzGoToNextFile's error.
    for (uLong i = 0; i < global.number_entry; i++) {
      if (ExtractEntry(archive, &overwriteAll) != UNZ_OK) break;
      if (i + 1 < global.number_entry) {
        err = unzGoToNextFile(archive);
        if (err != UNZ_OK) {
          fprintf(Out(), "error %d with zipfile in unzGoToNextFile\n", err);
          break;
        }
      }
    }
  }
  unzClose(archive);
  fflush(Out());
  return 0;
}

void RemoveWorkDirectory(const char* name) {
  if (!name || !*name) return;
  char resolved[PATH_MAX];
  struct stat info;
  if (!realpath(name, resolved) || stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode)) return;
  std::string inside = resolved;
  if (inside != "/") inside += "/";

  // Delete this run's files below the directory; collect the directories on their way
  // (and those this run created) as candidates for removal once they are empty.
  std::vector<std::string> directories;
  for (auto at = extracted.lower_bound(inside);
       at != extracted.end() && at->first.compare(0, inside.size(), inside) == 0;) {
    const std::string& full = at->first;
    if (at->second)
      directories.push_back(full);
    else
      unlink(full.c_str());
    for (size_t cut = full.rfind('/'); cut != std::string::npos && cut >= inside.size();
         cut = full.rfind('/', cut - 1))
      directories.push_back(full.substr(0, cut));
    at = extracted.erase(at);
  }
  // Deepest first, so that a parent is tried after its children are gone. rmdir leaves
  // any directory that still holds something.
  std::sort(directories.begin(), directories.end(),
            [](const std::string& a, const std::string& b) {
              return a.size() != b.size() ? a.size() > b.size() : a < b;
            });
  directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
  for (const std::string& directory : directories) rmdir(directory.c_str());
  rmdir(name);
}

void RemoveWorkDirectories() {
  // The archive stores its names in lower case, and this file system tells case apart.
  RemoveWorkDirectory("maps");
  RemoveWorkDirectory("pict");
  RemoveWorkDirectory("text");
}
