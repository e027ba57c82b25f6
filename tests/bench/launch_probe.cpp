// Starts a command and watches it from outside, the way a stopwatch would:
//
//   launch_probe [options] -- command [arguments...]
//     --file PATH          time until PATH exists (a file the game writes)
//     --window TITLE       time until a viewable top-level window named TITLE
//                          shows a pixel that is not black (its first frame)
//     --track COMM         the process whose memory and processor time count:
//                          the first descendant whose name begins with COMM
//                          (default: the command itself)
//     --cpu-from MS --cpu-to MS
//                          processor time of the tracked process between
//                          these two moments after the start
//     --cpu-also PID       the same window for another process (wineserver)
//     --timeout-ms MS      give up after MS; the command's process group is
//                          then ended
//
// Prints key=value lines: event_ms, exit, peak_rss_kb, cpu_ms, cpu_wall_ms,
// also_cpu_ms. Times are from just before the command is started.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Options {
  std::string file;
  std::string window;
  std::string track;
  long cpuFromMs = -1;
  long cpuToMs = -1;
  pid_t cpuAlso = 0;
  long timeoutMs = 120000;
  std::vector<char*> command;
};

double NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

void Pause(long microseconds) {
  const timespec pause{0, microseconds * 1000};
  nanosleep(&pause, nullptr);
}

bool ParseOptions(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (name == "--file") options.file = value;
    else if (name == "--window") options.window = value;
    else if (name == "--track") options.track = value;
    else if (name == "--cpu-from") options.cpuFromMs = std::atol(value);
    else if (name == "--cpu-to") options.cpuToMs = std::atol(value);
    else if (name == "--cpu-also") options.cpuAlso = static_cast<pid_t>(std::atol(value));
    else if (name == "--timeout-ms") options.timeoutMs = std::atol(value);
    else return false;
  }
  for (++i; i < argc; ++i) options.command.push_back(argv[i]);
  options.command.push_back(nullptr);
  return options.command.size() > 1;
}

// Fields of /proc/<pid>/stat after the name: state is [0], ppid [1].
std::vector<std::string> StatFields(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t end = text.rfind(')');
  std::vector<std::string> fields;
  if (end == std::string::npos) return fields;
  std::istringstream rest(text.substr(end + 2));
  for (std::string field; rest >> field;) fields.push_back(field);
  return fields;
}

std::string ProcessName(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(file, name);
  return name;
}

// User plus system time in milliseconds; nullopt when the process is gone.
std::optional<double> CpuMs(pid_t pid) {
  const std::vector<std::string> fields = StatFields(pid);
  if (fields.size() < 13) return std::nullopt;
  const double ticks = std::atof(fields[11].c_str()) + std::atof(fields[12].c_str());
  return ticks * 1000.0 / sysconf(_SC_CLK_TCK);
}

long PeakRssKb(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

bool DescendsFrom(pid_t pid, pid_t ancestor) {
  for (int depth = 0; depth < 32 && pid > 1; ++depth) {
    if (pid == ancestor) return true;
    const std::vector<std::string> fields = StatFields(pid);
    if (fields.size() < 2) return false;
    pid = static_cast<pid_t>(std::atol(fields[1].c_str()));
  }
  return false;
}

pid_t FindTracked(pid_t child, const std::string& prefix) {
  if (prefix.empty()) return child;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  pid_t found = 0;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
    if (pid <= 0 || ProcessName(pid).rfind(prefix, 0) != 0) continue;
    if (DescendsFrom(pid, child)) {
      found = pid;
      break;
    }
  }
  closedir(proc);
  return found;
}

// Windows come and go while they are looked at: a request about one that has
// just gone fails, which only means it does not count.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// A top-level window named `title` that is viewable and shows a pixel that
// is not black.
class cWindowWatch {
 public:
  explicit cWindowWatch(const std::string& title) : title_(title) {
    XSetErrorHandler(&IgnoreXError);
    display_ = XOpenDisplay(nullptr);
  }
  ~cWindowWatch() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  bool Ready() const { return display_ != nullptr; }

