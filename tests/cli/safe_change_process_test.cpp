// A change an engineer can trust, with velmora-cli and velmora-devsim as
// built over TCP and a pty: read first, nothing written when nothing
// differs, a backup of what the device held, a dry run, a rollback of a
// write that did not verify, and apply run twice.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/process_test_helpers.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::string kCli = VELMORA_CLI_PATH, kDevsim = VELMORA_DEVSIM_PATH;
constexpr auto kLimit = 30s;  // only a hang meets it, even under the sanitizers

RunResult cli(const Args& args) { return runToEnd(kCli, args, kLimit); }

// Five data ports (1..5) at 9600 8N1, their protocol flags set by variant.
Bytes portImage(uint8_t variant) {
  Bytes image;
  for (int u = 0; u < 5; ++u) {
    const Bytes unit{1, static_cast<uint8_t>(u + 1), 0, 0, 0x25, 0x80, 0x80, static_cast<uint8_t>(variant + u)};
    image.insert(image.end(), unit.begin(), unit.end());
  }
  return image;
}

std::vector<std::string> backupsIn(const std::string& folder) {
  std::vector<std::string> found;
  if (fs::exists(folder))
    for (const auto& e : fs::directory_iterator(folder)) found.push_back(e.path().string());
  return found;
}

}  // namespace

class SafeChange : public ::testing::TestWithParam<std::string> {
 protected:
  void start(const Args& faults = {}) {
    writeWholeFile(dir / "device.vmc", portImage(1));
    ASSERT_TRUE(sim.start(Args{"--tcp", "127.0.0.1:0", "--pty", "--image", dir / "device.vmc", "--save",
                               dir / "saved.vmc"} + faults))
        << sim.errorOutput();
    link = GetParam() == "tcp" ? Args{"--tcp", sim.endpoint("tcp")} : Args{"--serial", sim.endpoint("pty")};
  }
  TempDir dir{"velmora_safe"};
  Devsim sim{kDevsim};
  Args link;
};

INSTANTIATE_TEST_SUITE_P(Links, SafeChange, ::testing::Values("tcp", "pty"));

