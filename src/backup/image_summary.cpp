#include "backup/image_summary.h"

#include <QByteArrayView>
#include <QCryptographicHash>
#include <algorithm>
#include <vector>

#include "common/binary_file.h"

std::string ImageSummary(const std::string& path) {
  // The file is opened by its own name, whatever bytes it holds: a name that
  // is no valid UTF-8 would turn into another one on its way through QString.
  std::uint64_t size = 0;
  BinaryFile file;
  if (!SizeOfFile(path, size) || !file.OpenForReading(path)) return {};
  QCryptographicHash hash(QCryptographicHash::Sha256);
  std::vector<char> chunk(1 << 16);
  for (std::uint64_t left = size; left > 0;) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
    if (!file.Read(chunk.data(), count)) return {};
    hash.addData(QByteArrayView(chunk.data(), static_cast<qsizetype>(count)));
    left -= count;
  }
  return path + ": " + std::to_string(size) + " 字节, SHA-256 " + hash.result().toHex().toStdString();
}
