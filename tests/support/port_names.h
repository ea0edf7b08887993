// Serial port names as this build's channel takes them (a device path on
// Linux, a COM port on Windows) and one from the other system, refused.
#pragma once

#include <string>

namespace velmora::testing {

#ifdef _WIN32
inline const std::string kTestPort = "COM4";
inline const std::string kOtherTestPort = "COM6";
inline const std::string kForeignPort = "/dev/ttyS0";
#else
inline const std::string kTestPort = "/dev/ttyUSB0";
inline const std::string kOtherTestPort = "/dev/ttyUSB3";
inline const std::string kForeignPort = "COM3";
#endif

}  // namespace velmora::testing
