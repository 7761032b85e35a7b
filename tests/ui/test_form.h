#pragma once
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "backup_sender.h"
#include "link/module1.h"
#include "sim_port.h"
#include "support/fake_clock.h"
#include "ui/form_main.h"
#include "ui/status_label.h"

// The main window with every modal step answered from a script, so that the
// tests never block on a dialog.
class TestForm : public FormMain {
 public:
  using FormMain::FileDialog;

  struct FileRequest {
    FileDialog kind;
    QString title, filter;
  };
  struct Question {
    QString text;
    bool noIsDefault;
  };

  std::deque<QString> files;  // answers to the file dialogs; cancelled when empty
  std::vector<FileRequest> fileRequests;
  std::vector<QString> messages;
  std::vector<QString> details;  // what stands under each message (the port's device and reason)
  std::deque<bool> answers;  // answers to the questions; No when empty
  std::vector<Question> questions;
  int endProgramCalls = 0;

  // Run on every pass of event processing during a transfer, and on every
  // message or question before it is answered.
  std::function<void()> onEvents;
  std::function<void(const QString&)> onDialog;

  void ProcessEvents() override {
    FormMain::ProcessEvents();
    if (onEvents) onEvents();
  }
  // The window's own file dialog, for the tests that look at the dialog itself.
  QString RealChooseFile(FileDialog kind, const QString& title, const QString& filter) {
    return FormMain::ChooseFile(kind, title, filter);
  }

 protected:
  QString ChooseFile(FileDialog kind, const QString& title, const QString& filter) override {
    fileRequests.push_back({kind, title, filter});
    if (files.empty()) return {};
    QString next = files.front();
    files.pop_front();
    return next;
  }
  void ShowMessageBox(const QString& text, const QString& detail) override {
    messages.push_back(text);
    details.push_back(detail);
    if (onDialog) onDialog(text);
  }
  bool AskQuestion(const QString& question, bool noIsDefault) override {
    questions.push_back({question, noIsDefault});
    if (onDialog) onDialog(question);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void EndProgram() override { ++endProgramCalls; }
};

// A main window wired to the engine over the simulated handheld's port.
struct WindowRig {
  SimPort port;
  FakeClock clock;
  TestForm form;
  Module1 module{port, clock, form};
  QTemporaryDir folder;

  WindowRig() {
    form.SetModule(&module);
    module.eventInterval = std::chrono::microseconds(0);  // events after every poll
  }
  ~WindowRig() { form.SetModule(nullptr); }

  QString Path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }
};

inline void WriteFile(const QString& path, const std::string& bytes) {
  std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

inline std::string ReadFile(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }
