// The help files speak of each system's own serial ports: /dev/ttyUSB0 on
// Linux, COM3 on Windows, from lines tagged for one system.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/help_text.h"

namespace velmora {
namespace {

std::string fileText(const char* name) {
  std::ifstream in(std::string(VELMORA_SOURCE_DIR "/res/") + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(HelpText, TaggedLinesBelongToOneSystem) {
  const std::string text = "a\n[linux] b /dev/ttyUSB0\n[windows] c COM3\r\n  [linux] d\n[windows] e";
  EXPECT_EQ(helpTextFor(text, HelpPlatform::Linux), "a\nb /dev/ttyUSB0\n  [linux] d\n");
  EXPECT_EQ(helpTextFor(text, HelpPlatform::Windows), "a\nc COM3\r\n  [linux] d\ne") << "a tag counts at the line's start only";
  EXPECT_EQ(helpTextFor("", HelpPlatform::Windows), "");
}

TEST(HelpText, EachFileNamesThePortsOfEachSystem) {
  for (const char* name : {"help.txt", "help_en.txt"}) {
    const std::string file = fileText(name);
    ASSERT_GT(file.size(), 1000u) << name;
    const std::string onLinux = helpTextFor(file, HelpPlatform::Linux);
    const std::string onWindows = helpTextFor(file, HelpPlatform::Windows);
    EXPECT_NE(onLinux.find("/dev/ttyUSB0"), std::string::npos) << name;
    EXPECT_EQ(onLinux.find("COM3"), std::string::npos) << name;
    EXPECT_EQ(onWindows.find("/dev/"), std::string::npos) << name;
    EXPECT_NE(onWindows.find("COM3"), std::string::npos) << name;
    EXPECT_NE(onWindows.find("\\\\.\\COM12"), std::string::npos) << name;
    for (const std::string& text : {onLinux, onWindows}) {
      EXPECT_EQ(text.find("[linux]"), std::string::npos) << name;
      EXPECT_EQ(text.find("[windows]"), std::string::npos) << name;
    }
  }
  // This system's text is what the help page shows.
  const std::string zh = helpTextOrFallback(fileText("help.txt"));
  EXPECT_EQ(zh, helpTextFor(fileText("help.txt"), kThisHelpPlatform));
#ifdef _WIN32
  EXPECT_NE(zh.find("COM3"), std::string::npos);
#else
  EXPECT_NE(zh.find("/dev/ttyUSB0"), std::string::npos);
#endif
}

}  // namespace
}  // namespace velmora
