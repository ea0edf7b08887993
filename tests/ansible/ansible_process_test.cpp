// The collection velmora.gateway run by Debian's ansible-core against a
// fleet of velmora-devsim devices on 127.0.0.1, each device an inventory
// host delegated to a local jump host: the example playbook in check and
// diff mode, for real, and again; a device that does not answer and one
// that does not keep what it is given; the modules' documentation.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/process_test_helpers.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::string kCli = VELMORA_CLI_PATH, kDevsim = VELMORA_DEVSIM_PATH, kCollections = VELMORA_ANSIBLE_DIR;
const std::string kExamples = kCollections + "/examples";
constexpr auto kLimit = 120s;  // only a hang meets it, even under the sanitizers
constexpr int kFleet = 5;

std::string onPath(const std::string& program) {
  const char* path = ::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return dir + "/" + program;
  return {};
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// One host's line of the play recap: "gw0 : ok=1 changed=1 unreachable=0 failed=0 ...".
std::map<std::string, int> recapOf(const std::string& out, const std::string& host) {
  std::map<std::string, int> counts;
  const size_t recap = out.find("PLAY RECAP");
  std::istringstream lines(recap == std::string::npos ? "" : out.substr(recap));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string name, colon, word;
    if (!(words >> name >> colon) || name != host || colon != ":") continue;
    while (words >> word)
      if (const size_t eq = word.find('='); eq != std::string::npos)
        counts[word.substr(0, eq)] = std::stoi(word.substr(eq + 1));
  }
  return counts;
}

// Ansible kept to the test's folders: no configuration of the machine, no
// galaxy, the collection from the source tree, a UTF-8 locale (it refuses
// to start without one).
class Ansible {
 public:
  explicit Ansible(const TempDir& dir) : dir_(dir) {
    fs::create_directories(dir_ / "home/tmp");
    writeText(dir_ / "ansible.cfg", "[defaults]\n");
  }
  RunResult run(const std::string& program, const Args& args, const std::string& folder = ".") const {
    const Args env{"--chdir=" + folder, "LANG=C.UTF-8", "HOME=" + dir_ / "home", "ANSIBLE_CONFIG=" + dir_ / "ansible.cfg",
                   "ANSIBLE_COLLECTIONS_PATH=" + kCollections, "ANSIBLE_COLLECTIONS_SCAN_SYS_PATH=0",
                   "ANSIBLE_LOCAL_TEMP=" + dir_ / "home/tmp", "TMPDIR=" + dir_ / "home/tmp", "ANSIBLE_REMOTE_TEMP=" + dir_ / "home/remote-tmp",
                   "ANSIBLE_NOCOLOR=1", "ANSIBLE_RETRY_FILES_ENABLED=0", "ANSIBLE_FORKS=10",
                   "ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3", "ANSIBLE_DEPRECATION_WARNINGS=0",
                   "ANSIBLE_STDOUT_CALLBACK=default", "ANSIBLE_LOAD_CALLBACK_PLUGINS=0"};
    return runToEnd("/usr/bin/env", env + Args{program} + args, kLimit);
  }

 private:
  const TempDir& dir_;
};

// The device's built-in configuration with host i's settings: its address
// in 10.0.0.0/24, and data port 1 at 19200 baud.
Json planned(Json document, int i) {
  for (Json& unit : document["units"]) {
    if (unit["kind"] == "network_address" && unit["net_port"] == 0 && unit["field"] == "ip")
      unit["value"] = "10.0.0." + std::to_string(11 + i);
    if (unit["kind"] == "network_address" && unit["net_port"] == 0 && unit["field"] == "gateway")
      unit["value"] = "10.0.0.1";
    if (unit["kind"] == "serial_port" && unit["port"] == 1) unit["baud"] = 19200;
  }
  return document;
}

}  // namespace

class AnsibleCollection : public ::testing::Test {
 protected:
  void SetUp() override {
    if (onPath("ansible-playbook").empty() || onPath("ansible-doc").empty())
      GTEST_SKIP() << "ansible-playbook or ansible-doc is not installed (scripts/setup installs ansible-core)";
  }
  TempDir dir{"velmora_ansible"};
  Ansible ansible{dir};
};

