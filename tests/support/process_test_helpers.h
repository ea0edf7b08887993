// Small pieces the tests that run the programs as built share: argument
// lists, a text search, and a temporary folder that goes with the test.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace velmora::testing {

using Args = std::vector<std::string>;

inline Args operator+(Args a, const Args& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

inline bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A folder of its own under the test's temporary folder, removed at the end.
struct TempDir {
  explicit TempDir(const std::string& stem = "velmora") : path(::testing::TempDir() + stem + "_XXXXXX") {
    ::mkdtemp(path.data());
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(path)) found.insert(e.path().filename().string());
    return found;
  }
  std::string path;
};

}  // namespace velmora::testing
