#include "backup/image_summary.h"

#include <QCryptographicHash>
#include <QFile>

std::string ImageSummary(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&file)) return {};
  return path + ": " + std::to_string(file.size()) + " 字节, SHA-256 " + hash.result().toHex().toStdString();
}
