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
//
// An input that is not a regular file (a pipe, a named FIFO, a terminal)
// can be read only once, so each pass cannot open it for itself: its first
// open also creates an anonymous temporary file, and every byte read from it
// is copied there. Once that handle is closed, the next open of a path that
// names the same input opens nothing: it returns the copy, from its start.
// Memory stays constant; the copy vanishes when the process ends. If the
// temporary file cannot be created, the input cannot be opened (-1).
int openForReading(const char* path, FileHandle* file);

// Creates `path`, or truncates it if it exists, for writing in binary.
// Returns 0, or -1 when it cannot be created (also when it is a directory).
int openForWriting(const char* path, FileHandle* file);

// Reads up to `capacity` bytes. Returns the number read, 0 at the end of the
// file, or -1 on a read error (never mistaken for the end), which includes
// failing to copy the bytes of a once-only input.
long readFromFile(FileHandle* file, unsigned char* buffer, std::size_t capacity);

// Writes all `size` bytes. Returns 0, or -1 if any of them could not be written.
int writeToFile(FileHandle* file, const unsigned char* data, std::size_t size);

// Closes the file. Returns 0, or -1 when the close reports an error (on some
// file systems a failed write shows only here).
int closeFile(FileHandle* file);

// Returns 1 when `path` names the file that `file` has open (by any
// spelling, symbolic link or hard link), 0 otherwise. For the copy of a
// once-only input, the comparison is with that input, not with the copy.
int isSameFile(const FileHandle* file, const char* path);
