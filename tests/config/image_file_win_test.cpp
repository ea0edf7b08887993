// Configuration files as velmora-cli.exe reads and writes them: UTF-8 names,
// the window's limits, and a write that replaces the file whole or not at all.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/image_file_qt.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

namespace {

// A fresh folder under the test's temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    path_ = std::filesystem::path(::testing::TempDir()) /
            ("velmora_image_file_" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  // A name inside as UTF-8, the form readImageFile takes.
  std::string utf8(const std::u8string& name) const {
    const std::u8string full = (path_ / name).u8string();
    return std::string(full.begin(), full.end());
  }
  std::vector<std::u8string> names() const {
    std::vector<std::u8string> found;
    for (const auto& e : std::filesystem::directory_iterator(path_)) found.push_back(e.path().filename().u8string());
    return found;
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void put(const std::filesystem::path& p, const Bytes& bytes) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                           static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(ImageFileWindows, ReadsUpToOneMebibyteUnderAChineseNameAndRefusesTheRest) {
  TempFolder folder;
  const Bytes odd{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  put(folder.path() / u8"配置.vmc", odd);
  EXPECT_EQ(readImageFile(folder.utf8(u8"配置.vmc")).bytes, odd) << "the name is UTF-8, not the ANSI code page";

  put(folder.path() / u8"limit.vmc", Bytes(1024 * 1024, 0x5A));
  EXPECT_EQ(readImageFile(folder.utf8(u8"limit.vmc")).bytes.size(), 1024u * 1024u);
  put(folder.path() / u8"over.vmc", Bytes(1024 * 1024 + 1, 0x5A));
  EXPECT_EQ(readImageFile(folder.utf8(u8"over.vmc")).error, "打开文件失败");
  put(folder.path() / u8"empty.vmc", {});
  EXPECT_EQ(readImageFile(folder.utf8(u8"empty.vmc")).error, "打开文件为空");
  EXPECT_EQ(readImageFile(folder.utf8(u8"missing.vmc")).error, "打开文件失败");
  EXPECT_EQ(readImageFile(folder.utf8(u8"")).error, "打开文件失败") << "a folder";
  EXPECT_EQ(readImageFile("").error, "打开文件失败");
}

TEST(ImageFileWindows, WriteReplacesWholeOrLeavesThePreviousFile) {
  TempFolder folder;
  const std::string path = folder.utf8(u8"保存.vmc");
  put(folder.path() / u8"保存.vmc", Bytes{'a', 'b', 'c'});
  const Bytes image(2048, 0xA5);
  std::string why;
  ASSERT_TRUE(writeImageFile(path, image, why)) << why;
  EXPECT_EQ(readImageFile(path).bytes, image);
  EXPECT_EQ(folder.names(), std::vector<std::u8string>{u8"保存.vmc"}) << "no temporary file left beside it";

  EXPECT_FALSE(writeImageFile(folder.utf8(u8"no-such-folder/x.vmc"), image, why));
  EXPECT_FALSE(why.empty());
  // A target that is a folder cannot be replaced: refused, nothing left over.
  std::filesystem::create_directory(folder.path() / u8"sub");
  why.clear();
  EXPECT_FALSE(writeTextFile(folder.utf8(u8"sub"), "{}\n", why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(readImageFile(path).bytes, image);
  EXPECT_EQ(folder.names().size(), 2u);

  ASSERT_TRUE(writeTextFile(path, "{\n}\n", why));
  EXPECT_EQ(readImageFile(path).bytes, (Bytes{'{', '\n', '}', '\n'})) << "written as given: no CR added";
}
