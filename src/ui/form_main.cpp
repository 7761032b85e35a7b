#include "ui/form_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>

#include "backup/backup.h"
#include "backup/image_summary.h"
#include "common/file_dialog.h"
#include "common/file_exists.h"
#include "common/interruption_watch.h"
#include "common/target_check.h"
#include "image_check/image_check.h"
#include "link/module1.h"
#include "link/port_text.h"
#include "repair/repair_checks.h"
#include "ui/form_about.h"
#include "ui/form_cancel.h"
#include "ui/status_label.h"
#include "ui/repair_dialog.h"
#include "ui/widget_text.h"

const char* const FormMain::kStartCaption = "开始通信";
const char* const FormMain::kCancelCaption = "取  消";
const char* const FormMain::kIdleStatus = "等待开始...";

namespace {

const char* const kTitle = "Tolvar";
const char* const kNorFilter = "Nor文件 (*.nor);;所有文件 (*.*)";
const char* const kNandFilter = "Nand文件 (*.nand);;所有文件 (*.*)";
const char* const kSaveTitle = "指定一个你要保存的文件名";
const char* const kOpenTitle = "打开一个已存在的备份文件";
const char* const kOverwriteQuestion = "文件已存在,要覆盖吗？";

}  // namespace

FormMain::FormMain(QWidget* parent) : QWidget(parent) {
  setupUi(this);
  // What the user typed is what counts: inline completion would turn a typed
  // "com" into "com1" and start a transfer on a port never chosen.
  ComboCom->setCompleter(nullptr);
  ComboKind->setCompleter(nullptr);
  purposes_.addButton(OptionSaveNor, 1);
  purposes_.addButton(OptionBackNor, 2);
  purposes_.addButton(OptionSaveNand, 3);
  purposes_.addButton(OptionBackNand, 4);

  connect(CommandSatrt, &QPushButton::clicked, this, &FormMain::CommandSatrt_Click);
  connect(CommandAbout, &QPushButton::clicked, this, &FormMain::CommandAbout_Click);
  connect(CommandExit, &QPushButton::clicked, this, &FormMain::CommandExit_Click);
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
    if (HoldSessionEnd() && session.allowsInteraction()) session.cancel();
  });
  // Interrupted, a transfer takes its cancel ending first; then the program ends.
  WatchInterruptions(this, [this] {
    if (!transferRunning_) return EndProgram();
    if (module_) module_->RequestCancel();
  });
  Form_Load();
}

bool FormMain::HoldSessionEnd() {
  if (!transferRunning_) return false;
  close();
  return true;
}

FormMain::~FormMain() = default;

void FormMain::Form_Load() {
  ComboCom->setCurrentIndex(ComboCom->findText(QStringLiteral("com1")));
  ComboCom->setEditText(QStringLiteral("com1"));
  ComboKind->setCurrentIndex(ComboKind->findText(QStringLiteral("NC3000")));
  ComboKind->setEditText(QStringLiteral("NC3000"));
  OptionSaveNor->setChecked(true);
}

int FormMain::PurposeCode() const { return std::max(0, purposes_.checkedId()); }

bool FormMain::TakePort() {
  if (!module_) return false;
  const std::string text = ComboCom->currentText().toStdString();
  if (const std::string problem = PortTextProblem(text); !problem.empty()) {
    ShowMessage(problem);
    return false;
  }
  const std::string device = DevicePathOfText(text);
  if (device.empty())
    module_->ComPort = PortNumberOfText(text);
  else
    module_->UseDevice(device);
  return true;
}