  bool Painted() {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) == 0) return false;
    bool painted = false;
    for (unsigned i = 0; i < count && !painted; ++i) painted = Matches(children[i]) && ShowsSomething(children[i]);
    if (children != nullptr) XFree(children);
    return painted;
  }

 private:
  bool Matches(Window window) {
    char* name = nullptr;
    if (XFetchName(display_, window, &name) == 0 || name == nullptr) return false;
    const bool same = title_ == name;
    XFree(name);
    if (!same) return false;
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display_, window, &attributes) != 0 && attributes.map_state == IsViewable;
  }

  bool ShowsSomething(Window window) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, window, &attributes) == 0) return false;
    XImage* image = XGetImage(display_, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    bool lit = false;
    for (int y = 0; y < image->height && !lit; ++y) {
      for (int x = 0; x < image->width && !lit; ++x) lit = (XGetPixel(image, x, y) & 0xffffff) != 0;
    }
    XDestroyImage(image);
    return lit;
  }

  Display* display_ = nullptr;
  std::string title_;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: launch_probe [--file PATH | --window TITLE] [--track COMM] "
                         "[--cpu-from MS --cpu-to MS] [--cpu-also PID] [--timeout-ms MS] -- command...\n");
    return 2;
  }
  std::optional<cWindowWatch> watch;
  if (!options.window.empty()) {
    watch.emplace(options.window);
    if (!watch->Ready()) {
      std::fprintf(stderr, "launch_probe: no X display\n");
      return 2;
    }
  }

  const double start = NowMs();
  const pid_t child = fork();
  if (child < 0) return 2;
  if (child == 0) {
    setpgid(0, 0);
    execvp(options.command[0], options.command.data());
    _exit(127);
  }
  setpgid(child, child);

  double eventMs = -1;
  pid_t tracked = 0;
  long peakRssKb = -1;
  std::optional<double> cpuAtFrom, alsoAtFrom, cpuAtTo, alsoAtTo;
  double fromWall = 0, toWall = 0;
  int status = 0;
  bool exited = false;
  bool timedOut = false;
  const bool wantsEvent = !options.file.empty() || watch.has_value();
  for (long pass = 0;; ++pass) {
    const double now = NowMs() - start;
    if (wantsEvent && eventMs < 0) {
      const bool seen = !options.file.empty() ? access(options.file.c_str(), F_OK) == 0 : watch->Painted();
      if (seen) eventMs = NowMs() - start;
    }
    if (pass % 10 == 0) {
      if (tracked == 0) tracked = FindTracked(child, options.track);
      if (tracked != 0) peakRssKb = std::max(peakRssKb, PeakRssKb(tracked));
    }
    if (options.cpuFromMs >= 0 && !cpuAtFrom && now >= options.cpuFromMs && tracked != 0) {
      fromWall = now;
      cpuAtFrom = CpuMs(tracked);
      if (options.cpuAlso > 0) alsoAtFrom = CpuMs(options.cpuAlso);
    }
    if (cpuAtFrom && !cpuAtTo && now >= options.cpuToMs) {
      toWall = now;
      cpuAtTo = CpuMs(tracked);
      if (options.cpuAlso > 0) alsoAtTo = CpuMs(options.cpuAlso);
    }
    if (waitpid(child, &status, WNOHANG) == child) {
      exited = true;
      break;
    }
    if (now > options.timeoutMs) {
      timedOut = true;
      kill(-child, SIGKILL);
      waitpid(child, &status, 0);
      break;
    }
    // Fine steps while an event is awaited, coarse ones otherwise; the
    // window is asked for less often, as each look is a round trip.
    if (wantsEvent && eventMs < 0) Pause(watch ? 1000 : 500);
    else Pause(5000);
  }

  if (wantsEvent) std::printf("event_ms=%.2f\n", eventMs);
  if (exited && WIFEXITED(status)) std::printf("exit=%d\n", WEXITSTATUS(status));
  if (timedOut) std::printf("exit=timeout\n");
  std::printf("peak_rss_kb=%ld\n", peakRssKb);
  if (cpuAtFrom && cpuAtTo) {
    std::printf("cpu_ms=%.1f\ncpu_wall_ms=%.1f\n", *cpuAtTo - *cpuAtFrom, toWall - fromWall);
    if (alsoAtFrom && alsoAtTo) std::printf("also_cpu_ms=%.1f\n", *alsoAtTo - *alsoAtFrom);
  }
  return 0;
}
