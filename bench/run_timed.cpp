// Runs a command several times and prints the median wall time in seconds,
// the median processor time (user + system) in seconds and the median peak
// resident set size in KiB:
//   ondrel_run_timed RUNS REMOVE_FIRST COMMAND [ARGS...]
// REMOVE_FIRST (a path, or "-" for none) is deleted before every run, so
// that truncating the previous output is not part of the time. Exits 1 if
// any run fails. The command's standard output and error are discarded.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: ondrel_run_timed RUNS REMOVE_FIRST COMMAND [ARGS...]\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const char* removeFirst = std::strcmp(argv[2], "-") == 0 ? nullptr : argv[2];
  std::vector<double> seconds;
  std::vector<double> cpuSeconds;
  std::vector<long> peakKib;
  bool failed = false;
  for (int run = 0; run < runs; ++run) {
    if (removeFirst != nullptr) unlink(removeFirst);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
      // The command's own output is not wanted; only the figures are.
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execvp(argv[3], argv + 3);
      _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return 1;
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    cpuSeconds.push_back(static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6);
    peakKib.push_back(static_cast<long>(usage.ru_maxrss));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = true;
  }
  std::sort(seconds.begin(), seconds.end());
  std::sort(cpuSeconds.begin(), cpuSeconds.end());
  std::sort(peakKib.begin(), peakKib.end());
  const std::size_t middle = seconds.size() / 2;
  std::printf("%.6f %.6f %ld\n", seconds[middle], cpuSeconds[middle], peakKib[middle]);
  return failed ? 1 : 0;
}
