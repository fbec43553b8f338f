#include "support.h"

#include <fcntl.h>
#include <signal.h>
#include <iconv.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#ifndef ONDREL_BINARY_PATH
#error "ONDREL_BINARY_PATH must name the built tool"
#endif

std::string toShiftJis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
  std::string in = utf8;
  std::string out(in.size() * 2 + 16, '\0');
  char* inp = in.data();
  size_t inLeft = in.size();
  char* outp = out.data();
  size_t outLeft = out.size();
  if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) std::abort();
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/ondrel-test-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) std::abort();
  path = templ;
}

TempDir::~TempDir() {
  std::string command = "chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path.c_str());
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) std::abort();
}

bool readFileBytes(const std::string& path, std::string* bytes) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  bytes->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

bool fileExists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

static std::string slurpAndRemove(const std::string& path) {
  std::string bytes;
  readFileBytes(path, &bytes);
  unlink(path.c_str());
  return bytes;
}

namespace {

std::string toolBinary() {
  const char* binary = std::getenv("ONDREL_BINARY");
  return binary != nullptr && *binary != '\0' ? binary : ONDREL_BINARY_PATH;
}

// Starts `argv` in folder `dir` with standard input from `input` (or
// /dev/null when it is -1) and, when `fd3` is not -1, that descriptor as 3;
// `writeEnd`, the other end of its input pipe, is closed in the child. The
// parent's copies of the three are closed once the child has them, so the
// child sees the end of its input when the writer is done. Collects the exit status and both output streams. A run that takes over
// 60 s is killed (status -1).
RunResult runCaptured(std::vector<std::string> argv, const std::string& dir, int input, int fd3, int writeEnd,
                      std::vector<std::string> env) {
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);

  // The captured streams live beside the folder, not in it, so a test sees
  // only the files the tool made.
  const std::string outPath = dir + ".stdout";
  const std::string errPath = dir + ".stderr";
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int in = input >= 0 ? input : open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(127);
    if (writeEnd >= 0) close(writeEnd);
    if (fd3 >= 0) dup2(fd3, 3);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (std::string& setting : env) putenv(setting.data());
    execvp(cargv[0], cargv.data());
    _exit(127);
  }
  for (int fd : {input, fd3, writeEnd}) {
    if (fd >= 0) close(fd);
  }
  RunResult result{-1, "", ""};
  int wstatus = 0;
  for (int waited = 0;; ++waited) {
    pid_t done = waitpid(pid, &wstatus, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
      break;
    }
    if (done < 0 && errno != EINTR) break;
    if (waited == 6000) {
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      break;
    }
    usleep(10000);
  }
  result.out = slurpAndRemove(outPath);
  result.err = slurpAndRemove(errPath);
  return result;
}

}  // namespace

RunResult runOndrel(const std::vector<std::string>& args, const std::string& dir) {
  const char* runner = std::getenv("ONDREL_RUNNER");
  std::vector<std::string> argv;
  if (runner != nullptr && *runner != '\0') argv.push_back(runner);
  argv.push_back(toolBinary());
  argv.insert(argv.end(), args.begin(), args.end());
  return runCaptured(argv, dir, -1, -1, -1, {});
}

std::string consoleText(const std::string& text) {
  const char* runner = std::getenv("ONDREL_RUNNER");
  if (runner == nullptr || *runner == '\0') return text;
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

RunResult runOndrelFed(const std::vector<std::string>& args, const std::string& dir, const std::string& bytes,
                       Feed feed, const std::vector<std::string>& env) {
  const std::string fifo = dir + "/fifo";
  const std::string input = feed == Feed::kStdin ? "/dev/stdin" : feed == Feed::kFd3 ? "/dev/fd/3" : fifo;
  std::vector<std::string> argv = {toolBinary()};
  for (const std::string& a : args) argv.push_back(a == "IN" ? input : a);

  int pipeFds[2] = {-1, -1};
  if (feed == Feed::kFifo) {
    if (mkfifo(fifo.c_str(), 0600) != 0) std::abort();
  } else if (pipe(pipeFds) != 0) {
    std::abort();
  }
  std::fflush(nullptr);
  pid_t writer = fork();
  if (writer == 0) {
    // The writer ends, like any generator, when the reader goes away.
    signal(SIGPIPE, SIG_DFL);
    int fd = feed == Feed::kFifo ? open(fifo.c_str(), O_WRONLY) : pipeFds[1];
    if (feed != Feed::kFifo) close(pipeFds[0]);
    size_t done = 0;
    while (fd >= 0 && done < bytes.size()) {
      ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
      if (put <= 0) _exit(1);
      done += static_cast<size_t>(put);
    }
    _exit(0);
  }
  const RunResult result = runCaptured(argv, dir, feed == Feed::kStdin ? pipeFds[0] : -1,
                                       feed == Feed::kFd3 ? pipeFds[0] : -1, pipeFds[1], env);
  int wstatus = 0;
  kill(writer, SIGKILL);  // a FIFO writer may still wait for a reader
  waitpid(writer, &wstatus, 0);
  return result;
}
