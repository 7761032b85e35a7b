#pragma once
#include <QWidget>
#include <functional>
#include <string>

#include "repair/repair_ending.h"

class FormMain;
class Module1;
class QCloseEvent;
class QHideEvent;
class QKeyEvent;
class QShowEvent;

// What the two repair option dialogs share: a window of their own beside the
// main window, which they hand over to while the repair runs, and the way
// they are loaded, rejected and unloaded.
class RepairDialog : public QWidget {
  Q_OBJECT

 public:
  RepairDialog(Module1& m, FormMain* mainWindow);

  // Checks the image at ImagePath; false (after the rejection message) when
  // it cannot be repaired.
  virtual bool Form_Load() = 0;
  void Command2_Click() { Unload(); }
  void Unload() { close(); }

  // What the main window's start button does for a repair once ImagePath is
  // set: load the dialog and show it, or, when the file is rejected, run
  // `startAgain` (the start button's action) so that the user chooses anew.
  // Returns the dialog shown, or null.
  template <typename Dialog>
  static Dialog* Show(Dialog* dialog, const std::function<void()>& startAgain) {
    if (dialog->Form_Load()) {
      dialog->CentreOnMainWindow();
      dialog->show();
      return dialog;
    }
    delete dialog;
    if (startAgain) startAgain();
    return nullptr;
  }

 protected:
  // Takes the port the main window shows now (the user may have changed it
  // since the start button), brings the main window to the front, hides this
  // dialog for the repair and makes the image this dialog checked the one
  // the repair sends. False, with the dialog left open, when the port text
  // names no port.
  bool HandOverToMainWindow();
  // Rejects the image: the message, and under it the reason it leaves out.
  void Reject(const std::string& message, const std::string& reason);
  // After a repair that ended without success once the handheld had been
  // sent part of the image, the status line says that the repair must run
  // again (instead of "等待开始..."), as `status` has it; the ending's own
  // message stays as it is. An ending other than a cancel also shows
  // `message`, when there is one, in a box of its own.
  void SayWhatIsLeft(RepairEnding ending, const std::string& status = kRunRepairAgain, const std::string& message = {});
  void CentreOnMainWindow();
  // Escape closes the dialog like "取消", as it does every other dialog.
  void keyPressEvent(QKeyEvent* event) override;
  // While the dialog is open, its repair is the purpose: the main window's
  // purpose options are disabled until the dialog closes, and its start
  // button (which would open a second dialog) until it hides.
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

  Module1& m_;
  FormMain* mainWindow_;
  const std::string imagePath_;  // ImagePath when the dialog loaded
};