TEST_P(SafeChange, AnIdenticalWriteSendsNoWritePacketAndADryRunChangesNothing) {
  start();
  const std::string backups = dir / "backups";
  RunResult r = cli(link + Args{"--trace", "--quiet", "write", dir / "device.vmc", "--backup-dir", backups, "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Json::parse(r.out)["result"], "unchanged") << r.out;
  EXPECT_TRUE(has(r.err, "read request")) << "it read first: " << r.err;
  EXPECT_FALSE(has(r.err, "write packet")) << r.err;
  EXPECT_FALSE(fs::exists(dir / "saved.vmc")) << "nothing was stored";
  EXPECT_TRUE(backupsIn(backups).empty()) << "nothing to back up when nothing changes";

  writeWholeFile(dir / "new.vmc", portImage(9));
  r = cli(link + Args{"--quiet", "write", dir / "new.vmc", "--dry-run", "--backup-dir", backups});
  EXPECT_EQ(r.exitCode, 1) << "something would change: " << r.err;
  EXPECT_TRUE(has(r.out, "serial port 1: ")) << r.out;
  r = cli(link + Args{"--quiet", "write", dir / "new.vmc", "--dry-run", "--json"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const Json dry = Json::parse(r.out);
  EXPECT_EQ(dry["result"], "would_change");
  EXPECT_TRUE(dry["changed"].get<bool>());
  EXPECT_EQ(dry["diff"].size(), 5u) << dry.dump();
  EXPECT_FALSE(fs::exists(dir / "saved.vmc")) << "a dry run writes nothing";
  EXPECT_TRUE(backupsIn(backups).empty());
  EXPECT_EQ(sim.stop(), 0);
}

TEST_P(SafeChange, TheBackupHoldsThePreviousImageAndAWrongStoreIsRolledBack) {
  start({"--store-wrong-once", "9"});
  const std::string backups = dir / "backups";
  writeWholeFile(dir / "new.vmc", portImage(9));
  const RunResult r =
      cli(link + Args{"--quiet", "write", dir / "new.vmc", "--verify", "--json", "--backup-dir", backups});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const Json end = Json::parse(r.out);
  EXPECT_EQ(end["result"], "rolled_back") << r.out;
  EXPECT_TRUE(has(end["reason"], "rolled back")) << r.out;

  // The backup is what the device held, byte for byte, as a JSON document.
  const std::vector<std::string> kept = backupsIn(backups);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(end["backup"], kept[0]);
  ASSERT_EQ(cli({"import", kept[0], "-o", dir / "kept.vmc"}).exitCode, 0);
  EXPECT_EQ(readWholeFile(dir / "kept.vmc"), portImage(1));
  // The rollback's write was stored as sent: the device is as it was.
  EXPECT_EQ(readWholeFile(dir / "saved.vmc"), portImage(1));

  // restore is a verified write of a backup: here nothing is left to do.
  const RunResult again = cli(link + Args{"--quiet", "restore", kept[0], "--json", "--backup-dir", backups});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(Json::parse(again.out)["result"], "unchanged");
  EXPECT_EQ(sim.stop(), 0);
}

TEST_P(SafeChange, AWriteWhoseLinkFailsAfterItsFirstPacketIsRolledBackOrNamesTheBackup) {
  // Request 1 is the first look's read, 2 the write packet. Over TCP its
  // answer is lost (the write times out, the device may hold it); over the
  // pty the link goes once it is answered, and with it the way back.
  const bool tcp = GetParam() == "tcp";
  start(tcp ? Args{"--drop", "2"} : Args{"--close-after", "2"});
  const std::string backups = dir / "backups";
  writeWholeFile(dir / "new.vmc", portImage(9));
  const RunResult r =
      cli(link + Args{"--quiet", "write", dir / "new.vmc", "--verify", "--json", "--backup-dir", backups});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const std::vector<std::string> kept = backupsIn(backups);
  ASSERT_EQ(kept.size(), 1u) << r.err;
  const Json end = Json::parse(r.out);
  if (tcp) {
    EXPECT_EQ(end["result"], "rolled_back") << r.out;
    EXPECT_EQ(readWholeFile(dir / "saved.vmc"), portImage(1)) << "the device holds what it held";
  } else {
    EXPECT_EQ(end["result"], "failed") << r.out;
    EXPECT_TRUE(has(r.err, "ROLLBACK FAILED")) << r.err;
    EXPECT_TRUE(has(r.err, "restore " + kept[0])) << r.err;
  }
}

// What a caller shows as before and after: the settings the device held and
// the file's, one line each, and the serial number the read found; none of
// it without the read. read --json gives the document the write took.
TEST_P(SafeChange, WriteJsonCarriesTheSettingsBeforeAndAfterAndReadJsonTheDocument) {
  start();
  writeWholeFile(dir / "new.vmc", portImage(9));
  RunResult r = cli(link + Args{"--quiet", "write", dir / "new.vmc", "--dry-run", "--json"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  Json end = Json::parse(r.out);
  EXPECT_TRUE(end["serial"].is_null()) << "these images hold no serial number";
  ASSERT_TRUE(end["before"].is_array() && end["after"].is_array()) << r.out;
  // Five ports of six settings each; only the protocols differ (variant 1 against 9).
  ASSERT_EQ(end["before"].size(), 30u);
  ASSERT_EQ(end["after"].size(), 30u);
  size_t differ = 0;
  for (size_t i = 0; i < 30; ++i)
    if (end["before"][i] != end["after"][i]) {
      ++differ;
      EXPECT_TRUE(has(end["before"][i], ": protocols ")) << end["before"][i];
    }
  EXPECT_EQ(differ, end["diff"].size());
  EXPECT_EQ(end["before"][0], "serial port 1: baud 9600");

  r = cli(link + Args{"--quiet", "write", dir / "new.vmc", "--no-read-first", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  end = Json::parse(r.out);
  EXPECT_TRUE(end["before"].is_null() && end["serial"].is_null()) << r.out;
  EXPECT_EQ(end["after"].size(), 30u);

  r = cli(link + Args{"--quiet", "read", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::ofstream(dir / "read.json") << r.out;
  ASSERT_EQ(cli({"import", dir / "read.json", "-o", dir / "read.vmc"}).exitCode, 0) << r.out;
  EXPECT_EQ(readWholeFile(dir / "read.vmc"), portImage(9));
  EXPECT_EQ(sim.stop(), 0);
}

TEST(SafeApply, ASecondRunWritesNothingAndADryRunFindsExactlyTheDevicesThatDiffer) {
  TempDir dir{"velmora_safe"};
  writeWholeFile(dir / "template.vmc", portImage(1));
  Devsim fleet(kDevsim);
  ASSERT_TRUE(fleet.start({"--tcp", "127.0.0.1:0", "--count", "20", "--image", dir / "template.vmc"}))
      << fleet.errorOutput();
  std::vector<std::string> targets;
  for (size_t i = 0; i < 20; ++i) targets.push_back(fleet.endpoint("tcp", i));
  ASSERT_FALSE(targets.back().empty());
  // Three devices get a speed of their own; the rest keep the template's.
  std::string plan = "target,serial1_baud\n";
  for (size_t i = 0; i < targets.size(); ++i)
    plan += "tcp:" + targets[i] + "," + (i == 4 || i == 11 || i == 17 ? "19200" : "") + "\n";
  std::ofstream(dir / "plan.csv") << plan;
  const Args apply{"apply", dir / "plan.csv", "--template", dir / "template.vmc", "--quiet", "--backup-dir",
                   dir / "backups"};

  auto report = [&](const std::string& name) {
    std::vector<Json> lines;
    std::ifstream in(dir / name);
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    return lines;
  };
  RunResult r = cli(apply + Args{"--dry-run", "--report", dir / "dry.jsonl"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  std::vector<int> differing;
  for (const Json& line : report("dry.jsonl"))
    if (line["result"] == "would_change") differing.push_back(line["row"]);
  std::sort(differing.begin(), differing.end());
  EXPECT_EQ(differing, (std::vector<int>{5, 12, 18}));

  r = cli(apply + Args{"--verify", "--report", dir / "first.jsonl"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  int written = 0;
  for (const Json& line : report("first.jsonl")) written += line["result"] == "ok" ? 1 : 0;
  EXPECT_EQ(written, 3);
  EXPECT_EQ(backupsIn(dir / "backups").size(), 3u);

  r = cli(apply + Args{"--verify", "--report", dir / "second.jsonl"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::vector<Json> second = report("second.jsonl");
  ASSERT_EQ(second.size(), 20u);
  for (const Json& line : second) EXPECT_EQ(line["result"], "unchanged") << line.dump();
  EXPECT_EQ(backupsIn(dir / "backups").size(), 3u) << "no write, no backup";
  EXPECT_EQ(fleet.stop(), 0);
}

TEST(SafeApply, ADeviceThatStoresItWrongIsRolledBackAndNotTriedAgain) {
  TempDir dir{"velmora_safe"};
  writeWholeFile(dir / "template.vmc", portImage(1));
  Devsim fleet(kDevsim);
  ASSERT_TRUE(fleet.start({"--tcp", "127.0.0.1:0", "--count", "3", "--image", dir / "template.vmc",
                           "--store-wrong-once", "9", "--fault-device", "1"}))
      << fleet.errorOutput();
  std::ofstream(dir / "plan.csv") << "target,serial1_baud\n"
                                  << "tcp:" << fleet.endpoint("tcp", 0) << ",19200\n"
                                  << "tcp:" << fleet.endpoint("tcp", 1) << ",19200\n"
                                  << "tcp:" << fleet.endpoint("tcp", 2) << ",19200\n";
  const RunResult r = cli({"apply", dir / "plan.csv", "--template", dir / "template.vmc", "--verify", "--quiet",
                           "--backup-dir", dir / "backups", "--report", dir / "report.jsonl"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  std::map<int, Json> byRow;
  std::ifstream in(dir / "report.jsonl");
  for (std::string line; std::getline(in, line);) {
    const Json j = Json::parse(line);
    byRow[j["row"].get<int>()] = j;
  }
  ASSERT_EQ(byRow.size(), 3u);
  EXPECT_EQ(byRow[1]["result"], "ok");
  EXPECT_EQ(byRow[2]["result"], "rolled_back") << byRow[2].dump();
  EXPECT_EQ(byRow[2]["attempts"], 1) << "a rolled-back device is not written again";
  EXPECT_FALSE(byRow[2]["backup"].is_null());
  EXPECT_EQ(byRow[3]["result"], "ok");
  // The rolled-back device holds its previous configuration again.
  const RunResult diff = cli({"--tcp", fleet.endpoint("tcp", 1), "diff", "device", dir / "template.vmc"});
  EXPECT_EQ(diff.exitCode, 0) << diff.out << diff.err;
  EXPECT_EQ(fleet.stop(), 0);
}
