// tools/render/option_parse.cpp - numbers, sizes and faults of the renderer's options.
#include "tools/render/option_parse.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  errno = 0;
  double v = strtod(text, &end);
  if (errno || end == text || *end || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool ParseSize(const char* text, int* width, int* height) {
  // The third conversion only matches when something follows the height.
  char tail = 0;
  return sscanf(text, "%dx%d%c", width, height, &tail) == 2;
}

bool OptionFaultList(const char* after, const char* format, va_list args) {
  fputs("vellumar2-render: ", stderr);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
  if (after) fputs(after, stderr);
  return false;
}

bool OptionFault(const char* after, const char* format, ...) {
  va_list args;
  va_start(args, format);
  OptionFaultList(after, format, args);
  va_end(args);
  return false;
}

const char* OptionValue(int argc, char** argv, int* i, const char* after) {
  if (*i + 1 >= argc) {
    OptionFault(after, "%s needs a value", argv[*i]);
    return nullptr;
  }
  return argv[++*i];
}

bool MakeOutputDirectory(const std::string& dir) {
  if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    fprintf(stderr, "vellumar2-render: cannot create %s: %s\n", dir.c_str(), strerror(errno));
    return false;
  }
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    fprintf(stderr, "vellumar2-render: %s is not a directory\n", dir.c_str());
    return false;
  }
  return true;
}