void FormMain::CommandSatrt_Click() {
  if (CommandSatrt->text() == Text(kCancelCaption)) {
    ShowCancelDialog();
    return;
  }
  if (!TakePort()) return;  // before any file is chosen
  Module1& m = *module_;

  const int purpose = PurposeCode();
  if (purpose < 1 || purpose > 4) return;  // nothing selected: no dialog, nothing to do
  const bool backup = purpose == 1 || purpose == 3;
  const QString filter = Text(purpose <= 2 ? kNorFilter : kNandFilter);

  QString chosen;
  for (;;) {
    chosen = backup ? ChooseFile(FileDialog::Save, Text(kSaveTitle), filter)
                    : ChooseFile(FileDialog::Open, Text(kOpenTitle), filter);
    if (chosen.isEmpty()) return;  // the user cancelled
    if (!backup) {
      const std::string reason = UnreadableReason(chosen.toStdString());
      if (reason.empty()) break;
      ShowWithReason(kFileErrorReselect, chosen.toStdString() + ": " + reason);
      continue;  // the dialog opens again
    }
    // A target that could never be written is refused before the port
    // opens; the dialog opens again.
    const Target target = CheckTarget(chosen.toStdString());
    if (!target.problem.empty()) {
      ShowMessage(target.problem);
      continue;
    }
    if (!target.exists) break;
    if (AskQuestion(Text(kOverwriteQuestion), true)) break;
  }
  m.ImagePath = chosen.toStdString();
  // One task at a time: a repair dialog still open from an earlier start
  // must not run its repair on this file, nor start during this task.
  for (RepairDialog* earlier : findChildren<RepairDialog*>()) earlier->Unload();

  switch (purpose) {
    case 1:
      SaveNor();
      break;
    case 2:
      if (ShowFormBackNor) ShowFormBackNor();
      break;
    case 3:
      SaveNand();
      break;
    case 4:
      if (ShowFormBackNand) ShowFormBackNand();
      break;
  }
}

// After a successful backup the status line keeps the image's size, its
// SHA-256 and the check's verdict until the next task starts. An image that
// is not sound is said once more in a box of its own, with what to do.
void FormMain::ShowBackupSummary() {
  const std::string summary = ImageSummary(module_->ImagePath);
  const ImageCheck check = CheckImageFile(module_->ImagePath);
  SetStatus((summary.empty() ? "" : summary + ", ") + Verdict(check));
  if (!check.Sound()) ShowMessage(VerdictAdvice(check));
}

void FormMain::SaveNor() {
  if (module_ && ::SaveNor(*module_) == BackupEnding::Success) ShowBackupSummary();
}

void FormMain::SaveNand() {
  if (!module_) return;
  if (::SaveNand(*module_) == BackupEnding::Success) return ShowBackupSummary();
  // The box that named it is gone once dismissed: the status line keeps it.
  if (!module_->PartialImage.empty()) SetStatus("已接收的块保存在 " + module_->PartialImage);
}

