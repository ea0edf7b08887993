// velmora-cli apply against a fleet of simulated devices on 127.0.0.1:
// the wall time of N devices against one device's write+verify, the apply
// process's peak RSS and CPU time per device (from wait4), and a soak of
// several runs in one apply process against devices with random faults.
// Prints "key value..." lines for bench/run.
//
//   bench_fleet --cli PATH --devsim PATH --work DIR [--devices N] [--jobs J]
//               [--repeat R] [--soak RUNS --random-faults P:SEED]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "fleet/provision_plan.h"
#include "sim/builtin_image.h"

using velmora::strprintf;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

[[noreturn]] void die(const std::string& why) {
  std::fprintf(stderr, "bench_fleet: %s\n", why.c_str());
  std::exit(1);
}

pid_t spawn(const std::vector<std::string>& args, int outFd, int errFd) {
  const pid_t pid = fork();
  if (pid < 0) die("fork failed");
  if (pid == 0) {
    if (outFd >= 0) dup2(outFd, 1);
    if (errFd >= 0) dup2(errFd, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

struct Finished {
  int status = -1;
  double wallMs = 0;
  long maxRssKb = 0;
  double cpuMs = 0;
};

// Runs to its end within limit (then killed): status, wall time, rusage.
Finished runChild(const std::vector<std::string>& args, const std::string& errFile, std::chrono::seconds limit) {
  const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const auto t0 = Clock::now();
  const pid_t pid = spawn(args, null, err);
  close(err);
  close(null);
  Finished f;
  for (;;) {
    int status = 0;
    rusage usage{};
    const pid_t r = wait4(pid, &status, WNOHANG, &usage);
    if (r == pid) {
      f.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      f.maxRssKb = usage.ru_maxrss;
      f.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
      return f;
    }
    if (Clock::now() - t0 > limit) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return f;
    }
    usleep(2000);
  }
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<Bytes> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// velmora-devsim --count N until the end of the object.
struct Fleet {
  // Ports below the system's ephemeral range: a run leaves thousands of
  // its own connections in TIME-WAIT on ephemeral ports, and a block of
  // 200 consecutive free ones is then hard to find there.
  Fleet(const std::string& devsim, int count, const std::string& saveDir, const std::string& faults) {
    for (int base = 20000; base + count < 32768 && ports.empty(); base += count + 50) start(devsim, count, saveDir, faults, base);
    if (static_cast<int>(ports.size()) < count) die("velmora-devsim did not start");
  }
  void start(const std::string& devsim, int count, const std::string& saveDir, const std::string& faults, int base) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) die("pipe failed");
    std::vector<std::string> args = {devsim, "--tcp", strprintf("127.0.0.1:%d", base), "--count", std::to_string(count)};
    if (!saveDir.empty()) args.insert(args.end(), {"--save", saveDir + "/dev-%d.vmc"});
    if (!faults.empty()) args.insert(args.end(), {"--random-faults", faults});
    pid = spawn(args, out[1], -1);
    close(out[1]);
    std::string text;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (static_cast<int>(ports.size()) < count && Clock::now() < deadline) {
      pollfd p{out[0], POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) continue;
      char chunk[4096];
      const ssize_t n = read(out[0], chunk, sizeof chunk);
      if (n <= 0) break;
      text.append(chunk, static_cast<size_t>(n));
      ports.clear();
      std::istringstream lines(text);
      for (std::string kind, where; lines >> kind >> where;)
        if (kind == "tcp") ports.push_back(where);
    }
    close(out[0]);
    if (static_cast<int>(ports.size()) == count) return;
    ports.clear();  // a port of the block was taken: another block
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }
  ~Fleet() {
    if (pid < 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
  pid_t pid = -1;
  std::vector<std::string> ports;
};

// A plan of the first count devices: each its own IP and server port. Two
// variants, so that every run of a repeat changes each device (a device that
// holds its plan already is only read).
std::string planOf(const Fleet& fleet, int count, int variant = 0) {
  std::string csv = "target,ip,server1_port\n";
  for (int i = 0; i < count; ++i)
    csv += strprintf("tcp:%s,%d.%d.%d.%d,%d\n", fleet.ports[static_cast<size_t>(i)].c_str(), 10 + variant,
                     i / 65536, i / 256 % 256, i % 256, 4000 + i);
  return csv;
}

std::vector<std::string> applyArgs(const std::string& cli, const std::string& plan, const std::string& templ,
                                   int jobs, const std::string& report) {
  return {cli, "--quiet", "apply", plan, "--template", templ, "--verify", "--jobs", std::to_string(jobs), "--report",
          report};
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// "result":"ok" (or "unchanged": the device held its plan already) lines
// of a report, by run and row.
struct ReportCount {
  std::map<int, int> ok, failed, lines;         // by run
  std::map<int, std::map<int, bool>> okByRow;   // run -> row -> ok
};

ReportCount countReport(const std::string& path) {
  ReportCount c;
  std::istringstream in(readText(path));
  for (std::string line; std::getline(in, line);) {
    int run = 0, row = 0;
    const size_t r = line.find("\"run\":");
    if (r != std::string::npos) run = std::atoi(line.c_str() + r + 6);
    const size_t w = line.find("\"row\":");
    if (w != std::string::npos) row = std::atoi(line.c_str() + w + 6);
    const bool ok = line.find("\"result\":\"ok\"") != std::string::npos ||
                    line.find("\"result\":\"unchanged\"") != std::string::npos;
    ++c.lines[run];
    ++(ok ? c.ok : c.failed)[run];
    c.okByRow[run][row] = ok;
  }
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  std::string cli, devsim, work, faults;
  int devices = 200, jobs = 200, repeat = 3, soak = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i], v = argv[i + 1];
    if (a == "--cli") cli = v;
    else if (a == "--devsim") devsim = v;
    else if (a == "--work") work = v;
    else if (a == "--devices") devices = std::atoi(v.c_str());
    else if (a == "--jobs") jobs = std::atoi(v.c_str());
    else if (a == "--repeat") repeat = std::atoi(v.c_str());
    else if (a == "--soak") soak = std::atoi(v.c_str());
    else if (a == "--random-faults") faults = v;
    else die("unknown option " + a);
  }
  if (cli.empty() || devsim.empty() || work.empty() || devices < 1) die("needs --cli, --devsim and --work");
  signal(SIGPIPE, SIG_IGN);

  const Bytes templateImage = velmora::sim::builtinImage();
  const std::string templ = work + "/template.vmc";
  std::ofstream(templ, std::ios::binary).write(reinterpret_cast<const char*>(templateImage.data()),
                                               static_cast<std::streamsize>(templateImage.size()));
  const std::string report = work + "/report.jsonl", err = work + "/apply.err";
  constexpr auto kLimit = std::chrono::seconds(600);

  if (soak == 0) {
    // No --save: devsim syncs every saved file to disk on its one thread,
    // and 200 of those at once would time the disk, not apply.
    Fleet fleet(devsim, devices, "", "");
    const std::string one = work + "/one.csv", all = work + "/all.csv", image = work + "/read.vmc";
    std::vector<double> single, wall, rss, cpu, again, read;
    for (int r = 0; r < repeat; ++r) {
      // Every device differs from its plan at each start: each one is read, written and verified.
      std::ofstream(one) << planOf(fleet, 1, r % 2);
      std::ofstream(all) << planOf(fleet, devices, r % 2);
      const Finished s = runChild(applyArgs(cli, one, templ, 1, report), err, kLimit);
      if (s.status != 0) die("one device failed: " + readText(err));
      single.push_back(s.wallMs);
      const Finished f = runChild(applyArgs(cli, all, templ, jobs, report), err, kLimit);
      if (f.status != 0) die("the fleet failed: " + readText(err));
      wall.push_back(f.wallMs);
      rss.push_back(static_cast<double>(f.maxRssKb));
      cpu.push_back(f.cpuMs / devices);
      // The same plan again: nothing to change, every device only read.
      const Finished a = runChild(applyArgs(cli, all, templ, jobs, report), err, kLimit);
      if (a.status != 0) die("the second run failed: " + readText(err));
      again.push_back(a.wallMs);
      const Finished d = runChild({cli, "--quiet", "--tcp", fleet.ports[0], "read", image}, err, kLimit);
      if (d.status != 0) die("one device's read failed: " + readText(err));
      read.push_back(d.wallMs);
    }
    std::printf("single_ms %.0f\nfleet_ms %.0f\nratio %.3f\npeak_rss_kb %.0f\ncpu_ms_per_device %.2f\n",
                median(single), median(wall), median(wall) / median(single), median(rss), median(cpu));
    std::printf("again_ms %.0f\nread_ms %.0f\nagain_ratio %.3f\n", median(again), median(read),
                median(again) / median(read));
    std::printf("samples single_ms");
    for (double v : single) std::printf(" %.0f", v);
    std::printf("; fleet_ms");
    for (double v : wall) std::printf(" %.0f", v);
    std::printf("; peak_rss_kb");
    for (double v : rss) std::printf(" %.0f", v);
    std::printf("; again_ms");
    for (double v : again) std::printf(" %.0f", v);
    std::printf("; read_ms");
    for (double v : read) std::printf(" %.0f", v);
    std::printf("\n");
    return 0;
  }

  // The soak: every run in one apply process, against faults.
  Fleet fleet(devsim, devices, work, faults);
  const std::string all = work + "/all.csv";
  const std::string csv = planOf(fleet, devices);
  std::ofstream(all) << csv;
  std::vector<std::string> args = applyArgs(cli, all, templ, jobs, report);
  args.insert(args.end(), {"--runs", std::to_string(soak)});
  // --quiet keeps the failed devices' lines and the runs' summaries.
  const Finished f = runChild(args, err, kLimit);
  if (f.status < 0) die("the soak did not end: " + readText(err));
  // "run K of N: ok X, failed Y, not reached Z, RSS R kB"
  std::vector<long> runRss;
  std::istringstream lines(readText(err));
  for (std::string line; std::getline(lines, line);) {
    long rssKb = 0;
    int k = 0, n = 0, ok = 0, failed = 0, missing = 0;
    if (std::sscanf(line.c_str(), "run %d of %d: ok %d, failed %d, not reached %d, RSS %ld kB", &k, &n, &ok, &failed,
                    &missing, &rssKb) == 6)
      runRss.push_back(rssKb);
  }
  const ReportCount counts = countReport(report);
  int unreported = 0;
  std::string perRun;
  for (int run = 1; run <= soak; ++run) {
    unreported += devices - (counts.lines.count(run) ? counts.lines.at(run) : 0);
    perRun += strprintf(" %d/%d", counts.ok.count(run) ? counts.ok.at(run) : 0, devices);
  }
  // Every device the last run reported ok holds exactly its planned bytes.
  const velmora::ParsedPlan plan = velmora::parsePlan(csv);
  int wrong = 0, checked = 0;
  if (counts.okByRow.count(soak))
    for (const auto& [row, ok] : counts.okByRow.at(soak)) {
      if (!ok) continue;
      ++checked;
      const velmora::DeviceImage planned = velmora::deviceImage(templateImage, plan.rows.at(static_cast<size_t>(row - 1)));
      const auto saved = readBytes(work + strprintf("/dev-%d.vmc", row - 1));
      if (!saved || *saved != planned.image) ++wrong;
    }
  std::printf("soak_runs %d\nsoak_status %d\nsoak_ok_per_run%s\nsoak_unreported %d\nsoak_ok_checked %d\n"
              "soak_ok_wrong_bytes %d\n",
              soak, f.status, perRun.c_str(), unreported, checked, wrong);
  std::printf("soak_rss_kb");
  for (long v : runRss) std::printf(" %ld", v);
  std::printf("\nsoak_rss_growth %.3f\n",
              runRss.size() >= 2 && runRss.front() > 0 ? static_cast<double>(runRss.back()) / runRss.front() - 1.0 : -1.0);
  std::printf("soak_wall_ms %.0f\n", f.wallMs);
  return 0;
}
