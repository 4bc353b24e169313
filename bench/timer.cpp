// Runs one command and prints "WALL CPU KIB": wall seconds, user + system CPU seconds
// to the microsecond as the kernel's wait4 gives them (not rounded to a clock tick),
// and the peak memory of the largest process. With --all it also waits for every
// process the command left behind (it becomes their reaper), so that work a program
// hands to a process of its own, such as the removal of an old catalogue, is inside
// the timing and the CPU too.
//   bench_timer -o FILE [--all] CMD ARGS...   (the line goes to FILE; the command's
//                                             output is its own)
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  bool all = false;
  const char* out = nullptr;
  if (argc > 2 && std::strcmp(argv[1], "-o") == 0) {
    out = argv[2];
    first = 3;
  }
  if (first < argc && std::strcmp(argv[first], "--all") == 0) {
    all = true;
    ++first;
  }
  if (!out || first >= argc) {
    std::fprintf(stderr, "usage: bench_timer -o FILE [--all] CMD ARGS...\n");
    return 2;
  }
  // Orphans of the command come to us instead of to init, so we can wait for them.
  if (all && ::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
    std::perror("prctl");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("fork");
    return 2;
  }
  if (child == 0) {
    ::execvp(argv[first], argv + first);
    std::perror(argv[first]);
    ::_exit(127);
  }
  double cpu = 0;
  long maxKib = 0;
  int status = 0, result = 0;
  for (;;) {
    int st = 0;
    rusage usage{};
    const pid_t done = ::wait4(all ? -1 : child, &st, 0, &usage);
    if (done < 0) {
      if (errno == EINTR) continue;
      break;  // ECHILD: nobody is left
    }
    cpu += Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    if (usage.ru_maxrss > maxKib) maxKib = usage.ru_maxrss;
    if (done == child) {
      status = st;
      if (!all) break;
    }
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (std::FILE* f = std::fopen(out, "w")) {
    std::fprintf(f, "%.6f %.6f %ld\n", wall, cpu, maxKib);
    std::fclose(f);
  }
  if (WIFEXITED(status)) result = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result = 128 + WTERMSIG(status);
  return result;
}
