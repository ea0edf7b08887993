// velmora-cli apply as built against velmora-devsim: a fleet on 127.0.0.1
// with one silent device, a plan that is refused before any device is
// reached, and the serial bench over two ptys one after the other.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/text.h"
#include "fleet/provision_plan.h"
#include "tests/support/child_process.h"
#include "tests/support/process_test_helpers.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::string kCli = VELMORA_CLI_PATH, kDevsim = VELMORA_DEVSIM_PATH;
constexpr auto kLimit = 60s;  // only a hang meets it, even under the sanitizers

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<Json> reportLines(const std::string& path) {
  std::vector<Json> out;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) out.push_back(Json::parse(line));
  return out;
}

// The template: what a simulated device holds, read with velmora-cli.
Bytes readTemplate(const std::string& tcp, const std::string& path) {
  const RunResult r = runToEnd(kCli, {"--quiet", "--tcp", tcp, "read", path}, kLimit);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return readWholeFile(path).value_or(Bytes{});
}

// What the plan's row should leave on the device, computed apart from apply.
Bytes planned(const Bytes& templateImage, const std::string& csv, size_t row) {
  const velmora::ParsedPlan plan = velmora::parsePlan(csv);
  EXPECT_TRUE(plan.ok) << plan.error.text();
  const velmora::DeviceImage image = velmora::deviceImage(templateImage, plan.rows.at(row));
  EXPECT_TRUE(image.ok) << image.error.text();
  return image.image;
}

}  // namespace

TEST(ApplyProcess, TwentyDevicesOneSilentNineteenVerifiedWithTheirOwnSettings) {
  TempDir dir{"velmora_apply"};
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--count", "20", "--save", dir / "dev-%d.vmc", "--fault-device",
                         "7", "--drop", "all"}))
      << sim.errorOutput();
  const Bytes templateImage = readTemplate(sim.endpoint("tcp", 0), dir / "template.vmc");
  ASSERT_FALSE(templateImage.empty());
  fs::remove(dir / "dev-0.vmc");  // the read wrote nothing, but be sure

  // Every device its own address, IP and server port; every fourth one its
  // data port's speed as well, so rows differ in which units they touch.
  std::string csv = "target,set_address,ip,server1_port,serial2_baud\n";
  for (int i = 0; i < 20; ++i)
    csv += velmora::strprintf("%s,%d,10.0.%d.%d,%d,%s\n", ("tcp:" + sim.endpoint("tcp", i)).c_str(), 20 + i, i / 4,
                              i + 1, 4000 + i, i % 4 == 0 ? "57600" : "");
  writeText(dir / "plan.csv", csv);

  const RunResult r = runToEnd(kCli,
                               {"apply", dir / "plan.csv", "--template", dir / "template.vmc", "--verify", "--jobs",
                                "8", "--report", dir / "report.jsonl"},
                               kLimit);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(has(r.err, "apply: ok 19, failed 1, not reached 0 of 20 devices")) << r.err;
  EXPECT_TRUE(r.out.empty()) << "the report went to its file";

  const std::vector<Json> report = reportLines(dir / "report.jsonl");
  ASSERT_EQ(report.size(), 20u);
  std::set<int> rows;
  for (const Json& line : report) {
    const int row = line["row"];
    rows.insert(row);
    const std::string target = line["target"];
    EXPECT_EQ(target, "tcp:" + sim.endpoint("tcp", static_cast<size_t>(row - 1)));
    EXPECT_GT(line["seconds"].get<double>(), 0.0);
    if (row == 8) {
      EXPECT_EQ(line["result"], "failed");
      EXPECT_EQ(line["attempts"], 2) << "tried once more";
      EXPECT_TRUE(has(line["reason"], "no address report")) << line.dump();
      EXPECT_TRUE(line["serial"].is_null());
    } else {
      EXPECT_EQ(line["result"], "ok") << line.dump();
      EXPECT_EQ(line["reason"], "");
      EXPECT_EQ(line["serial"], "20.24.6.17") << "the serial number the device returned";
    }
  }
  EXPECT_EQ(rows.size(), 20u) << "each row once";

  // The bytes each device took are the template with its own row put in.
  for (size_t i = 0; i < 20; ++i) {
    const auto saved = readWholeFile(dir / velmora::strprintf("dev-%zu.vmc", i));
    if (i == 7) {
      EXPECT_FALSE(saved) << "the silent device was given nothing";
      continue;
    }
    ASSERT_TRUE(saved) << i;
    EXPECT_EQ(*saved, planned(templateImage, csv, i)) << "device " << i;
  }
  EXPECT_EQ(sim.stop(), 0) << sim.errorOutput();
}

