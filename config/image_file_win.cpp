// Configuration files on Windows: names are UTF-8 (velmora-cli takes its
// arguments as UTF-16 and converts them), read whole, and written to a
// temporary file beside the target that MoveFileExW puts in its place only
// when every byte reached the disk.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/win_text_win.h"
#include "config/image_file_qt.h"
#include "config/image_rules.h"

namespace velmora {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  void close() {
    if (valid()) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_;
};

bool writeWhole(const std::string& path, const char* data, size_t size, std::string& why) {
  why.clear();
  const std::wstring target = widen(path);
  const std::wstring temporary = target + L".velmora-tmp";
  const auto fail = [&why](DWORD code) {
    why = windowsErrorText(code);
    return false;
  };
  {
    Handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return fail(GetLastError());
    size_t done = 0;
    while (done < size) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 20));
      DWORD wrote = 0;
      if (!WriteFile(file.get(), data + done, chunk, &wrote, nullptr) || wrote == 0) {
        const DWORD code = GetLastError();
        file.close();
        DeleteFileW(temporary.c_str());
        return fail(code);
      }
      done += wrote;
    }
    if (!FlushFileBuffers(file.get())) {
      const DWORD code = GetLastError();
      file.close();
      DeleteFileW(temporary.c_str());
      return fail(code);
    }
  }
  if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    DeleteFileW(temporary.c_str());
    return fail(code);
  }
  return true;
}

}  // namespace

ImageFileRead readImageFile(const std::string& path) {
  ImageFileRead result;
  result.error = kOpenFileFailed;
  if (path.empty()) return result;
  const std::wstring name = widen(path);
  // Only regular files: a folder or a device would open but not read sensibly.
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return result;
  Handle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) return result;
  // Read to the end rather than trust the size: the file may change under us.
  std::vector<uint8_t> bytes;
  char chunk[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return result;
    if (got == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (bytes.size() > static_cast<size_t>(kMaxOpenFileBytes)) return result;
  }
  if (bytes.empty()) {
    result.error = kOpenFileEmpty;
    return result;
  }
  result.error.clear();
  result.bytes = std::move(bytes);
  return result;
}

bool writeImageFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& why) {
  return writeWhole(path, reinterpret_cast<const char*>(bytes.data()), bytes.size(), why);
}

bool writeTextFile(const std::string& path, std::string_view text, std::string& why) {
  return writeWhole(path, text.data(), text.size(), why);
}

}  // namespace velmora
