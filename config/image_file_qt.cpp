#include "config/image_file_qt.h"

#include <QSaveFile>
#include <QString>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "config/image_rules.h"

namespace velmora {

ImageFileRead readImageFile(const std::string& path) {
  ImageFileRead result;
  std::error_code ec;
  // Only regular files: a directory or a device would open but not read sensibly.
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
    result.error = kOpenFileFailed;
    return result;
  }
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > static_cast<uintmax_t>(kMaxOpenFileBytes)) {
    result.error = kOpenFileFailed;
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = kOpenFileFailed;
    return result;
  }
  // Read to the end rather than trust the size: the file may change under us,
  // and a short read must not pass for the whole file.
  std::vector<uint8_t> bytes;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    if (bytes.size() > static_cast<size_t>(kMaxOpenFileBytes)) {
      result.error = kOpenFileFailed;
      return result;
    }
  }
  if (in.bad()) {
    result.error = kOpenFileFailed;
    return result;
  }
  if (bytes.empty()) {
    result.error = kOpenFileEmpty;
    return result;
  }
  result.bytes = std::move(bytes);
  return result;
}

namespace {

bool writeWholeFile(const std::string& path, const char* bytes, qint64 size, std::string& why) {
  why.clear();
  // Unbuffered, so a short write shows at once: a buffered QSaveFile can lose
  // a failed flush and commit a truncated file.
  QSaveFile file(QString::fromStdString(path));
  const auto fail = [&file, &why] {
    why = file.errorString().toStdString();
    return false;
  };
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail();
  qint64 done = 0;
  while (done < size) {
    const qint64 n = file.write(bytes + done, size - done);
    if (n <= 0) break;
    done += n;
  }
  if (done != size || file.error() != QFileDevice::NoError) {
    fail();
    file.cancelWriting();
    return false;
  }
  return file.commit() || fail();
}

}  // namespace

bool writeImageFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& why) {
  return writeWholeFile(path, reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()), why);
}

bool writeTextFile(const std::string& path, const std::string& text, std::string& why) {
  return writeWholeFile(path, text.data(), static_cast<qint64>(text.size()), why);
}

}  // namespace velmora
