// The file layer on Windows: the C runtime's low-level I/O, always in binary
// mode, with paths passed unchanged as bytes of the ANSI code page.
#include "platform.h"

#include <climits>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#ifdef __MINGW32__
// The command line is split as Microsoft's C runtime splits it, without
// wildcard expansion: a '*' or '?' stays part of the argument, and the tool
// still sees exactly the two arguments it was given.
extern "C" {
int _dowildcard = 0;
}
#endif

namespace {

// The C runtime counts bytes of one call in an int.
constexpr std::size_t kLargestTransfer = 1u << 30;

}  // namespace

int openForReading(const char* path, FileHandle* file) {
  const int fd = _open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) return -1;
  // Windows refuses to open a folder this way already; the check keeps a
  // folder an input that cannot be opened whatever the runtime does.
  struct _stat64 info;
  if (_fstat64(fd, &info) != 0 || (info.st_mode & _S_IFMT) == _S_IFDIR) {
    _close(fd);
    return -1;
  }
  file->fd = fd;
  return 0;
}

int openForWriting(const char* path, FileHandle* file) {
  const int fd = _open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd < 0) return -1;
  file->fd = fd;
  return 0;
}

long readFromFile(FileHandle* file, unsigned char* buffer, std::size_t capacity) {
  if (capacity > kLargestTransfer) capacity = kLargestTransfer;
  const int got = _read(file->fd, buffer, static_cast<unsigned int>(capacity));
  return got < 0 ? -1 : static_cast<long>(got);
}

int writeToFile(FileHandle* file, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const std::size_t part = size < kLargestTransfer ? size : kLargestTransfer;
    // A short count without an error means the disk is full; the next call
    // then writes nothing and the loop ends in failure.
    const int put = _write(file->fd, data, static_cast<unsigned int>(part));
    if (put <= 0) return -1;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return 0;
}

int closeFile(FileHandle* file) {
  const int fd = file->fd;
  file->fd = -1;
  return _close(fd) == 0 ? 0 : -1;
}

int isSameFile(const FileHandle* file, const char* path) {
  // A file is the same file when its volume and its index on the volume
  // agree, whatever name, hard link or symbolic link reached it.
  const HANDLE open = reinterpret_cast<HANDLE>(_get_osfhandle(file->fd));
  if (open == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION openInfo;
  if (!GetFileInformationByHandle(open, &openInfo)) return 0;
  // Attributes only, sharing everything, so the check never stands in the
  // way of the open that follows; backup semantics let it open folders too.
  const HANDLE other = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (other == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION pathInfo;
  const BOOL known = GetFileInformationByHandle(other, &pathInfo);
  CloseHandle(other);
  return known && openInfo.dwVolumeSerialNumber == pathInfo.dwVolumeSerialNumber &&
         openInfo.nFileIndexHigh == pathInfo.nFileIndexHigh && openInfo.nFileIndexLow == pathInfo.nFileIndexLow;
}
