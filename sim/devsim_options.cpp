#include "sim/devsim_options.h"

#include <array>
#include <limits>

#include "base/text.h"
#include "config/config_unit.h"
#include "protocol/frames.h"

namespace velmora::sim {

namespace {

// Digits only, no sign, no blanks, at most max.
std::optional<int64_t> strictNumber(const std::string& text, int64_t max) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Eight groups of up to four hex digits, one "::" allowed; no embedded IPv4.
std::optional<std::array<uint16_t, 8>> parseIpv6(const std::string& text) {
  std::vector<uint16_t> head, tail;
  bool gap = false;
  size_t i = 0;
  if (text.rfind("::", 0) == 0) {
    gap = true;
    i = 2;
  }
  while (i < text.size()) {
    int value = 0;
    size_t digits = 0;
    while (i < text.size() && hexDigit(text[i]) >= 0) {
      if (++digits > 4) return std::nullopt;
      value = value * 16 + hexDigit(text[i++]);
    }
    if (digits == 0) return std::nullopt;
    (gap ? tail : head).push_back(static_cast<uint16_t>(value));
    if (i == text.size()) break;
    if (text[i] != ':') return std::nullopt;
    ++i;
    if (i < text.size() && text[i] == ':') {
      if (gap) return std::nullopt;
      gap = true;
      ++i;
    } else if (i == text.size()) {
      return std::nullopt;  // a single trailing colon
    }
  }
  const size_t groups = head.size() + tail.size();
  if (gap ? groups > 7 : groups != 8) return std::nullopt;
  std::array<uint16_t, 8> out{};
  for (size_t k = 0; k < head.size(); ++k) out[k] = head[k];
  for (size_t k = 0; k < tail.size(); ++k) out[8 - tail.size() + k] = tail[k];
  return out;
}

// "N" for every answer, "N:V" for the Nth only; returns {at, value}.
std::optional<std::pair<int, int64_t>> parseOptionalAt(const std::string& text, int64_t maxValue) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) {
    const auto value = strictNumber(text, maxValue);
    if (!value) return std::nullopt;
    return std::make_pair(0, *value);
  }
  const auto at = strictNumber(text.substr(0, colon), std::numeric_limits<int>::max());
  const auto value = strictNumber(text.substr(colon + 1), maxValue);
  if (!at || *at < 1 || !value) return std::nullopt;
  return std::make_pair(static_cast<int>(*at), *value);
}

std::optional<int> parseCount(const std::string& text) {
  const auto value = strictNumber(text, std::numeric_limits<int>::max());
  if (!value || *value < 1) return std::nullopt;
  return static_cast<int>(*value);
}

}  // namespace

std::optional<Endpoint> parseEndpoint(const std::string& text) {
  Endpoint e;
  std::string portText;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') return std::nullopt;
    e.host = text.substr(1, close - 1);
    e.ipv6 = true;
    portText = text.substr(close + 2);
    if (!parseIpv6(e.host)) return std::nullopt;
  } else {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    e.host = text.substr(0, colon);
    portText = text.substr(colon + 1);
    if (e.host != "localhost" && !parseDottedAddress(e.host)) return std::nullopt;
  }
  const auto port = strictNumber(portText, 65535);
  if (!port) return std::nullopt;
  e.port = static_cast<uint16_t>(*port);
  return e;
}

bool isLoopbackHost(const Endpoint& endpoint) {
  if (endpoint.ipv6) {
    const auto groups = parseIpv6(endpoint.host);
    return groups && *groups == std::array<uint16_t, 8>{0, 0, 0, 0, 0, 0, 0, 1};
  }
  if (endpoint.host == "localhost") return true;
  const auto octets = parseDottedAddress(endpoint.host);
  return octets && (*octets)[0] == 127;
}

std::string numericHost(const Endpoint& endpoint) {
  return endpoint.host == "localhost" ? std::string("127.0.0.1") : endpoint.host;
}

