#include "ui/form_back_nor.h"

#include "link/module1.h"
#include "repair/nor_repair.h"

FormBackNor::FormBackNor(Module1& m, FormMain* mainWindow) : RepairDialog(m, mainWindow) {
  setupUi(this);
  connect(Command1, &QPushButton::clicked, this, &FormBackNor::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &FormBackNor::Command2_Click);
}

bool FormBackNor::Form_Load() {
  const std::string problem = NorImageProblem(m_.ImagePath);
  if (!problem.empty()) Reject(kFileErrorReselect, problem);
  return problem.empty();
}

NorRepairOptions FormBackNor::Options() const {
  NorRepairOptions o;
  o.page00 = Check1->isChecked();
  o.page01 = Check2->isChecked();
  o.pagesFrom02 = Check3->isChecked();
  o.lowSpeed = Check4->isChecked();
  o.format = Check5->isChecked();
  return o;
}

void FormBackNor::Command1_Click() {
  const NorRepairOptions options = Options();
  if (!options.AnyPage()) {
    m_.host.ShowMessage(kNoPageChosen);
    return;
  }
  if (!HandOverToMainWindow()) return;
  SayWhatIsLeft(BackNor(m_, options));
  Unload();
}

FormBackNor* ShowFormBackNor(Module1& m, FormMain* mainWindow, const std::function<void()>& startAgain) {
  return RepairDialog::Show(new FormBackNor(m, mainWindow), startAgain);
}
