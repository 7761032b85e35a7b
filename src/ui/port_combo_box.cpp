#include "ui/port_combo_box.h"

namespace {
constexpr int kFixedPorts = 8;  // com1 to com8 are always offered
}

PortComboBox::PortComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  Refresh();
}

void PortComboBox::showPopup() {
  Refresh();
  QComboBox::showPopup();
}

void PortComboBox::Refresh() {
  QStringList entries;
  for (int port = 1; port <= kFixedPorts; ++port) entries << QStringLiteral("com%1").arg(port);
  if (listPorts) {
    for (const PresentPort& present : listPorts()) {
      const QString entry = QString::fromStdString(ListEntry(present));
      const int number = PortNumberOfText(present.name);
      if (number >= 1 && number <= kFixedPorts)
        entries[number - 1] = entry;
      else
        entries << entry;
    }
  }
  QStringList current;
  for (int i = 0; i < count(); ++i) current << itemText(i);
  if (entries == current) return;

  const QString typed = currentText();
  clear();
  addItems(entries);
  setCurrentIndex(findText(typed));
  setEditText(typed);
}
