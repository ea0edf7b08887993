// velmora-screenshots as built: what it makes of its arguments, and that a
// run writes one PNG per tab at the window's smallest size.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/child_process.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const std::string kTool = VELMORA_SCREENSHOTS_PATH;
constexpr auto kLimit = 60s;  // only a hang meets it

struct TempDir {
  TempDir() : path(::testing::TempDir() + "velmora_shots_XXXXXX") { ::mkdtemp(path.data()); }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::string path;
};

// Width and height from a PNG's header chunk.
std::pair<int, int> pngSize(const std::string& file) {
  const auto bytes = readWholeFile(file);
  if (!bytes || bytes->size() < 24) return {0, 0};
  const auto be32 = [&](size_t at) {
    return static_cast<int>((*bytes)[at] << 24 | (*bytes)[at + 1] << 16 | (*bytes)[at + 2] << 8 | (*bytes)[at + 3]);
  };
  return {be32(16), be32(20)};
}

TEST(Screenshots, HelpPrintsTheFormsAndWritesNothing) {
  for (const std::string option : {"--help", "-h"}) {
    const RunResult r = runToEnd(kTool, {option}, kLimit);
    EXPECT_EQ(r.exitCode, 0) << option;
    EXPECT_EQ(r.out.rfind("usage: velmora-screenshots", 0), 0u) << r.out;
    for (const char* form : {"--popups OUTDIR", "--compare OUTDIR", "--register-map OUTDIR", "--monitor OUTDIR PORT"})
      EXPECT_NE(r.out.find(form), std::string::npos) << form;
    EXPECT_FALSE(fs::exists(option)) << "a folder named " << option;
  }
}

TEST(Screenshots, RefusesWhatItCannotUseBeforeWritingAnything) {
  const TempDir dir;
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const std::vector<Case> cases{
      {{}, "OUTDIR"},
      {{"--popup", dir / "a"}, "unknown option --popup"},
      {{"--compare", dir / "a", dir / "w.vmc"}, "wrong number of arguments for --compare"},
      {{"--monitor", dir / "a"}, "wrong number of arguments for --monitor"},
      {{"--lang", "fr", dir / "a"}, "--lang takes zh or en"},
      {{dir / "a", "wide", "500"}, "WIDTH and HEIGHT"},
      {{dir / "a", "700", "500", dir / "missing.vmc"}, "cannot read " + dir / "missing.vmc"},
      {{dir / "a", "1", "2", "3", "4"}, "OUTDIR [WIDTH HEIGHT]"},
  };
  for (const Case& c : cases) {
    const RunResult r = runToEnd(kTool, c.args, kLimit);
    EXPECT_EQ(r.exitCode, 2) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  EXPECT_FALSE(fs::exists(dir / "a/tab0.png"));
  EXPECT_FALSE(fs::exists("--popup"));
}

TEST(Screenshots, OnePngPerTabNoSmallerThanTheWindowAllows) {
  const TempDir dir;
  const RunResult r = runToEnd(kTool, {dir / "shots", "10", "10"}, kLimit);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  int width = 0, height = 0, smallestWidth = 0, smallestHeight = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "%dx%d (smallest %dx%d)", &width, &height, &smallestWidth, &smallestHeight), 4)
      << r.out;
  EXPECT_EQ(std::make_pair(width, height), std::make_pair(smallestWidth, smallestHeight));
  for (int tab = 0; tab < 10; ++tab)
    EXPECT_EQ(pngSize(dir / ("shots/tab" + std::to_string(tab) + ".png")), std::make_pair(width, height)) << tab;
  EXPECT_FALSE(fs::exists(dir / "shots/tab10.png"));
}

}  // namespace
