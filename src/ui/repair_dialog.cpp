#include "ui/repair_dialog.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QShowEvent>

#include "link/module1.h"
#include "ui/form_main.h"

RepairDialog::RepairDialog(Module1& m, FormMain* mainWindow)
    : QWidget(mainWindow, Qt::Window), m_(m), mainWindow_(mainWindow), imagePath_(m.ImagePath) {
  setAttribute(Qt::WA_DeleteOnClose);
}

bool RepairDialog::HandOverToMainWindow() {
  if (mainWindow_ && !mainWindow_->TakePort()) return false;
  m_.ImagePath = imagePath_;
  if (mainWindow_) {
    mainWindow_->show();
    mainWindow_->activateWindow();
  }
  hide();
  return true;
}

void RepairDialog::Reject(const std::string& message, const std::string& reason) {
  m_.host.ShowWithReason(message, m_.ImagePath + ": " + reason);
}

void RepairDialog::CentreOnMainWindow() {
  if (!mainWindow_) return;
  adjustSize();
  move(mainWindow_->frameGeometry().center() - rect().center());
}

void RepairDialog::SayWhatIsLeft(RepairEnding ending, const std::string& status, const std::string& message) {
  if (ending == RepairEnding::Success || !m_.HandheldWritten) return;
  if (ending != RepairEnding::Cancel && !message.empty()) m_.host.ShowMessage(message);
  m_.host.SetStatus(status);
}

void RepairDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    Command2_Click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void RepairDialog::showEvent(QShowEvent* event) {
  if (mainWindow_) {
    mainWindow_->FramePurpose->setEnabled(false);
    mainWindow_->CommandSatrt->setEnabled(false);
  }
  QWidget::showEvent(event);
}

// Hidden when the repair starts (its cancel is the start button) or closed.
void RepairDialog::hideEvent(QHideEvent* event) {
  if (mainWindow_) mainWindow_->CommandSatrt->setEnabled(true);
  QWidget::hideEvent(event);
}

void RepairDialog::closeEvent(QCloseEvent* event) {
  if (mainWindow_ && !mainWindow_->transferRunning()) mainWindow_->FramePurpose->setEnabled(true);
  QWidget::closeEvent(event);
}
