#include "common/file_dialog.h"

#include <QFileSystemModel>
#include <QGuiApplication>
#include <QScreen>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>

namespace {

// The patterns of one filter in Qt's form: "Nand文件 (*.nand)" -> {"*.nand"};
// a filter without parentheses is all patterns.
QStringList PatternsOf(const QString& filter) {
  const qsizetype open = filter.lastIndexOf(u'('), close = filter.lastIndexOf(u')');
  const QString patterns = open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : filter;
  return patterns.split(u' ', Qt::SkipEmptyParts);
}

// The extension a typed name gets under `filter` ("Nand文件 (*.nand)" ->
// "nand"), none when its first pattern names none ("*.*", "*").
QString ExtensionOfFilter(const QString& filter) {
  const QStringList patterns = PatternsOf(filter);
  if (patterns.isEmpty() || !patterns[0].startsWith(QStringLiteral("*."))) return {};
  const QString extension = patterns[0].mid(2);
  const bool wildcard = extension.contains(u'*') || extension.contains(u'?') || extension.contains(u'[');
  return wildcard ? QString() : extension;
}

// True when `filter` stands for every file: one of its patterns is "*" or "*.*".
bool FilterMeansEveryFile(const QString& filter) {
  const QStringList patterns = PatternsOf(filter);
  return patterns.contains(QStringLiteral("*")) || patterns.contains(QStringLiteral("*.*"));
}

// The dialog's list with sizes and dates in the default locale; Qt writes
// them in the system's ("4 bytes", "7 Dec 2024") whatever the program speaks.
class LocalColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    enum { kSize = 1, kDate = 3 };
    auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || (index.column() != kSize && index.column() != kDate))
      return QIdentityProxyModel::data(index, role);
    const QModelIndex entry = mapToSource(index);
    if (index.column() == kDate) return QLocale().toString(files->lastModified(entry), QLocale::ShortFormat);
    if (files->isDir(entry)) return QString();
    return QLocale().formattedDataSize(files->size(entry));
  }
};

// Qt sizes its dialog for a usual screen; on a small one at a large scale
// (1280x800 at 200%: 640x400 to lay out in) its buttons would be cut off.
// The dialog then takes what the screen has, less room for the borders and
// title bar a window manager adds; Qt places it within the screen.
void FitOnScreen(QDialog& dialog, const QWidget* parent) {
  const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QSize frame(16, 48);
  const QSize room = screen->availableGeometry().size() - frame;
  const QSize wanted = dialog.sizeHint();
  if (wanted.width() > room.width() || wanted.height() > room.height()) dialog.resize(wanted.boundedTo(room));
}

}  // namespace

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
  if (info.isRoot()) return icon(Drive);
  return icon(info.isDir() ? Folder : File);
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
  // Folders, drives, links and special files are told apart without opening
  // anything; only a regular file would be opened, so its name alone decides.
  if (info.isRoot()) return QStringLiteral("驱动器");
  if (info.isFile()) {
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
  }
  if (info.isDir()) return QStringLiteral("文件夹");
  if (info.isSymLink()) return QStringLiteral("快捷方式");
  return QStringLiteral("未知");
}

QString ChooseFileName(QWidget* parent, const QString& title, const QString& start, const QString& filter,
                       QFileDialog::AcceptMode accept, QFileDialog::FileMode mode, QFileDialog::Options options) {
  NameOnlyIconProvider icons;  // outlives the dialog, whose list may ask it from another thread
  QFileDialog dialog(parent, title, start, filter);
  dialog.setIconProvider(&icons);
  dialog.setAcceptMode(accept);
  dialog.setFileMode(mode);
  dialog.setOptions(dialog.options() | options);
  // Qt's own dialog only: a platform's dialog keeps its list and name to itself.
  auto* columns = new LocalColumns(&dialog);
  dialog.setProxyModel(columns);
  auto* files = qobject_cast<QFileSystemModel*>(columns->sourceModel());
  auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));

  // Qt's Save dialog turns a typed "x.nand" into "x.*" when "*.*" is
  // selected; the name as it was before is put back then.
  QString lastName;
  if (name)
    QObject::connect(name, &QLineEdit::textChanged, &dialog, [&lastName](const QString& text) {
      if (!text.endsWith(QStringLiteral(".*"))) lastName = text;
    });

  // The dialog sets its list's name filters and the name before it tells
  // which filter the user selected, so both can be mended here.
  const auto follow = [&](const QString& selected) {
    if (mode == QFileDialog::AnyFile) dialog.setDefaultSuffix(ExtensionOfFilter(selected));
    if (!FilterMeansEveryFile(selected)) return;
    if (files) files->setNameFilters({});
    if (name && name->text().endsWith(QStringLiteral(".*"))) name->setText(lastName);
  };
  follow(dialog.selectedNameFilter());
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);

  FitOnScreen(dialog, parent);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}
