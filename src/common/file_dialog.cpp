#include "common/file_dialog.h"

#include <QMimeDatabase>

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
  if (info.isRoot()) return icon(Drive);
  return icon(info.isDir() ? Folder : File);
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
  // Folders, drives, links and special files are told apart without opening
  // anything; only a regular file would be opened, so its name alone decides.
  if (!info.isFile()) return QFileIconProvider::type(info);
  const QMimeType mime = QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
  return mime.comment().isEmpty() ? mime.name() : mime.comment();
}

QString ChooseFileName(QWidget* parent, const QString& title, const QString& start, const QString& filter,
                       QFileDialog::AcceptMode accept, QFileDialog::FileMode mode, QFileDialog::Options options) {
  NameOnlyIconProvider icons;  // outlives the dialog, whose list may ask it from another thread
  QFileDialog dialog(parent, title, start, filter);
  dialog.setIconProvider(&icons);
  dialog.setAcceptMode(accept);
  dialog.setFileMode(mode);
  dialog.setOptions(dialog.options() | options);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}