ParsedOptions parseDevsimOptions(const std::vector<std::string>& args) {
  ParsedOptions result;
  DevsimOptions o;
  auto fail = [&result](std::string message) {
    result.error = std::move(message);
    return result;
  };

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h") {
      o.help = true;
      continue;
    }
    if (name == "--pty") {
      o.pty = true;
      continue;
    }
    if (name == "--allow-nonlocal") {
      o.allowNonlocal = true;
      continue;
    }
    if (name == "--log") {
      o.log = true;
      continue;
    }
    static const char* const withValue[] = {"--tcp",   "--udp",     "--address",       "--image",
                                            "--save",  "--baud",    "--drop",          "--corrupt",
                                            "--duplicate", "--delay", "--reply-address", "--close-after",
                                            "--garbage", "--store-wrong-byte", "--store-wrong-once", "--count", "--fault-device",
                                            "--random-faults"};
    bool known = false;
    for (const char* option : withValue) known = known || name == option;
    if (!known) return fail("unknown option " + name);
    if (i + 1 >= args.size()) return fail(name + " needs a value");
    const std::string& value = args[++i];
    auto bad = [&]() { return fail("bad value for " + name + ": " + value); };

    if (name == "--tcp" || name == "--udp") {
      const auto endpoint = parseEndpoint(value);
      if (!endpoint) return fail(name + " needs HOST:PORT with a numeric HOST, got " + value);
      (name == "--tcp" ? o.tcp : o.udp) = endpoint;
    } else if (name == "--address") {
      const auto n = strictNumber(value, 255);
      if (!n || *n < 1) return bad();
      o.address = static_cast<uint8_t>(*n);
    } else if (name == "--image") {
      o.imageFile = value;
    } else if (name == "--save") {
      o.saveFile = value;
    } else if (name == "--baud") {
      const auto n = strictNumber(value, 4'000'000);
      if (!n || *n < 50) return bad();
      o.baud = static_cast<int>(*n);
    } else if (name == "--drop" && value == "all") {
      o.faults.dropEvery = true;
    } else if (name == "--count") {
      const auto n = strictNumber(value, kMaxDevices);
      if (!n || *n < 1) return fail(strprintf("--count needs 1..%d, got %s", kMaxDevices, value.c_str()));
      o.count = static_cast<int>(*n);
    } else if (name == "--fault-device") {
      const auto n = strictNumber(value, kMaxDevices - 1);
      if (!n) return bad();
      o.faultDevice = static_cast<int>(*n);
    } else if (name == "--drop" || name == "--corrupt" || name == "--duplicate" || name == "--close-after") {
      const auto n = parseCount(value);
      if (!n) return bad();
      int& target = name == "--drop"      ? o.faults.dropAt
                    : name == "--corrupt" ? o.faults.corruptAt
                    : name == "--duplicate" ? o.faults.duplicateAt
                                            : o.faults.closeAfter;
      target = *n;
    } else if (name == "--delay") {
      const auto parsed = parseOptionalAt(value, kMaxFaultDelay.count());
      if (!parsed || parsed->first == 0) return fail("--delay needs N:MS, got " + value);
      o.faults.delayAt = parsed->first;
      o.faults.delay = std::chrono::milliseconds{parsed->second};
    } else if (name == "--reply-address") {
      const auto parsed = parseOptionalAt(value, 255);
      if (!parsed) return bad();
      o.faults.replyAddressAt = parsed->first;
      o.faults.replyAddress = static_cast<uint8_t>(parsed->second);
    } else if (name == "--garbage") {
      const auto parsed = parseOptionalAt(value, kMaxGarbageBytes);
      if (!parsed || parsed->second < 1) return bad();
      o.faults.garbageAt = parsed->first;
      o.faults.garbageBytes = static_cast<int>(parsed->second);
    } else if (name == "--random-faults") {
      // PERCENT[:SEED], PERCENT with at most one decimal (0.1 to 100).
      const size_t colon = value.find(':');
      const std::string percent = value.substr(0, colon);
      const size_t dot = percent.find('.');
      const auto whole = strictNumber(percent.substr(0, dot), 100);
      std::optional<int64_t> tenth = 0;
      if (dot != std::string::npos) tenth = percent.size() == dot + 2 ? strictNumber(percent.substr(dot + 1), 9) : std::nullopt;
      if (!whole || !tenth || *whole * 10 + *tenth < 1 || *whole * 10 + *tenth > 1000)
        return fail("--random-faults needs PERCENT[:SEED] with 0.1 <= PERCENT <= 100, got " + value);
      o.faults.randomPerMille = static_cast<int>(*whole * 10 + *tenth);
      if (colon != std::string::npos) {
        const auto seed = strictNumber(value.substr(colon + 1), 4294967295LL);
        if (!seed) return fail("--random-faults needs a SEED of 0..4294967295, got " + value);
        o.faults.randomSeed = static_cast<uint32_t>(*seed);
      }
    } else if (name == "--store-wrong-byte" || name == "--store-wrong-once") {
      o.faults.storeWrongOnce = name == "--store-wrong-once";
      const auto n = strictNumber(value, kMaxImageBytes - 1);
      if (!n) return bad();
      o.faults.storeWrongByte = static_cast<size_t>(*n);
    }
  }

  if (o.help) {
    result.options = o;
    return result;
  }
  if (!o.tcp && !o.udp && !o.pty) return fail("nothing to serve: give --tcp, --udp or --pty");
  for (const auto* endpoint : {&o.tcp, &o.udp}) {
    if (*endpoint && !o.allowNonlocal && !isLoopbackHost(**endpoint))
      return fail((*endpoint)->host + " is not a loopback address; refusing without --allow-nonlocal");
  }
  if (o.count > 1) {
    if (!o.tcp || o.udp || o.pty) return fail("--count serves TCP only: give --tcp and neither --udp nor --pty");
    if (o.tcp->port != 0 && o.tcp->port + o.count - 1 > 65535)
      return fail(strprintf("--count %d from port %u runs past 65535", o.count, o.tcp->port));
    if (!o.saveFile.empty() && o.saveFile.find("%d") == std::string::npos)
      return fail("--save needs a %d in its name with --count, one file per device");
  }
  if (o.faultDevice && *o.faultDevice >= o.count)
    return fail(strprintf("--fault-device %d is not below --count %d", *o.faultDevice, o.count));
  result.options = o;
  return result;
}

