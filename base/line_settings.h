// A serial line's parity and stop bits as values, and every form they take
// on their way: the channel's code (SerialSettings, velmora-cli's options, a
// plan's target, the connection page's lists), the code an image stores in a
// data port's line format, the names of JSON documents and velmora-cli, a
// plan's letter, and the texts the pages show. Each form has one table here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/tr_text.h"

namespace velmora {

// In the channel's order: the enumerators' values are its codes.
enum class Parity : uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : uint8_t { One, OneAndHalf, Two };
inline constexpr int kParityCount = 5;
inline constexpr int kStopBitsCount = 3;

// ---- The tables, indexed by the values above -------------------------------

// JSON documents, velmora-cli's --stop-bits and --parity, a plan's "8N1.5".
inline constexpr const char* kStopBitsNames[kStopBitsCount] = {"1", "1.5", "2"};
inline constexpr const char* kParityNames[kParityCount] = {"none", "odd", "even", "mark", "space"};
// A plan's line settings, "8N1".
inline constexpr char kParityLetters[kParityCount] = {'N', 'O', 'E', 'M', 'S'};
// The source texts, shown through trText("LineSettings", …): short in the
// connection page's list and the parameter list, long on the data-port page.
inline constexpr const char* kParityShortTexts[kParityCount] = {
    VELMORA_TR_NOOP("LineSettings", "无"), VELMORA_TR_NOOP("LineSettings", "奇"),
    VELMORA_TR_NOOP("LineSettings", "偶"), VELMORA_TR_NOOP("LineSettings", "标记"),
    VELMORA_TR_NOOP("LineSettings", "空格")};
inline constexpr const char* kParityLongTexts[kParityCount] = {
    VELMORA_TR_NOOP("LineSettings", "无校验"), VELMORA_TR_NOOP("LineSettings", "奇校验"),
    VELMORA_TR_NOOP("LineSettings", "偶校验"), VELMORA_TR_NOOP("LineSettings", "标记校验"),
    VELMORA_TR_NOOP("LineSettings", "空格校验")};

constexpr size_t indexOf(Parity p) { return static_cast<size_t>(p); }
constexpr size_t indexOf(StopBits s) { return static_cast<size_t>(s); }

// ---- The channel's codes ---------------------------------------------------

constexpr int channelCode(Parity p) { return static_cast<int>(p); }
constexpr int channelCode(StopBits s) { return static_cast<int>(s); }
std::optional<Parity> parityOfChannelCode(int code);
std::optional<StopBits> stopBitsOfChannelCode(int code);

// ---- The image's codes -----------------------------------------------------

// A data port's line format keeps parity in two bits as 0 none, 1 even,
// 2 odd, 3 mark (space has no code), and stop bits in two bits as 0 one,
// 1 one and a half, 2 two (3 stands for nothing).
inline constexpr int kStoredParityCodes = 4;
inline constexpr int kStoredStopBitsCodes = 3;
std::optional<uint8_t> storedCode(Parity p);
constexpr uint8_t storedCode(StopBits s) { return static_cast<uint8_t>(s); }
std::optional<Parity> parityOfStoredCode(int code);
std::optional<StopBits> stopBitsOfStoredCode(int code);

// ---- Names and texts -------------------------------------------------------

inline const char* stopBitsName(StopBits s) { return kStopBitsNames[indexOf(s)]; }
inline const char* parityName(Parity p) { return kParityNames[indexOf(p)]; }
inline char parityLetter(Parity p) { return kParityLetters[indexOf(p)]; }
// Exact names only; a letter in either case.
std::optional<StopBits> stopBitsNamed(std::string_view name);
std::optional<Parity> parityNamed(std::string_view name);
std::optional<Parity> parityOfLetter(char letter);

// The texts as shown, in the language of the window.
std::string parityShortText(Parity p);
std::string parityLongText(Parity p);

}  // namespace velmora