TEST(ApplyProcess, APlanThatIsRefusedReachesNoDevice) {
  TempDir dir{"velmora_apply"};
  Devsim sim(kDevsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--count", "2", "--save", dir / "dev-%d.vmc", "--log"}))
      << sim.errorOutput();
  const Bytes templateImage = readTemplate(sim.endpoint("tcp", 0), dir / "template.vmc");
  const std::string t0 = "tcp:" + sim.endpoint("tcp", 0), t1 = "tcp:" + sim.endpoint("tcp", 1);
  const std::string before = sim.errorOutput();

  struct Case {
    std::string csv, templateFile, reportFile, message;
  };
  const std::vector<Case> cases = {
      {"target,ip\n" + t0 + ",10.0.0.1\n" + t1 + ",10.0.0.256\n", "template.vmc", "",
       "row 2, column ip: must be four dotted numbers 0-255"},
      {"target,colour\n" + t0 + ",red\n", "template.vmc", "", "header, column colour: unknown column"},
      // The second row needs a data port the template does not have.
      {"target,serial9_baud\n" + t0 + ",\n" + t1 + ",19200\n", "template.vmc", "", "row 2, column serial9_baud"},
      {"target\n" + t0 + "\n", "missing.vmc", "", "missing.vmc"},
      {"target\n" + t0 + "\n", "template.vmc", "no-such-dir/report.jsonl", "--report: cannot write"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    writeText(dir / "plan.csv", c.csv);
    Args args = {"apply", dir / "plan.csv", "--template", dir / c.templateFile};
    if (!c.reportFile.empty()) args.insert(args.end(), {"--report", dir / c.reportFile});
    const RunResult r = runToEnd(kCli, args, kLimit);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_TRUE(has(r.err, c.message)) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  EXPECT_FALSE(fs::exists(dir / "dev-0.vmc"));
  EXPECT_FALSE(fs::exists(dir / "dev-1.vmc"));
  // The template's read was the only link the devices saw.
  EXPECT_EQ(sim.errorOutput(), before) << "a link was made for a refused plan";
  EXPECT_FALSE(templateImage.empty());
  EXPECT_EQ(sim.stop(), 0);
}

TEST(ApplyProcess, TheBenchTakesTwoDevicesOneAfterTheOtherOnOnePort) {
  TempDir dir{"velmora_apply"};
  // One bench port whose device is replaced, as a plugged-in adapter stays
  // while devices are changed behind it: a link under /dev/ (the serial
  // path rule) that is pointed at each simulated device's pty in turn.
  const std::string port = velmora::strprintf("/dev/shm/velmora-bench-%d", static_cast<int>(::getpid()));
  struct Unlink {
    std::string path;
    ~Unlink() { ::unlink(path.c_str()); }
  } unlinkPort{port};
  auto pointAt = [&](const std::string& pty) {
    const std::string next = port + ".next";
    ::unlink(next.c_str());
    ASSERT_EQ(::symlink(pty.c_str(), next.c_str()), 0) << std::strerror(errno);
    ASSERT_EQ(::rename(next.c_str(), port.c_str()), 0) << std::strerror(errno);
  };

  Devsim first(kDevsim), second(kDevsim);
  ASSERT_TRUE(first.start({"--pty", "--address", "4", "--save", dir / "first.vmc"})) << first.errorOutput();
  pointAt(first.endpoint("pty"));

  Devsim source(kDevsim);
  ASSERT_TRUE(source.start({"--tcp", "127.0.0.1:0"}));
  const Bytes templateImage = readTemplate(source.endpoint("tcp"), dir / "template.vmc");
  source.stop();
  const std::string csv = "target,set_address,ip\nserial:/dev/ttyUSB0,31,10.1.0.31\nserial:/dev/ttyUSB0,32,10.1.0.32\n";
  writeText(dir / "plan.csv", csv);

  Child cli;
  ASSERT_TRUE(cli.spawn(kCli, {"apply", dir / "plan.csv", "--template", dir / "template.vmc", "--bench", port,
                               "--poll-ms", "50", "--report", dir / "report.jsonl"}));
  const auto deadline = Clock::now() + kLimit;
  ASSERT_TRUE(cli.collect(deadline, [&](const std::string&) { return has(cli.err, "next device"); })) << cli.err;
  EXPECT_TRUE(has(cli.err, "ok     row 1 ")) << cli.err;
  // The first device is taken away; once the bench has seen it go, the
  // second one is attached.
  EXPECT_EQ(first.stop(), 0);
  ASSERT_TRUE(cli.collect(deadline, [&](const std::string&) { return has(cli.err, "row 2: waiting"); })) << cli.err;
  ASSERT_TRUE(second.start({"--pty", "--save", dir / "second.vmc"})) << second.errorOutput();
  pointAt(second.endpoint("pty"));
  cli.collect(deadline);
  EXPECT_EQ(cli.reap(deadline), 0) << cli.err;
  EXPECT_TRUE(has(cli.err, "apply: ok 2, failed 0, not reached 0 of 2 devices")) << cli.err;

  EXPECT_EQ(readWholeFile(dir / "first.vmc"), planned(templateImage, csv, 0));
  EXPECT_EQ(readWholeFile(dir / "second.vmc"), planned(templateImage, csv, 1));
  const std::vector<Json> report = reportLines(dir / "report.jsonl");
  ASSERT_EQ(report.size(), 2u);
  EXPECT_EQ(std::make_pair(report[0]["row"].get<int>(), report[0]["result"].get<std::string>()),
            std::make_pair(1, std::string("ok")));
  EXPECT_EQ(std::make_pair(report[1]["row"].get<int>(), report[1]["result"].get<std::string>()),
            std::make_pair(2, std::string("ok")));
  EXPECT_EQ(report[0]["serial"], "20.24.6.17");
  EXPECT_EQ(second.stop(), 0);
}

TEST(ApplyProcess, CtrlCOnTheBenchLeavesTheReportOfWhatWasDone) {
  TempDir dir{"velmora_apply"};
  Devsim device(kDevsim);
  ASSERT_TRUE(device.start({"--pty", "--tcp", "127.0.0.1:0"})) << device.errorOutput();
  readTemplate(device.endpoint("tcp"), dir / "template.vmc");
  writeText(dir / "plan.csv", "target\nserial:/dev/ttyUSB0\nserial:/dev/ttyUSB0\nserial:/dev/ttyUSB0\n");

  Child cli;
  ASSERT_TRUE(cli.spawn(kCli, {"apply", dir / "plan.csv", "--template", dir / "template.vmc", "--bench",
                               device.endpoint("pty"), "--poll-ms", "50", "--report", dir / "report.jsonl",
                               // The device holds the template already: written blind, it still counts as ok.
                               "--no-read-first"}));
  const auto deadline = Clock::now() + kLimit;
  ASSERT_TRUE(cli.collect(deadline, [&](const std::string&) { return has(cli.err, "next device"); })) << cli.err;
  // The device stays: the bench waits for it to go, until Ctrl-C.
  cli.signal(SIGINT);
  cli.collect(deadline);
  EXPECT_EQ(cli.reap(deadline), 1) << cli.err;
  EXPECT_TRUE(has(cli.err, "apply: ok 1, failed 0, not reached 2 of 3 devices")) << cli.err;
  EXPECT_TRUE(has(cli.err, "(interrupted)")) << cli.err;
  const std::vector<Json> report = reportLines(dir / "report.jsonl");
  ASSERT_EQ(report.size(), 1u);
  EXPECT_EQ(report[0]["result"], "ok");
  EXPECT_EQ(device.stop(), 0);
}
