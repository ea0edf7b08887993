// velmora-cli ports and the port doctor as built: the ptys the test links
// into a folder of its own (VELMORA_SERIAL_DIRS), one held by another
// process, one the user running the program may not open.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "tests/support/child_process.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::string kCli = VELMORA_CLI_PATH;
constexpr auto kLimit = 30s;  // only a hang meets it
constexpr uid_t kNobody = 65534;
constexpr gid_t kDialout = 20;

struct Pty {
  Pty() : master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    char name[128] = {};
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 && ::ptsname_r(master, name, sizeof name) == 0)
      path = name;
  }
  ~Pty() { ::close(master); }
  int master;
  std::string path;
};

// The folder the program lists, for the programs this test starts.
struct PortFolder {
  // Under /dev/, as --serial opens nothing else: in its tmpfs that anyone may write to.
  PortFolder() : path("/dev/shm/velmora_cli_ports_XXXXXX") {
    ::mkdtemp(path.data());
    ::chmod(path.c_str(), 0755);  // the unprivileged runs read it too
    ::setenv("VELMORA_SERIAL_DIRS", path.c_str(), 1);
  }
  ~PortFolder() {
    ::unsetenv("VELMORA_SERIAL_DIRS");
    fs::remove_all(path);
  }
  std::string link(const std::string& name, const std::string& target) const {
    fs::create_symlink(target, path + "/" + name);
    return path + "/" + name;
  }
  std::string path;
};

// Runs velmora-cli to its end, as root or as uid/gid.
RunResult run(const std::vector<std::string>& args, std::optional<std::pair<uid_t, gid_t>> as = std::nullopt) {
  Child child;
  if (as) child.runAs(as->first, as->second);
  RunResult r;
  if (!child.spawn(kCli, args)) return r;
  const auto deadline = Clock::now() + kLimit;
  child.collect(deadline);
  r.exitCode = child.reap(deadline);
  r.out = child.out, r.err = child.err;
  return r;
}

const Json* entryFor(const Json& list, const std::string& path) {
  for (const Json& e : list)
    if (e.at("path") == path) return &e;
  return nullptr;
}

}  // namespace

TEST(CliPorts, ListsTheFoldersPortsAndWhyOneWillNotOpen) {
  PortFolder folder;
  Pty free, held;
  ASSERT_FALSE(free.path.empty() || held.path.empty());
  const std::string freeLink = folder.link("usb-Velmora_Free-if00", free.path);
  const std::string heldLink = folder.link("usb-Velmora_Held-if00", held.path);
  folder.link("not-a-port", "/dev/null");
  // Held open exclusively by a sleep child that inherits the descriptor.
  Child holder;
  const int fd = ::open(held.path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_TRUE(fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 && holder.spawn("/bin/sleep", {"60"}));
  ::close(fd);
  ASSERT_TRUE(holder.waitForExec("sleep", Clock::now() + 5s));

  const RunResult json = run({"ports", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const Json list = Json::parse(json.out);
  ASSERT_EQ(list.size(), 2u) << json.out;
  const Json* f = entryFor(list, freeLink);
  const Json* h = entryFor(list, heldLink);
  ASSERT_TRUE(f && h) << json.out;
  EXPECT_EQ(*f, Json::parse(R"({"path": ")" + freeLink + R"(", "device": ")" + free.path + R"(", "by_id": ")" +
                            freeLink + R"(", "usb": null, "opens": true, "error": null, "reason": null, "diagnosis": []})"));
  EXPECT_EQ(h->at("opens"), false);
  EXPECT_EQ(h->at("reason"), "原因: " + h->at("error").get<std::string>() + "（串口已被其他程序占用）");
  EXPECT_EQ(h->at("diagnosis"), Json::array({"诊断: " + heldLink + " 正被进程 " + std::to_string(holder.pid()) +
                                             "（sleep）占用，请关闭该程序后重试"}));

  const RunResult text = run({"ports", "--lang", "en"});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find(freeLink + "\n    device: " + free.path + "\n    opens now\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("    does not open: Reason: "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("(sleep)"), std::string::npos) << text.out;

  EXPECT_EQ(run({"ports", "extra"}).exitCode, 2);
}

TEST(CliPorts, AUserOutsideThePortsGroupIsToldToJoinIt) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to hand the pty to a group and run as another user";
  if (::access(kCli.c_str(), X_OK) != 0) GTEST_SKIP() << "velmora-cli cannot be run";
  PortFolder folder;
  Pty pty;
  ASSERT_FALSE(pty.path.empty());
  // As udev hands a USB adapter's port to dialout.
  ASSERT_EQ(::chown(pty.path.c_str(), 0, kDialout), 0);
  ASSERT_EQ(::chmod(pty.path.c_str(), 0660), 0);
  const std::string link = folder.link("usb-Velmora_Locked-if00", pty.path);
  const auto nobody = std::make_pair(kNobody, static_cast<gid_t>(kNobody));
  const RunResult probe = run({"--version"}, nobody);
  if (probe.exitCode == 125 || probe.exitCode == 127) GTEST_SKIP() << "no unprivileged user to run as: " << probe.exitCode;

  // The open fails; the group line follows the reason the open gave.
  const RunResult open = run({"--serial", link, "get-address"}, nobody);
  EXPECT_EQ(open.exitCode, 1) << open.err;
  const std::string group = "诊断: " + link + " 属于 dialout 组，用户 nobody 不在该组；请执行 sudo usermod -aG dialout "
                            "nobody，然后注销并重新登录";
  const size_t reason = open.err.find("原因: ");
  ASSERT_NE(reason, std::string::npos) << open.err;
  EXPECT_NE(open.err.find(group, reason), std::string::npos) << open.err;

  const RunResult ports = run({"ports", "--json"}, nobody);
  ASSERT_EQ(ports.exitCode, 0) << ports.err;
  const Json list = Json::parse(ports.out);
  ASSERT_EQ(list.size(), 1u) << ports.out;
  EXPECT_EQ(list[0].at("opens"), false);
  EXPECT_EQ(list[0].at("diagnosis"), Json::array({group}));
}
