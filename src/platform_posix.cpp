#include "platform.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openForReading(const char* path, FileHandle* file) {
  int fd;
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return -1;
  }
  file->fd = fd;
  return 0;
}

int openForWriting(const char* path, FileHandle* file) {
  int fd;
  do {
    fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  file->fd = fd;
  return 0;
}

long readFromFile(FileHandle* file, unsigned char* buffer, std::size_t capacity) {
  if (capacity > static_cast<std::size_t>(LONG_MAX)) capacity = static_cast<std::size_t>(LONG_MAX);
  for (;;) {
    ssize_t got = read(file->fd, buffer, capacity);
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

int writeToFile(FileHandle* file, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    ssize_t put = write(file->fd, data, size);
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

int closeFile(FileHandle* file) {
  int fd = file->fd;
  file->fd = -1;
  // A close interrupted by a signal has still released the descriptor on
  // Linux; retrying could close another file.
  if (close(fd) != 0 && errno != EINTR) return -1;
  return 0;
}

int isSameFile(const FileHandle* file, const char* path) {
  struct stat open_info;
  struct stat path_info;
  if (fstat(file->fd, &open_info) != 0) return 0;
  if (stat(path, &path_info) != 0) return 0;
  return open_info.st_dev == path_info.st_dev && open_info.st_ino == path_info.st_ino;
}
