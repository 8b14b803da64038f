// assets/archive.h - unpacking the data archive and removing what it unpacked.
//
// Owns: the extraction driver around minizip's reading interface (which archive, where
// each entry goes, existing files, missing directories, the report lines), the record of
// the files this run wrote, and the clean-up of the working directories "maps", "pict"
// and "text" after loading.
//
// Reads: "datas.vlo" (or "datas.vlo.zip") in the current directory; the answer to the
// overwrite question from the input stream (standard input by default). Writes one
// printf-style report line per event to the output stream (standard output by default);
// the lines are the program's interface to whoever redirects its output, so their texts
// are fixed.
//
// Entry names are untrusted: absolute names and names with a ".." component are refused
// with a report line, and backslashes count as directory separators, as they do for the
// archive's makers. Nothing an entry names is written outside the current directory.
//
// Called by: the asset manifest (UnpackArchive before anything is loaded,
// RemoveWorkDirectories after the last object is loaded); tests.
#pragma once

#include <cstdint>
#include <cstdio>

#include <minizip/unzip.h>

enum {
  ArchiveCopyBufferSize = 8192,
  ArchiveNameBufferSize = 256,  // bytes including the terminating zero; longer names are cut
  ArchiveAllocationFailed = -104,
};

// Unpacks every entry of "datas.vlo" (or "datas.vlo.zip") into the current directory, in
// the archive's order, and stops at the first entry that fails. Returns 0 when it ran
// through. When neither archive can be opened the program ends with exit status 1.
int UnpackArchive();

// Extracts the archive's current entry. `overwriteAll` is set when the user answers A and
// then suppresses the question for later entries. Returns a minizip status (0 = go on).
int ExtractEntry(unzFile archive, int* overwriteAll);

// Creates every directory of `path` that does not exist yet. 1 on success, 0 on failure
// (with "couldn't create directory %s" on the output stream).
int MakeDirectoryPath(const char* path);

// Sets the file's modification time from a DOS date (high 16 bits) and time (low 16 bits)
// taken as local time. The access time is kept; a Linux file has no creation time.
void SetFileDate(const char* path, uint32_t dosDateTime);

// Deletes the files this run extracted into the directory `name` (relative to the current
// directory), then the directories under it that are left empty, then `name` itself if it
// is empty. Files nobody extracted stay. A missing directory changes nothing.
void RemoveWorkDirectory(const char* name);
// RemoveWorkDirectory for "maps", "pict" and "text", in this order.
void RemoveWorkDirectories();

// Where report lines go and where the overwrite answer comes from; null restores standard
// output and standard input.
void SetArchiveStreams(FILE* output, FILE* input);

// Number of files the run extracted that the clean-up has not deleted yet.
int ExtractedFileCount();
