// Times one run of a program from outside: launches it with its standard
// output on a pipe, notes when its frame-rate lines arrive, stops it, and
// prints one line of figures:
//
//   startup_ms=  launch to the first frame-rate line (with --exit: to the exit)
//   first_ms=    1000 / the first figure printed (the program's own start-up)
//   frame_ms=    median of 1000 / figure over the frames after --skip
//   rss_mb=      peak resident memory (the kernel's high-water mark)
//   cpu=         CPU seconds per wall second over --cpu-seconds, if asked
//
// A frame-rate line holds a number alone ("25", "33.3333", "inf").
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct SOptions {
  std::string sDir = ".";
  std::string sAfter;  // frame lines count only after a line starting with this
  int iFrames = 20;
  int iSkip = 3;
  double fCpuSeconds = 0;
  double fTimeout = 120;
  bool bUntilExit = false;
  char** ppCommand = nullptr;
};

void Usage(FILE* to) {
  std::fprintf(to,
               "Usage: vantrel-bench-launch [options] -- PROGRAM [ARGS...]\n"
               "Runs PROGRAM, times its start-up and frames from outside, stops it and\n"
               "prints: startup_ms first_ms frame_ms rss_mb cpu.\n\n"
               "Options:\n"
               "  --dir DIR          working directory of the program (default .)\n"
               "  --frames N         stop after N frame-rate lines (default 20)\n"
               "  --skip K           leave the first K frames out of frame_ms (default 3)\n"
               "  --after TEXT       count frame lines only after a line starting with TEXT\n"
               "  --cpu-seconds S    after the skipped frames, measure CPU use over S seconds\n"
               "  --exit             wait for the program to end; startup_ms is launch to exit\n"
               "  --timeout S        give up after S seconds (default 120)\n"
               "  -h, --help         show this help\n");
}

bool ParseOptions(int argc, char** argv, SOptions& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--") {
      if (i + 1 >= argc) return false;
      o.ppCommand = argv + i + 1;
      return true;
    } else if (a == "-h" || a == "--help") {
      Usage(stdout);
      std::exit(0);
    } else if (a == "--exit") {
      o.bUntilExit = true;
    } else if (a == "--dir" && hasValue) {
      o.sDir = argv[++i];
    } else if (a == "--after" && hasValue) {
      o.sAfter = argv[++i];
    } else if (a == "--frames" && hasValue) {
      o.iFrames = std::atoi(argv[++i]);
    } else if (a == "--skip" && hasValue) {
      o.iSkip = std::atoi(argv[++i]);
    } else if (a == "--cpu-seconds" && hasValue) {
      o.fCpuSeconds = std::atof(argv[++i]);
    } else if (a == "--timeout" && hasValue) {
      o.fTimeout = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "vantrel-bench-launch: unknown option or missing value: %s\n", a.c_str());
      return false;
    }
  }
  return false;
}

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

bool IsFrameLine(const std::string& line, double& figure) {
  if (line == "inf") {
    figure = INFINITY;
    return true;
  }
  if (line.empty() || line.find_first_not_of("0123456789.e+-") != std::string::npos) return false;
  char* end = nullptr;
  figure = std::strtod(line.c_str(), &end);
  return *end == '\0';
}

// User plus system time of all the process's threads, in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t close = text.rfind(')');  // the command name may hold spaces
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double utime = 0, stime = 0;
  for (int k = 3; k <= 15 && fields >> field; ++k) {
    if (k == 14) utime = std::atof(field.c_str());
    if (k == 15) stime = std::atof(field.c_str());
  }
  return (utime + stime) / (double)sysconf(_SC_CLK_TCK);
}

pid_t Start(const SOptions& o, int& readEnd) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    close(fds[0]);
    close(fds[1]);
    if (chdir(o.sDir.c_str()) != 0) _exit(126);
    execvp(o.ppCommand[0], o.ppCommand);
    _exit(127);
  }
  close(fds[1]);
  readEnd = fds[0];
  return pid;
}

double Median(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  SOptions o;
  if (!ParseOptions(argc, argv, o)) {
    Usage(stderr);
    return 2;
  }

  int out = -1;
  double start = Now();
  pid_t pid = Start(o, out);
  if (pid < 0) {
    std::perror("vantrel-bench-launch: cannot start the program");
    return 1;
  }

  bool counting = o.sAfter.empty();
  std::vector<double> frames;  // milliseconds of work, from the printed figures
  double firstSeen = NAN, cpu = NAN, cpuStart = 0, wallStart = 0;
  bool exited = false, timedOut = false;
  std::string pending;
  char chunk[65536];
  for (;;) {
    if (!o.bUntilExit && (int)frames.size() >= o.iFrames && !(o.fCpuSeconds > 0 && std::isnan(cpu))) break;
    if (Now() - start > o.fTimeout) {
      timedOut = true;
      break;
    }
    // CPU use is measured while the program runs idle, past its first frames.
    if (o.fCpuSeconds > 0 && (int)frames.size() >= o.iSkip) {
      if (wallStart == 0) {
        wallStart = Now();
        cpuStart = CpuSeconds(pid);
      } else if (std::isnan(cpu) && Now() - wallStart >= o.fCpuSeconds) {
        cpu = (CpuSeconds(pid) - cpuStart) / (Now() - wallStart);
      }
    }
    pollfd p = {out, POLLIN, 0};
    if (poll(&p, 1, 10) <= 0) continue;
    ssize_t got = read(out, chunk, sizeof chunk);
    if (got <= 0) {
      exited = true;
      break;
    }
    double when = Now();
    pending.append(chunk, (size_t)got);
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      double figure = 0;
      if (!counting) {
        counting = line.compare(0, o.sAfter.size(), o.sAfter) == 0;
      } else if (IsFrameLine(line, figure)) {
        if (frames.empty()) firstSeen = when;
        frames.push_back(1000.0 / figure);
      }
    }
  }
  double end = Now();

  if (!exited) kill(pid, SIGKILL);
  int status = 0;
  rusage usage;
  wait4(pid, &status, 0, &usage);
  if (o.bUntilExit) {
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "vantrel-bench-launch: %s did not finish cleanly\n", o.ppCommand[0]);
      return 1;
    }
    firstSeen = end;
  } else if ((int)frames.size() < o.iFrames) {
    std::fprintf(stderr, "vantrel-bench-launch: %s printed %zu of %d frame lines\n", o.ppCommand[0],
                 frames.size(), o.iFrames);
    return 1;
  }

  std::vector<double> steady;
  for (size_t k = (size_t)o.iSkip; k < frames.size(); ++k) steady.push_back(frames[k]);
  std::printf("startup_ms=%.1f first_ms=%.1f frame_ms=%.2f rss_mb=%.1f cpu=%.3f\n",
              (firstSeen - start) * 1000, frames.empty() ? NAN : frames[0], Median(steady),
              usage.ru_maxrss / 1024.0, cpu);
  return 0;
}
