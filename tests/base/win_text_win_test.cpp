// The wide texts and error codes every Windows file shares.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <string>

#include "base/win_text_win.h"

using namespace velmora;

// Chinese, a character beyond the BMP (a surrogate pair in UTF-16) and an
// embedded NUL come back as they went.
TEST(WinText, Utf8AndUtf16RoundTrip) {
  const std::string text = std::string("配置 ") + "\xF0\x9F\x94\x8C" + std::string(1, '\0') + "x.vmc";
  const std::wstring wide = widen(text);
  EXPECT_EQ(wide, std::wstring(L"配置 \xD83D\xDD0C") + L'\0' + L"x.vmc");
  EXPECT_EQ(narrow(wide), text);
  EXPECT_TRUE(widen("").empty());
  EXPECT_TRUE(narrow(L"").empty());
}

// The codes the logic compares read as on Linux; the rest keep Windows' own
// text, in UTF-8, without the period and line end FormatMessage adds.
TEST(WinText, ErrorCodesReadAsOnLinuxOrInWindowsOwnWords) {
  EXPECT_EQ(winError(ERROR_ACCESS_DENIED), std::errc::device_or_resource_busy) << "a COM port another program holds";
  EXPECT_EQ(winError(ERROR_ACCESS_DENIED).message(), "Device or resource busy");
  EXPECT_EQ(winError(WSAECONNREFUSED).message(), "Connection refused");
  EXPECT_EQ(winError(ERROR_FILE_NOT_FOUND), std::errc::no_such_file_or_directory);

  const std::string full = windowsErrorText(ERROR_DISK_FULL);
  ASSERT_FALSE(full.empty());
  EXPECT_NE(full.back(), '.');
  EXPECT_EQ(full.find('\n'), std::string::npos);
  EXPECT_EQ(winError(ERROR_DISK_FULL).message(), full) << "unmapped: Windows' text, not the C runtime's";
  EXPECT_EQ(windowsErrorText(0x2FFFFFFF), "error 805306367") << "a code Windows has no text for";
}
