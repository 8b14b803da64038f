// Unpacking the data archive: archives made by Info-ZIP's zip, Python's zipfile and
// minizip's writer, hostile names, damaged members, the overwrite question, the clean-up.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <minizip/zip.h>

#include "assets/archive.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
  fs::create_directories(fs::path(path).parent_path().empty() ? "." : fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

std::string Noise(size_t size, uint32_t seed) {  // incompressible enough to span many reads
  std::string s(size, 0);
  for (char& c : s) c = (char)((seed = seed * 1664525u + 1013904223u) >> 24);
  return s;
}

bool Runs(const std::string& command) { return system(command.c_str()) == 0; }

// Works in a fresh directory, with report lines and answers going through temp files.
struct Workspace {
  std::string dir, previous = fs::current_path().string();
  FILE* out = tmpfile();
  FILE* in = tmpfile();
  explicit Workspace(const std::string& name, const std::string& answers = "")
      : dir(FreshDirectory(name)) {
    fs::current_path(dir);
    fputs(answers.c_str(), in);
    rewind(in);
    SetArchiveStreams(out, in);
  }
  ~Workspace() {
    SetArchiveStreams(nullptr, nullptr);
    fclose(out);
    fclose(in);
    fs::current_path(previous);
  }
  std::string Output() {
    fflush(out);
    std::string text;
    rewind(out);
    for (int c; (c = fgetc(out)) != EOF;) text += (char)c;
    return text;
  }
};

struct Member {
  std::string name, data;
  int method = Z_DEFLATED;
  bool raw = false;  // data is written as the stored bytes, with `crc` as the CRC
  uint32_t crc = 0;
  uint32_t size = 0;
};

void WriteZip(const std::string& path, const std::vector<Member>& members) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  for (const Member& m : members) {
    zip_fileinfo info = {};
    info.tmz_date = {22, 45, 13, 17, 4, 2019};  // 2019-05-17 13:45:22
    ASSERT_EQ(zipOpenNewFileInZip2(zip, m.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                   m.method, m.method ? Z_DEFAULT_COMPRESSION : 0, m.raw),
              ZIP_OK);
    zipWriteInFileInZip(zip, m.data.data(), (unsigned)m.data.size());
    if (m.raw)
      zipCloseFileInZipRaw(zip, m.size, m.crc);
    else
      zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
}

time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  struct tm t = {};
  t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
  t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second, t.tm_isdst = -1;
  return mktime(&t);
}

time_t ModifiedTime(const std::string& path) {
  struct stat info = {};
  stat(path.c_str(), &info);
  return info.st_mtime;
}

}  // namespace

