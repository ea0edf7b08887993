// What velmora-cli prints and decides about files, apart from I/O: the
// parameter list's rows (text and JSON), the other commands' JSON, and how
// two images differ byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::cli {

// One line per whole unit, "index<TAB>kind<TAB>description\n", as the
// parameter list page shows the image; a trailing partial unit is left out.
std::string dumpText(const std::vector<uint8_t>& image);
// Why image is not whole units ("3 bytes after the last whole unit"); empty
// when it is.
std::string partialUnitReason(const std::vector<uint8_t>& image);

// dump --json: [{"index": 0, "type": "串口配置", "parameters": "..."}, ...],
// the rows dumpText lists, one a line, ending in a newline.
std::string dumpJson(const std::vector<uint8_t>& image);
// get-address --json: {"address": 5}, with a newline.
std::string addressJson(int address);
// scan --json: [{"host": "127.0.0.1"}, ...] in the order found, with a newline.
std::string scanJson(const std::vector<std::string>& hosts);

// A configuration as write, diff and apply take it: a .vmc file's bytes or
// a JSON document's image. False with the reason on standard error.
bool loadConfiguration(const std::string& path, std::vector<uint8_t>& image);

}  // namespace velmora::cli
