// Helpers shared by the tests: Shift_JIS encoding through the C library's
// iconv, temporary folders, whole-file reads and writes, and running the
// real ondrel binary with its streams captured.
#pragma once

#include <string>
#include <vector>

// `utf8` encoded as code page 932 by iconv(3): an oracle independent of the
// program's own byte tables.
std::string toShiftJis(const std::string& utf8);

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path;
  std::string file(const std::string& name) const { return path + "/" + name; }
};

void writeFileBytes(const std::string& path, const std::string& bytes);
bool readFileBytes(const std::string& path, std::string* bytes);
bool fileExists(const std::string& path);

struct RunResult {
  int status;       // the exit status (0..255), or -1 if the process did not exit normally
  std::string out;  // bytes written to standard output
  std::string err;  // bytes written to standard error
};

// Runs ondrel with `args` in folder `dir`, standard input from /dev/null.
// The binary is the one built with the tests, or $ONDREL_BINARY; a non-empty
// $ONDREL_RUNNER (e.g. "wine") is run with the binary as its first argument.
// A run that takes over 60 s is killed (status -1).
RunResult runOndrel(const std::vector<std::string>& args, const std::string& dir);

// Standard-stream line ends of the binary under test: "\r\n" when it is a
// Windows build (ONDREL_RUNNER set), "\n" otherwise.
std::string consoleText(const std::string& text);

// How runOndrelFed hands the bytes to the tool.
enum class Feed {
  kStdin,  // a pipe on standard input; the tool is given /dev/stdin
  kFd3,    // a pipe on descriptor 3, as a shell's <(gen) passes it; the tool is given /dev/fd/3
  kFifo,   // the named FIFO dir/fifo, made here; the tool is given its path as the input
};

// Runs ondrel like runOndrel while another process writes `bytes` into a
// pipe or FIFO, as `gen | ondrel ...` would. `args` names the input as
// "IN", replaced by the path the feed gives. `env` holds extra NAME=value
// settings for the tool. A run that takes over 60 s is killed (status -1):
// a tool that opened a FIFO twice would wait for a writer forever.
RunResult runOndrelFed(const std::vector<std::string>& args, const std::string& dir, const std::string& bytes,
                       Feed feed, const std::vector<std::string>& env = {});