TEST(Archive, ZipToolArchivesWithAndWithoutDirectoryEntries) {
  if (!Runs("command -v zip >/dev/null")) GTEST_SKIP() << "Info-ZIP zip not installed";
  std::string source = FreshDirectory("archive_source");
  std::string binary = Noise(30000, 7);
  WriteFile(source + "/text/a.txt", "hello\n");
  WriteFile(source + "/text/sub/b.bin", binary);
  WriteFile(source + "/maps/c.3ds", binary.substr(0, 100));
  WriteFile(source + "/top.txt", "top");
  Runs("cd " + source + " && touch -d '2019-05-17 13:45:22' text/a.txt text/sub/b.bin");
  // Deflated with directory entries; stored without them.
  Runs("cd " + source + " && zip -q -r with.zip text maps top.txt");
  Runs("cd " + source + " && zip -q -r -D -0 without.zip text maps top.txt");

  for (const char* archive : {"with.zip", "without.zip"}) {
    SCOPED_TRACE(archive);
    Workspace work("archive_tree");
    fs::copy_file(source + "/" + archive, "datas.vlo");
    EXPECT_EQ(UnpackArchive(), 0);
    std::string out = work.Output();
    EXPECT_EQ(ReadFile("text/a.txt"), "hello\n");
    EXPECT_EQ(ReadFile("text/sub/b.bin"), binary);
    EXPECT_EQ(ReadFile("maps/c.3ds"), binary.substr(0, 100));
    EXPECT_NE(out.find(" extracting: text/sub/b.bin\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("creating directory: text/sub/\n") != std::string::npos,
              std::string(archive) == "with.zip") << out;
    EXPECT_EQ(out.find("error"), std::string::npos) << out;
    EXPECT_EQ(ModifiedTime("text/sub/b.bin"), LocalTime(2019, 5, 17, 13, 45, 22));

    RemoveWorkDirectories();
    EXPECT_FALSE(fs::exists("text"));
    EXPECT_FALSE(fs::exists("maps"));
    EXPECT_TRUE(fs::exists("top.txt"));  // outside the working directories: stays
  }
}

TEST(Archive, PythonArchiveUnderTheZipNameWithHostileNames) {
  if (!Runs("test -x /usr/bin/python3")) GTEST_SKIP() << "python3 not installed";
  Workspace work("archive_python");
  std::string outside = FreshDirectory("archive_python_outside");
  WriteFile("make.py",
            "import zipfile\n"
            "with zipfile.ZipFile('datas.vlo.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
            "    z.writestr('text/x.txt', 'x' * 5000)\n"
            "    z.writestr(zipfile.ZipInfo('../py_escape.txt'), 'bad')\n"
            "    z.writestr(zipfile.ZipInfo('" + outside + "/abs.txt'), 'bad')\n"
            "    z.writestr('text/y.txt', 'y')\n");
  ASSERT_TRUE(Runs("/usr/bin/python3 make.py"));
  EXPECT_EQ(UnpackArchive(), 0);
  std::string out = work.Output();
  EXPECT_EQ(ReadFile("text/x.txt"), std::string(5000, 'x'));
  EXPECT_EQ(ReadFile("text/y.txt"), "y");  // refusals do not stop the extraction
  EXPECT_FALSE(fs::exists("../py_escape.txt"));
  EXPECT_FALSE(fs::exists(outside + "/abs.txt"));
  EXPECT_NE(out.find("skipping ../py_escape.txt: the name leads outside the current directory\n"),
            std::string::npos) << out;
}

TEST(Archive, NamesReachingOutsideAreRefused) {
  Workspace work("archive_hostile");
  std::string outside = FreshDirectory("archive_hostile_outside");
  WriteZip("datas.vlo", {{"../e1.txt", "bad"},
                         {"text/../../e2.txt", "bad"},
                         {"..\\e3.txt", "bad"},
                         {"text\\..\\..\\e4.txt", "bad"},
                         {"\\e5.txt", "bad"},
                         {outside + "/e6.txt", "bad"},
                         {"../evil/", ""},
                         {"text\\win.txt", "win"},
                         {"text/./ok..txt", "ok"}});
  EXPECT_EQ(UnpackArchive(), 0);
  std::string out = work.Output();
  for (const char* name : {"e1.txt", "e2.txt", "e3.txt", "e4.txt", "e5.txt", "evil"})
    EXPECT_FALSE(fs::exists(fs::path(work.dir).parent_path() / name)) << name;
  EXPECT_FALSE(fs::exists(outside + "/e6.txt"));
  EXPECT_FALSE(fs::exists("/e5.txt"));
  EXPECT_EQ(ReadFile("text/win.txt"), "win");  // a backslash separates directories
  EXPECT_EQ(ReadFile("text/ok..txt"), "ok");
  size_t refusals = 0;
  for (size_t at = 0; (at = out.find("skipping ", at)) != std::string::npos; at++) refusals++;
  EXPECT_EQ(refusals, 7u) << out;
}

TEST(Archive, OverwriteQuestion) {
  struct Case {
    const char* answers;
    const char* expected;  // contents of a, b, c afterwards: o = old, n = new
    int questions;
  } cases[] = {
      {"n y", "ono", 3},     // c meets the end of input: kept
      {"x A", "nnn", 2},     // x is asked again; A holds for b and c
      {"", "ooo", 3},        // no input at all
      {" Y\n\ty\nN", "nno", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    Workspace work("archive_overwrite", c.answers);
    for (const char* name : {"text/a.txt", "text/b.txt", "text/c.txt"}) WriteFile(name, "old");
    WriteZip("datas.vlo", {{"text/a.txt", "new"}, {"text/b.txt", "new"}, {"text/c.txt", "new"}});
    EXPECT_EQ(UnpackArchive(), 0);
    std::string out = work.Output();
    std::string expected = c.expected;
    const char* names[] = {"text/a.txt", "text/b.txt", "text/c.txt"};
    for (int i = 0; i < 3; i++)
      EXPECT_EQ(ReadFile(names[i]), expected[i] == 'n' ? "new" : "old") << names[i] << "\n" << out;
    int questions = 0;
    for (size_t at = 0; (at = out.find("Overwrite ? [y]es, [n]o, [A]ll: ", at)) != std::string::npos;
         at++)
      questions++;
    EXPECT_EQ(questions, c.questions) << out;
    EXPECT_NE(out.find("The file text/a.txt exist. Overwrite ? [y]es, [n]o, [A]ll: "),
              std::string::npos);
    if (std::string(c.answers).empty()) {
      EXPECT_NE(out.find("no answer: keeping the existing text/c.txt\n"), std::string::npos) << out;
    }
  }
}

TEST(Archive, DuplicateEntriesAskBeforeTheSecondCopy) {
  for (std::string answers : {"", "y"}) {
    Workspace work("archive_duplicates", answers);
    WriteZip("datas.vlo", {{"text/dup.txt", "first"}, {"text/dup.txt", "second"},
                           {"text/after.txt", "after"}});
    EXPECT_EQ(UnpackArchive(), 0);
    EXPECT_EQ(ReadFile("text/dup.txt"), answers.empty() ? "first" : "second");
    EXPECT_EQ(ReadFile("text/after.txt"), "after");
    RemoveWorkDirectories();
    EXPECT_FALSE(fs::exists("text"));
  }
}

TEST(Archive, DamagedMembersStopTheExtraction) {
  {  // CRC mismatch: the file is kept, nothing after it is extracted
    Workspace work("archive_crc");
    WriteZip("datas.vlo", {{"text/bad.txt", "payload", 0, true, 0x12345678, 7},
                           {"text/next.txt", "next"}});
    EXPECT_EQ(UnpackArchive(), 0);
    std::string out = work.Output();
    EXPECT_NE(out.find(" extracting: text/bad.txt\nerror -105 with zipfile in unzCloseCurrentFile\n"),
              std::string::npos) << out;
    EXPECT_EQ(ReadFile("text/bad.txt"), "payload");
    EXPECT_FALSE(fs::exists("text/next.txt"));
  }
  {  // undecodable deflate data
    Workspace work("archive_inflate");
    WriteZip("datas.vlo", {{"text/a.txt", "fine"},
                           {"text/bad.bin", std::string(64, '\xff'), Z_DEFLATED, true, 0, 1000},
                           {"text/next.txt", "next"}});
    EXPECT_EQ(UnpackArchive(), 0);
    std::string out = work.Output();
    EXPECT_NE(out.find("error -3 with zipfile in unzReadCurrentFile\n"), std::string::npos) << out;
    EXPECT_EQ(ReadFile("text/a.txt"), "fine");
    EXPECT_TRUE(fs::exists("text/bad.bin"));  // the partial file stays
    EXPECT_FALSE(fs::exists("text/next.txt"));
    RemoveWorkDirectories();
    EXPECT_FALSE(fs::exists("text"));
  }
}

TEST(Archive, DirectoryPartThatCannotBeCreated) {
  Workspace work("archive_blocked");
  WriteFile("blocker", "a file where a directory should be");
  WriteZip("datas.vlo", {{"blocker/sub/x.txt", "x"}, {"text/y.txt", "y"}});
  EXPECT_EQ(UnpackArchive(), 0);
  EXPECT_NE(work.Output().find("couldn't create directory blocker\n"
                               "error opening blocker/sub/x.txt\n extracting: text/y.txt\n"),
            std::string::npos) << work.Output();
  EXPECT_EQ(ReadFile("text/y.txt"), "y");

  EXPECT_EQ(MakeDirectoryPath(""), 0);
  EXPECT_EQ(MakeDirectoryPath("made/deep/er/"), 1);
  EXPECT_TRUE(fs::is_directory("made/deep/er"));
  EXPECT_EQ(MakeDirectoryPath("made/deep"), 1);  // existing prefixes are passed over
  EXPECT_EQ(MakeDirectoryPath("blocker/x"), 0);
}

TEST(Archive, CleanUpRemovesOnlyWhatThisRunExtracted) {
  std::string elsewhere = FreshDirectory("archive_cleanup_elsewhere");
  WriteFile(elsewhere + "/text/a.txt", "someone else's");
  {
    Workspace work("archive_cleanup");
    WriteFile("text/mine.txt", "a person's own file");
    WriteFile("Text/keep.txt", "another directory on this file system");
    WriteZip("datas.vlo", {{"text/a.txt", "a"}, {"text/sub/b.txt", "b"}, {"maps/m.bin", "m"},
                           {"pict/", ""}, {"pict/empty/", ""}});
    int before = ExtractedFileCount();  // other tests' runs are remembered too
    EXPECT_EQ(UnpackArchive(), 0);
    EXPECT_EQ(ExtractedFileCount(), before + 3);

    // From another directory the same names are other files: nothing of them goes.
    fs::current_path(elsewhere);
    RemoveWorkDirectories();
    EXPECT_EQ(ReadFile("text/a.txt"), "someone else's");
    fs::current_path(work.dir);

    RemoveWorkDirectories();
    EXPECT_EQ(ReadFile("text/mine.txt"), "a person's own file");
    EXPECT_FALSE(fs::exists("text/a.txt"));
    EXPECT_FALSE(fs::exists("text/sub"));
    EXPECT_FALSE(fs::exists("maps"));
    EXPECT_FALSE(fs::exists("pict"));
    EXPECT_TRUE(fs::exists("Text/keep.txt"));
    EXPECT_EQ(ExtractedFileCount(), before);

    // Missing working directories: the current directory and its files are untouched.
    fs::remove_all("text");
    RemoveWorkDirectories();
    EXPECT_EQ(fs::current_path().string(), work.dir);
    EXPECT_TRUE(fs::exists("datas.vlo"));
  }
}

TEST(Archive, SetFileDateTakesTheDosFieldsAsLocalTime) {
  Workspace work("archive_date");
  WriteFile("f", "x");
  // 2001-02-03 04:05:06: date (21 << 9 | 2 << 5 | 3), time (4 << 11 | 5 << 5 | 3)
  SetFileDate("f", (uint32_t)((21 << 9 | 2 << 5 | 3) << 16 | (4 << 11 | 5 << 5 | 3)));
  EXPECT_EQ(ModifiedTime("f"), LocalTime(2001, 2, 3, 4, 5, 6));
}

// Redirects the process's standard output and error to files, for the runs that end it.
static void RunToExit(const std::string& dir) {
  if (chdir(dir.c_str()) != 0) _exit(99);
  int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(out, 1);
  dup2(err, 2);
  UnpackArchive();
  _exit(0);
}

TEST(ArchiveDeathTest, NoReadableArchiveEndsWithStatusOne) {
  std::string absent = FreshDirectory("archive_absent");
  EXPECT_EXIT(RunToExit(absent), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(ReadFile(absent + "/stdout.txt"), "");
  EXPECT_EQ(ReadFile(absent + "/stderr.txt"), "");

  // A truncated archive has lost its central directory: it cannot be opened either.
  std::string truncated = FreshDirectory("archive_truncated");
  WriteZip(truncated + "/whole.zip", {{"text/a.txt", Noise(4000, 3)}});
  std::string bytes = ReadFile(truncated + "/whole.zip");
  WriteFile(truncated + "/datas.vlo", bytes.substr(0, bytes.size() / 2));
  EXPECT_EXIT(RunToExit(truncated), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(ReadFile(truncated + "/stdout.txt"), "");
  EXPECT_FALSE(fs::exists(truncated + "/text"));
}
