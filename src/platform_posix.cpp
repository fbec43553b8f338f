#include "platform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An input that can be read only once (a pipe, a FIFO, a terminal, a
// device) is copied, while the validation pass reads it, into an anonymous
// temporary file; the conversion pass then reads that copy instead of
// opening the input again (a second open of a FIFO would wait for a writer
// that never comes, and a pipe has nothing left to give).
struct InputCopy {
  int sourceFd;  // the input being copied, while it is open; -1 otherwise
  int copyFd;    // the copy, from the first open until the second is closed; -1 otherwise
  dev_t device;  // the identity of the input, for the second open and the same-file check
  ino_t inode;
};

InputCopy gCopy = {-1, -1, 0, 0};

int retryOpen(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// An unnamed file in $TMPDIR (or /tmp): it has no name to clean up, and the
// system frees it when the process ends, however it ends.
int createAnonymousFile() {
  const char* folder = std::getenv("TMPDIR");
  if (folder == nullptr || *folder == '\0') folder = "/tmp";
  int fd = retryOpen(folder, O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  // File systems without unnamed files: create a unique name and remove it
  // at once.
  static const char kPattern[] = "/ondrel-XXXXXX";
  char name[PATH_MAX];
  const std::size_t length = std::strlen(folder);
  if (length + sizeof kPattern > sizeof name) return -1;
  std::memcpy(name, folder, length);
  std::memcpy(name + length, kPattern, sizeof kPattern);
  fd = mkostemp(name, O_CLOEXEC);
  if (fd < 0) return -1;
  unlink(name);
  return fd;
}

long readSome(int fd, unsigned char* buffer, std::size_t capacity) {
  if (capacity > static_cast<std::size_t>(LONG_MAX)) capacity = static_cast<std::size_t>(LONG_MAX);
  for (;;) {
    ssize_t got = read(fd, buffer, capacity);
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

int writeAll(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    ssize_t put = write(fd, data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (put == 0) return -1;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return 0;
}

// Whether `path` names the input that was copied: then the copy is read
// in its place. Looking at the path opens nothing.
bool namesCopiedInput(const char* path) {
  struct stat info;
  if (gCopy.copyFd < 0 || gCopy.sourceFd >= 0) return false;
  if (stat(path, &info) != 0) return false;
  return info.st_dev == gCopy.device && info.st_ino == gCopy.inode;
}

}  // namespace

int openForReading(const char* path, FileHandle* file) {
  if (namesCopiedInput(path)) {
    if (lseek(gCopy.copyFd, 0, SEEK_SET) != 0) return -1;
    file->fd = gCopy.copyFd;
    return 0;
  }
  const int fd = retryOpen(path, O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return -1;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    // Without a place for the copy the input could be read only once: it
    // is an input this run cannot open.
    const int copy = createAnonymousFile();
    if (copy < 0) {
      close(fd);
      return -1;
    }
    if (gCopy.copyFd >= 0) close(gCopy.copyFd);
    gCopy.sourceFd = fd;
    gCopy.copyFd = copy;
    gCopy.device = info.st_dev;
    gCopy.inode = info.st_ino;
  }
  file->fd = fd;
  return 0;
}

int openForWriting(const char* path, FileHandle* file) {
  const int fd = retryOpen(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  file->fd = fd;
  return 0;
}

long readFromFile(FileHandle* file, unsigned char* buffer, std::size_t capacity) {
  const long got = readSome(file->fd, buffer, capacity);
  // Bytes that could not be kept for the second pass count as not read.
  if (got > 0 && file->fd == gCopy.sourceFd &&
      writeAll(gCopy.copyFd, buffer, static_cast<std::size_t>(got)) != 0) {
    return -1;
  }
  return got;
}

int writeToFile(FileHandle* file, const unsigned char* data, std::size_t size) {
  return writeAll(file->fd, data, size);
}

int closeFile(FileHandle* file) {
  int fd = file->fd;
  file->fd = -1;
  if (fd == gCopy.sourceFd) gCopy.sourceFd = -1;  // the copy waits for the second open
  if (fd == gCopy.copyFd) gCopy.copyFd = -1;      // the second pass is done with it
  // A close interrupted by a signal has still released the descriptor on
  // Linux; retrying could close another file.
  if (close(fd) != 0 && errno != EINTR) return -1;
  return 0;
}

int isSameFile(const FileHandle* file, const char* path) {
  struct stat open_info;
  struct stat path_info;
  if (stat(path, &path_info) != 0) return 0;
  if (file->fd == gCopy.copyFd) {
    // The copy stands in for the input: compare with the input itself.
    return path_info.st_dev == gCopy.device && path_info.st_ino == gCopy.inode;
  }
  if (fstat(file->fd, &open_info) != 0) return 0;
  return open_info.st_dev == path_info.st_dev && open_info.st_ino == path_info.st_ino;
}