void FormMain::CommandAbout_Click() {
  if (!about_) about_ = new FormAbout(this);
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void FormMain::CommandExit_Click() {
  if (transferRunning_) return;  // the button is disabled meanwhile
  EndProgram();
}

void FormMain::EndProgram() {
  close();
  QCoreApplication::quit();
}

void FormMain::closeEvent(QCloseEvent* event) {
  if (transferRunning_) {
    // Same as the start button while it reads "取  消": the transfer must take
    // its cancel ending (temporary file removed, port closed) before the
    // window may go.
    event->ignore();
    closePending_ = true;
    ShowCancelDialog();
    return;
  }
  closePending_ = false;
  if (cancel_) cancel_->Unload();
  if (about_) about_->close();
  event->accept();
}

// --- cancel dialog ---

FormAbout* FormMain::aboutDialog() const { return about_.data(); }

FormCancel* FormMain::cancelDialog() const { return cancel_ && !cancel_->unloaded() ? cancel_.data() : nullptr; }

void FormMain::ShowCancelDialog() {
  if (!module_) return;
  if (!cancelDialog()) {
    cancel_ = new FormCancel(*module_, this);
    connect(cancel_, &FormCancel::answered, this, &FormMain::CancelAnswered);
  }
  cancel_->show();
  cancel_->raise();
  cancel_->activateWindow();
}

void FormMain::CancelAnswered(bool yes) {
  if (!yes) closePending_ = false;  // the transfer goes on, and so does the window
}

void FormMain::HideCancelDialog() {
  if (FormCancel* dialog = cancelDialog()) {
    dialog->hide();
    closePending_ = false;  // a close waits for the answer; hidden unanswered, both are gone
  }
}

void FormMain::UnloadCancelDialog() {
  if (FormCancel* dialog = cancelDialog()) dialog->Unload();
  cancel_ = nullptr;
}

// --- Host ---

QProgressBar* FormMain::BarOf(Bar bar) const { return bar == Bar::Current ? ProgressBar1 : ProgressBar2; }

void FormMain::SetStatus(const std::string& text) { LabelStatus->setLine(WidgetText(text)); }

void FormMain::SetBarRange(Bar bar, int minimum, int maximum) {
  QProgressBar* target = BarOf(bar);
  const int value = target->value();
  maximum = std::max(minimum, maximum);
  target->setRange(minimum, maximum);
  target->setValue(std::clamp(value, minimum, maximum));
}

void FormMain::SetBarValue(Bar bar, int value) {
  QProgressBar* target = BarOf(bar);
  target->setValue(std::clamp(value, target->minimum(), target->maximum()));
}

void FormMain::ShowMessage(const std::string& text) { ShowMessageBox(WidgetText(text), {}); }

void FormMain::ShowWithReason(const std::string& message, const std::string& reason) {
  ShowMessageBox(WidgetText(message), WidgetText(reason));
}

bool FormMain::Ask(const std::string& question, bool noIsDefault) {
  return AskQuestion(WidgetText(question), noIsDefault);
}

void FormMain::LockForTransfer(Task task) {
  transferRunning_ = true;
  LabelStatus->setLine(Text(kIdleStatus));  // nothing of an earlier task stays
  CommandExit->setEnabled(false);
  FramePurpose->setEnabled(false);
  FrameConfig->setEnabled(false);
  CommandSatrt->setText(Text(kCancelCaption));
  if (task == Task::Backup) {
    ProgressBar2->setEnabled(false);
    Label10->setEnabled(false);
  }
}

void FormMain::RestoreAfterTransfer(Task task) {
  CommandExit->setEnabled(true);
  FramePurpose->setEnabled(true);
  FrameConfig->setEnabled(true);
  ProgressBar1->setValue(ProgressBar1->minimum());
  if (task == Task::Backup) {
    ProgressBar2->setEnabled(true);
    Label10->setEnabled(true);
  } else {
    ProgressBar2->setValue(ProgressBar2->minimum());
  }
  CommandSatrt->setText(Text(kStartCaption));
  LabelStatus->setLine(Text(kIdleStatus));
  transferRunning_ = false;
  // A close asked for during the transfer happens once the transfer's own
  // click handler has returned to the event loop.
  if (closePending_) QTimer::singleShot(0, this, [this] {
      if (closePending_ && !transferRunning_) close();
    });
}

std::string FormMain::ModelText() { return ComboKind->currentText().toStdString(); }

void FormMain::ProcessEvents() {
  QCoreApplication::processEvents();
  // At once, not at the watch's next look: a transfer asks here last before it replaces a file.
  if (Interrupted() && transferRunning_ && module_) module_->RequestCancel();
}

// --- modal dialogs ---

QString FormMain::ChooseFile(FileDialog kind, const QString& title, const QString& filter) {
  const bool save = kind == FileDialog::Save;
  // The overwrite question is ours alone (asked after the dialog).
  const QString chosen = ChooseFileName(this, title, lastFolder_, filter, save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen,
                                        save ? QFileDialog::AnyFile : QFileDialog::ExistingFile,
                                        save ? QFileDialog::DontConfirmOverwrite : QFileDialog::Options());
  if (!chosen.isEmpty()) lastFolder_ = QFileInfo(chosen).absolutePath();
  return chosen;
}

void FormMain::ShowMessageBox(const QString& text, const QString& detail) {
  QMessageBox box(QMessageBox::NoIcon, Text(kTitle), text, QMessageBox::Ok, this);
  if (!detail.isEmpty()) box.setInformativeText(detail);
  box.exec();
}

bool FormMain::AskQuestion(const QString& question, bool noIsDefault) {
  QMessageBox box(QMessageBox::Question, Text(kTitle), question, QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(noIsDefault ? QMessageBox::No : QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}
