#pragma once
#include <QFileDialog>
#include <QFileIconProvider>
#include <QString>

// Icons and type names for a file dialog's list, judged by each entry's name
// and kind alone. Qt's own provider asks the MIME database about every file,
// and the database reads a file whose name says nothing about it: listing
// /proc (its kmsg) or a folder with a link to a named pipe then blocks the
// window for good. Type names are Chinese: a file's is the MIME comment in
// the default locale's language, the others are ours.
class NameOnlyIconProvider : public QFileIconProvider {
 public:
  using QFileIconProvider::icon;
  QIcon icon(const QFileInfo& info) const override;
  QString type(const QFileInfo& info) const override;
};

// Shows a modal file dialog whose list never opens a file, starting in
// `start` (a folder, or a file name to propose). Returns the chosen path, or
// an empty text when the user cancelled. `filter` is in Qt's form
// ("Nand文件 (*.nand);;所有文件 (*.*)"). Where the platform has a dialog of its
// own (Windows), that one is shown, as Qt does; otherwise Qt's dialog lists
// sizes and dates in the default locale, and a filter of "*.*" lists every
// file, as it does on Windows, not only names with a dot. With `mode`
// AnyFile a typed name without an extension gets that of the selected filter
// ("x" -> "x.nand"; none under "*.*").
QString ChooseFileName(QWidget* parent, const QString& title, const QString& start, const QString& filter,
                       QFileDialog::AcceptMode accept, QFileDialog::FileMode mode,
                       QFileDialog::Options options = {});
