#include "ui/repair_dialog.h"

#include <QKeyEvent>

#include "link/module1.h"

RepairDialog::RepairDialog(Module1& m, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window), m_(m), mainWindow_(mainWindow), imagePath_(m.ImagePath) {
  setAttribute(Qt::WA_DeleteOnClose);
}

void RepairDialog::HandOverToMainWindow() {
  m_.ImagePath = imagePath_;
  if (mainWindow_) {
    mainWindow_->show();
    mainWindow_->activateWindow();
  }
  hide();
}

void RepairDialog::SayWhatIsLeft(RepairEnding ending, const std::string& next) {
  if (ending != RepairEnding::Success && m_.HandheldWritten) m_.host.SetStatus(kRunRepairAgain + next);
}

void RepairDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    Command2_Click();
    return;
  }
  QWidget::keyPressEvent(event);
}
