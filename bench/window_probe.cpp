// bench_window_probe: starts a program on an X display and reports, from
// outside, when its first top-level window was mapped and when the first
// pixels were drawn into it; optionally its resident memory and CPU use a
// while later. Then it ends the program.
//
//   bench_window_probe [--timeout-ms N] [--settle-ms N] [--idle-ms N] -- PROGRAM [ARGS...]
//
// Output, one "key value" a line:
//   map_ms    from fork to the MapNotify of the program's window
//   paint_ms  from fork to the first drawing inside that window after it was
//             mapped (DAMAGE on the root window, so nothing can slip in
//             between the window's creation and our interest in it)
//   rss_kb    VmRSS of the program settle-ms after paint (with --settle-ms)
//   cpu_pct   CPU time of all its threads over idle-ms, as a percentage of
//             one core (with --idle-ms; measured after the settle time)
//
// The display must be a private one (Xvfb started for the benchmark): the
// window is recognised by _NET_WM_PID, and no window manager is expected.
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  int timeoutMs = 20000;
  int settleMs = -1;
  int idleMs = -1;
  std::vector<char*> command;  // null-terminated for execvp
};

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr,
               "bench_window_probe: %s\n"
               "usage: bench_window_probe [--timeout-ms N] [--settle-ms N] [--idle-ms N] -- PROGRAM [ARGS...]\n",
               why);
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (i + 1 >= argc) usage("missing value");
    const int v = std::atoi(argv[i + 1]);
    if (a == "--timeout-ms")
      o.timeoutMs = v;
    else if (a == "--settle-ms")
      o.settleMs = v;
    else if (a == "--idle-ms")
      o.idleMs = v;
    else
      usage("unknown option");
    ++i;
  }
  if (i >= argc) usage("no program given");
  for (; i < argc; ++i) o.command.push_back(argv[i]);
  o.command.push_back(nullptr);
  return o;
}

double msSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

long statusKb(pid_t pid, const char* key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const size_t n = std::strlen(key);
  while (std::getline(in, line))
    if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':') return std::atol(line.c_str() + n + 1);
  return -1;
}

// Nanoseconds on a CPU, summed over the process's threads (schedstat is
// exact where utime/stime count whole clock ticks).
long long cpuNs(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = ::opendir(tasks.c_str());
  if (!dir) return -1;
  long long sum = 0;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream in(tasks + "/" + e->d_name + "/schedstat");
    long long ns = 0;
    if (in >> ns) sum += ns;
  }
  ::closedir(dir);
  return sum;
}

void endChild(pid_t pid) {
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 300; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

uint32_t windowPid(xcb_connection_t* c, xcb_window_t w, xcb_atom_t pidAtom) {
  Reply<xcb_get_property_reply_t> r(
      xcb_get_property_reply(c, xcb_get_property(c, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr), &std::free);
  if (!r || xcb_get_property_value_length(r.get()) < 4) return 0;
  return *static_cast<uint32_t*>(xcb_get_property_value(r.get()));
}

bool intersects(const xcb_rectangle_t& a, int x, int y, int w, int h) {
  return a.x < x + w && x < a.x + a.width && a.y < y + h && y < a.y + a.height;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse(argc, argv);

  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "bench_window_probe: cannot open the display\n");
    return 1;
  }
  const xcb_setup_t* setup = xcb_get_setup(c);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
  const xcb_window_t root = it.data->root;

  const xcb_query_extension_reply_t* damageExt = xcb_get_extension_data(c, &xcb_damage_id);
  if (!damageExt || !damageExt->present) {
    std::fprintf(stderr, "bench_window_probe: the display has no DAMAGE extension\n");
    return 1;
  }
  Reply<xcb_damage_query_version_reply_t> version(
      xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr), &std::free);
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
  // Every drawing on the screen, windows included, as raw rectangles.
  const xcb_damage_damage_t damage = xcb_generate_id(c);
  xcb_damage_create(c, damage, root, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
  Reply<xcb_intern_atom_reply_t> pidAtom(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 11, "_NET_WM_PID"), nullptr), &std::free);
  if (!pidAtom) return 1;
  // A round trip: the event mask and the damage object are in place before
  // the program can draw anything.
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

  const Clock::time_point t0 = Clock::now();
  const pid_t child = ::fork();
  if (child < 0) return 1;
  if (child == 0) {
    // Should the probe itself be killed (a time-out), the program goes too.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The fork's moment, for a bench program that reports its own phases.
    const auto t0ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t0.time_since_epoch()).count();
    ::setenv("BENCH_PROBE_T0_NS", std::to_string(t0ns).c_str(), 1);
    ::execvp(options.command[0], options.command.data());
    std::perror("bench_window_probe: exec");
    ::_exit(127);
  }

  xcb_window_t window = XCB_NONE;
  int wx = 0, wy = 0, ww = 0, wh = 0;
  double mapMs = -1, paintMs = -1;
  const int fd = xcb_get_file_descriptor(c);
  while (paintMs < 0) {
    const double left = options.timeoutMs - msSince(t0);
    if (left <= 0) break;
    xcb_generic_event_t* ev = xcb_poll_for_event(c);
    if (!ev) {
      if (xcb_connection_has_error(c)) break;
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(left) + 1);
      if (::waitpid(child, nullptr, WNOHANG) == child) {
        std::fprintf(stderr, "bench_window_probe: the program ended before showing a window\n");
        return 1;
      }
      continue;
    }
    const uint8_t type = ev->response_type & 0x7F;
    if (type == XCB_MAP_NOTIFY && window == XCB_NONE) {
      const auto* m = reinterpret_cast<xcb_map_notify_event_t*>(ev);
      if (m->event == root && !m->override_redirect && windowPid(c, m->window, pidAtom->atom) == uint32_t(child)) {
        const double at = msSince(t0);
        Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, m->window), nullptr),
                                          &std::free);
        if (g) {
          window = m->window;
          mapMs = at;
          wx = g->x;
          wy = g->y;
          ww = g->width;
          wh = g->height;
        }
      }
    } else if (type == damageExt->first_event + XCB_DAMAGE_NOTIFY && window != XCB_NONE) {
      const auto* d = reinterpret_cast<xcb_damage_notify_event_t*>(ev);
      if (intersects(d->area, wx, wy, ww, wh)) paintMs = msSince(t0);
    } else if (type == XCB_CONFIGURE_NOTIFY && window != XCB_NONE) {
      const auto* cfg = reinterpret_cast<xcb_configure_notify_event_t*>(ev);
      if (cfg->window == window) {
        wx = cfg->x;
        wy = cfg->y;
        ww = cfg->width;
        wh = cfg->height;
      }
    }
    std::free(ev);
  }
  if (paintMs < 0) {
    std::fprintf(stderr, "bench_window_probe: no window painted within %d ms\n", options.timeoutMs);
    endChild(child);
    return 1;
  }
  std::printf("map_ms %.1f\npaint_ms %.1f\n", mapMs, paintMs);
  std::fflush(stdout);
  // Nothing more is read from the display: stop the damage reports.
  xcb_damage_destroy(c, damage);
  xcb_flush(c);

  if (options.settleMs >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(options.settleMs));
    std::printf("rss_kb %ld\n", statusKb(child, "VmRSS"));
    std::fflush(stdout);
  }
  if (options.idleMs > 0) {
    const long long before = cpuNs(child);
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(options.idleMs));
    const long long after = cpuNs(child);
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    std::printf("cpu_pct %.3f\n", 100.0 * static_cast<double>(after - before) / ns);
  }
  endChild(child);
  xcb_disconnect(c);
  return 0;
}
