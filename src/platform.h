// The only place that talks to the operating system: opening, reading,
// writing and closing files by byte-string path. Everything else in the
// program is plain code over memory buffers.
#pragma once

#include <cstddef>

struct FileHandle {
  int fd;
};

// Opens `path` for reading in binary; the text-mode rule of the input is
// applied by the sample-text reader itself. Returns 0, or -1 when the file
// cannot be opened (missing, not readable, or a directory).
int openForReading(const char* path, FileHandle* file);

// Creates `path`, or truncates it if it exists, for writing in binary.
// Returns 0, or -1 when it cannot be created (also when it is a directory).
int openForWriting(const char* path, FileHandle* file);

// Reads up to `capacity` bytes. Returns the number read, 0 at the end of the
// file, or -1 on a read error (never mistaken for the end).
long readFromFile(FileHandle* file, unsigned char* buffer, std::size_t capacity);

// Writes all `size` bytes. Returns 0, or -1 if any of them could not be written.
int writeToFile(FileHandle* file, const unsigned char* data, std::size_t size);

// Closes the file. Returns 0, or -1 when the close reports an error (on some
// file systems a failed write shows only here).
int closeFile(FileHandle* file);

// Returns 1 when `path` names the file that `file` has open (by any
// spelling, symbolic link or hard link), 0 otherwise.
int isSameFile(const FileHandle* file, const char* path);