std::string saveFileOf(const std::string& pattern, int index) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.compare(i, 2, "%d") == 0) {
      out += std::to_string(index);
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::string devsimUsage() {
  return "Usage: velmora-devsim [options]\n"
         "A simulated gateway device for the Velmora configuration tool.\n"
         "\n"
         "Endpoints (at least one; HOST is numeric and must be loopback):\n"
         "  --tcp HOST:PORT       listen for TCP connections (port 0 picks a free one)\n"
         "  --udp HOST:PORT       answer \"RAZ\" probe datagrams\n"
         "  --pty                 open a pseudo-terminal; the tool opens the printed slave path\n"
         "  --allow-nonlocal      permit a HOST that is not 127.0.0.0/8 or ::1\n"
         "\n"
         "Device:\n"
         "  --address N           bus address 1..255 (default 1)\n"
         "  --image FILE          start with this .vmc image (raw units, at most 2048 bytes; a\n"
         "                        length that is not whole units makes the tool see a header error)\n"
         "  --save FILE           write each image the tool writes to FILE (atomically); each\n"
         "                        %d in FILE becomes the device's index (dev-%d.vmc, see --count)\n"
         "  --baud B              pace both directions as a serial line at B baud, 10 bits a byte\n"
         "  --count N             N independent devices (1..1000), device I on --tcp's port + I\n"
         "                        (port 0: N free consecutive ports); TCP only; each starts\n"
         "                        with the same image and address and keeps its own\n"
         "\n"
         "Faults (N counts a device's answered requests from 1, over all its links):\n"
         "  --drop N              send no answer to request N (all: to no request at all)\n"
         "  --corrupt N           answer request N with a bad CRC\n"
         "  --duplicate N         send the answer to request N twice\n"
         "  --delay N:MS          send the answer to request N MS milliseconds late\n"
         "  --reply-address A     answer with address A instead of the device's (N:A: request N only)\n"
         "  --close-after N       close the link once request N is answered (the pty goes away)\n"
         "  --garbage BYTES       send BYTES random non-frame bytes before every answer\n"
         "                        (N:BYTES: before answer N only; at most 65536)\n"
         "  --store-wrong-byte I  acknowledge every written image but store it with byte I\n"
         "                        (0-based, 0..2047) inverted, so a later read differs\n"
         "  --store-wrong-once I  the same for the first written image only; later ones are\n"
         "                        stored as sent\n"
         "  --random-faults P[:SEED]  drop, corrupt, delay (0.1-3 s) or close after about P per cent\n"
         "                        of the answers (0.1..100), at random but the same for the same\n"
         "                        SEED (default 1) and requests; each device draws its own\n"
         "  --fault-device I      the faults above hit device I (0-based) only, not every device\n"
         "\n"
         "  --log                 one line per request and answer on stderr\n"
         "  --help                this text\n"
         "\n"
         "Prints one line per endpoint (\"tcp 127.0.0.1:PORT\", \"pty /dev/pts/N\", \"udp 127.0.0.1:PORT\");\n"
         "with --count one \"tcp\" line per device, device 0 first,\n"
         "and runs until SIGINT or SIGTERM.\n";
}

}  // namespace velmora::sim