TEST_F(AnsibleCollection, TheExamplePlaybookChecksChangesAndLeavesAFleetAsPlanned) {
  // Devices 0-4 the fleet; device 5 answers nothing. Another device keeps a
  // wrong byte of the first image it is given.
  Devsim fleet(kDevsim), wrong(kDevsim);
  ASSERT_TRUE(fleet.start({"--tcp", "127.0.0.1:0", "--count", std::to_string(kFleet + 1), "--save",
                           dir / "dev-%d.vmc", "--fault-device", std::to_string(kFleet), "--drop", "all", "--log"}))
      << fleet.errorOutput();
  ASSERT_TRUE(wrong.start({"--tcp", "127.0.0.1:0", "--store-wrong-once", "9", "--save", dir / "wrong.vmc"}))
      << wrong.errorOutput();

  // What the devices hold now, as read --json prints it; every host's plan
  // from it, as a file for some and inline for the others.
  const RunResult read = runToEnd(kCli, {"--quiet", "--link", "tcp:" + fleet.endpoint("tcp", 0), "read", "--json"}, 30s);
  ASSERT_EQ(read.exitCode, 0) << read.err;
  const Json builtIn = Json::parse(read.out);
  std::string hosts;
  for (int i = 0; i < kFleet; ++i) {
    const std::string plan = dir / ("plan-" + std::to_string(i) + ".json");
    writeText(plan, planned(builtIn, i).dump(1));
    hosts += "            gw" + std::to_string(i) + ":\n              velmora_target: tcp:" + fleet.endpoint("tcp", i) +
             "\n" +
             (i < 3 ? "              velmora_config_file: " + plan + "\n"
                    : "              velmora_settings: " + planned(builtIn, i).dump() + "\n");
  }
  const std::string inventory = dir / "inventory.yml";
  writeText(inventory,
            "all:\n  hosts:\n    site-jump:\n      ansible_connection: local\n  children:\n    gateways:\n"
            "      vars:\n        velmora_jump_host: site-jump\n        velmora_cli: " + kCli + "\n"
            "        velmora_backup_dir: " + dir / "backups" + "\n"
            "      children:\n        fleet:\n          hosts:\n" + hosts +
            "        faulty:\n          hosts:\n"
            "            gw5:\n              velmora_target: tcp:" + fleet.endpoint("tcp", kFleet) + "\n"
            "              velmora_config_file: " + dir / "plan-0.json" + "\n"
            "            gw6:\n              velmora_target: tcp:" + wrong.endpoint("tcp") + "\n"
            "              velmora_config_file: " + dir / "plan-0.json" + "\n"
            "              velmora_backup: false\n");
  const Args playbook{"-i", inventory, kExamples + "/site.yml"};
  auto writePackets = [&] { return count(fleet.errorOutput(), "write packet"); };

  // Check and diff: every device would change, and shows how; none is written.
  RunResult r = ansible.run("ansible-playbook", playbook + Args{"--limit", "fleet", "--check", "--diff"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  for (int i = 0; i < kFleet; ++i) {
    const std::string host = "gw" + std::to_string(i);
    EXPECT_EQ(recapOf(r.out, host), (std::map<std::string, int>{{"ok", 1}, {"changed", 1}, {"unreachable", 0},
                                                                  {"failed", 0}, {"skipped", 0}, {"rescued", 0},
                                                                  {"ignored", 0}}))
        << host << "\n" << r.out;
    EXPECT_TRUE(has(r.out, "+network port 0 IP 10.0.0." + std::to_string(11 + i) + "\n")) << r.out;
  }
  EXPECT_EQ(count(r.out, "-network port 0 IP 192.168.1.110\n"), kFleet) << r.out;
  EXPECT_EQ(count(r.out, "-network port 0 gateway 192.168.1.1\n"), kFleet) << r.out;
  EXPECT_EQ(count(r.out, "+network port 0 gateway 10.0.0.1\n"), kFleet) << r.out;
  EXPECT_EQ(count(r.out, "-serial port 1: baud 9600\n"), kFleet) << r.out;
  EXPECT_EQ(count(r.out, "+serial port 1: baud 19200\n"), kFleet) << r.out;
  EXPECT_EQ(count(r.out, "\n-"), 4 * kFleet) << "a header and a line per change for each host, no more:\n" << r.out;
  EXPECT_FALSE(has(r.out, "outside subnet")) << "the plans pass the check:\n" << r.out;
  EXPECT_EQ(writePackets(), 0) << fleet.errorOutput();
  EXPECT_FALSE(fs::exists(dir / "backups"));

  // For real: every device changed, holding its plan byte for byte, its
  // previous configuration kept.
  r = ansible.run("ansible-playbook", playbook + Args{"--limit", "fleet"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  for (int i = 0; i < kFleet; ++i) {
    const std::string host = "gw" + std::to_string(i);
    EXPECT_EQ(recapOf(r.out, host)["changed"], 1) << host << "\n" << r.out;
    const std::string plan = dir / ("plan-" + std::to_string(i) + ".json");
    ASSERT_EQ(runToEnd(kCli, {"import", plan, "-o", plan + ".vmc"}, 30s).exitCode, 0);
    const auto saved = readWholeFile(dir / ("dev-" + std::to_string(i) + ".vmc"));
    ASSERT_TRUE(saved) << host << " was not written";
    EXPECT_EQ(*saved, readWholeFile(plan + ".vmc")) << host;
  }
  ASSERT_TRUE(fs::exists(dir / "backups"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "backups"), fs::directory_iterator{}), kFleet);
  const int written = writePackets();
  EXPECT_GT(written, 0);

  // Again, with the faulty devices: nothing left to change and no write
  // packet for the fleet; the silent device fails with velmora-cli's own
  // reason, the one that keeps a wrong byte is rolled back and fails.
  const RunResult direct =
      runToEnd(kCli, {"--quiet", "--tcp", fleet.endpoint("tcp", kFleet), "write", dir / "plan-0.json", "--json"}, 30s);
  ASSERT_EQ(direct.exitCode, 1) << direct.err;
  const std::string reason = Json::parse(direct.out)["reason"];
  ASSERT_FALSE(reason.empty());
  r = ansible.run("ansible-playbook", playbook + Args{"--diff"});
  EXPECT_EQ(r.exitCode, 2) << "a host failed: " << r.out << r.err;
  for (int i = 0; i < kFleet + 2; ++i) {
    const std::string host = "gw" + std::to_string(i);
    const auto recap = recapOf(r.out, host);
    const bool faulty = i >= kFleet;
    EXPECT_EQ(recap, (std::map<std::string, int>{{"ok", faulty ? 0 : 1}, {"changed", 0}, {"unreachable", 0},
                                                  {"failed", faulty ? 1 : 0}, {"skipped", 0}, {"rescued", 0},
                                                  {"ignored", 0}}))
        << host << "\n" << r.out;
  }
  EXPECT_EQ(writePackets(), written) << "a device that holds its plan got a write packet";
  EXPECT_FALSE(has(r.out, "--- before")) << "no diff where nothing changed:\n" << r.out;
  EXPECT_TRUE(has(r.out, "fatal: [gw5 -> site-jump]: FAILED! => ")) << r.out;
  EXPECT_TRUE(has(r.out, "\"msg\": \"" + reason + "\"")) << reason << "\n" << r.out;
  EXPECT_TRUE(has(r.out, "\"result\": \"rolled_back\"")) << r.out;
  // backup: false kept gw6's backup for the rollback only.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "backups"), fs::directory_iterator{}), kFleet);
  for (const auto& e : fs::directory_iterator(dir / "home/tmp"))
    EXPECT_NE(e.path().filename().string().rfind("velmora-backup-", 0), 0u) << e.path();
  // The rollback's write was stored as sent: the device holds what it held.
  writeText(dir / "built-in.json", builtIn.dump());
  ASSERT_EQ(runToEnd(kCli, {"import", dir / "built-in.json", "-o", dir / "built-in.vmc"}, 30s).exitCode, 0);
  EXPECT_EQ(readWholeFile(dir / "wrong.vmc"), readWholeFile(dir / "built-in.vmc"));

  // velmora_info gives the document the device holds: host 0's plan.
  r = ansible.run("ansible", {"-i", inventory, "site-jump", "-m", "velmora.gateway.velmora_info", "-a",
                              "target=tcp:" + fleet.endpoint("tcp", 0) + " cli_path=" + kCli});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const size_t arrow = r.out.find("=> ");
  ASSERT_NE(arrow, std::string::npos) << r.out;
  EXPECT_EQ(Json::parse(r.out.substr(arrow + 3))["config"], planned(builtIn, 0)) << r.out;

  EXPECT_EQ(fleet.stop(), 0);
  EXPECT_EQ(wrong.stop(), 0);
}

TEST_F(AnsibleCollection, AnsibleDocShowsBothModules) {
  RunResult r = ansible.run("ansible-doc", {"velmora.gateway.velmora_config"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* part : {"VELMORA.GATEWAY.VELMORA_CONFIG", "= target", "- settings", "- backup_dir", "- verify",
                           "Check mode reads the device", "EXAMPLES:", "RETURN VALUES:", "rolled_back", "backup_file"})
    EXPECT_TRUE(has(r.out, part)) << part << "\n" << r.out;
  r = ansible.run("ansible-doc", {"velmora.gateway.velmora_info"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "JSON document")) << r.out;
  r = ansible.run("ansible-doc", {"-l", "velmora.gateway"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(count(r.out, "velmora.gateway.velmora_"), 2) << r.out;
}

// ansible-test sanity on a copy of the collection (it writes its results
// into the collection). The tests that install their requirements from
// PyPI into a virtual environment cannot run offline and are skipped:
// ansible-doc is run above, the others (import, pep8, pylint,
// runtime-metadata, validate-modules, yamllint) are left out.
TEST_F(AnsibleCollection, SanityTestsThatRunOfflinePass) {
  if (onPath("ansible-test").empty()) GTEST_SKIP() << "ansible-test is not installed";
  const std::string copy = dir / "ansible_collections/velmora/gateway";
  fs::create_directories(copy);
  fs::copy(kCollections + "/ansible_collections/velmora/gateway", copy, fs::copy_options::recursive);
  fs::remove_all(copy + "/tests/output");
  Args args{"sanity", "--python", "3.11"};
  for (const char* test : {"ansible-doc", "import", "pep8", "pylint", "runtime-metadata", "validate-modules", "yamllint"})
    args.insert(args.end(), {"--skip-test", test});
  const RunResult r = ansible.run("ansible-test", args, copy);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_GE(count(r.out, "Running sanity test"), 20) << r.out;
  EXPECT_TRUE(has(r.out, "Running sanity test \"compile\" on Python 3.11")) << r.out;
  EXPECT_TRUE(has(r.out, "Running sanity test \"future-import-boilerplate\"")) << r.out;
}
