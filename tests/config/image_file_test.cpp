// Configuration files as the window and velmora-cli read and write them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "config/image_file_qt.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

namespace {

std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "velmora_image_file_" + std::to_string(::getpid()) + "_" + name;
}

std::string writeTemp(const std::string& name, const Bytes& bytes) {
  const std::string path = tempPath(name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace

TEST(ImageFile, ReadsAnyLengthUpToOneMebibyteAndRefusesTheRestWithTheWindowsTexts) {
  const Bytes odd{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const std::string a = writeTemp("odd.vmc", odd);
  ImageFileRead f = readImageFile(a);
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(f.bytes, odd) << "no length check: the bytes as they are";

  const std::string limit = writeTemp("limit.vmc", Bytes(1024 * 1024, 0x5A));
  EXPECT_EQ(readImageFile(limit).bytes.size(), 1024u * 1024u);
  const std::string over = writeTemp("over.vmc", Bytes(1024 * 1024 + 1, 0x5A));
  f = readImageFile(over);
  EXPECT_EQ(f.error, "打开文件失败");
  EXPECT_TRUE(f.bytes.empty());

  const std::string empty = writeTemp("empty.vmc", {});
  EXPECT_EQ(readImageFile(empty).error, "打开文件为空");
  EXPECT_EQ(readImageFile(tempPath("missing.vmc")).error, "打开文件失败");
  EXPECT_EQ(readImageFile(::testing::TempDir()).error, "打开文件失败") << "a directory";
  EXPECT_EQ(readImageFile("").error, "打开文件失败");
  for (const std::string& p : {a, limit, over, empty}) std::remove(p.c_str());
}

TEST(ImageFile, WriteReplacesWholeOrLeavesThePreviousFile) {
  std::string folder = tempPath("write_XXXXXX");
  ASSERT_NE(::mkdtemp(folder.data()), nullptr);
  const std::string path = folder + "/kept.vmc";
  std::ofstream(path, std::ios::binary) << "abc";
  const Bytes image(2048, 0xA5);
  std::string why;
  ASSERT_TRUE(writeImageFile(path, image, why));
  EXPECT_EQ(readImageFile(path).bytes, image);
  // A folder that does not exist: refused with the reason, the earlier file as it was.
  EXPECT_FALSE(writeImageFile(tempPath("no-such-folder/x.vmc"), image, why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(readImageFile(path).bytes, image);

  // A file size limit makes the write fall short, as a full disk would:
  // failure, the previous file whole, no temporary file left beside it.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = old;
  limited.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  why.clear();
  const bool written = writeImageFile(path, Bytes(2000, 0x42), why);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(readImageFile(path).bytes, image);
  std::vector<std::string> left;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') left.emplace_back(e->d_name);
    ::closedir(d);
  }
  EXPECT_EQ(left, std::vector<std::string>{"kept.vmc"});
  std::remove(path.c_str());
  ::rmdir(folder.c_str());
}
