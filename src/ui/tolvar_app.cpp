#include "ui/tolvar_app.h"

#include <QApplication>

#include "ui/form_back_nand.h"
#include "ui/form_back_nor.h"

TolvarWindow::TolvarWindow(SerialIo& io, PortEnumerator listPorts) : module_(io, clock_, form) {
  form.ComboCom->listPorts = std::move(listPorts);
  form.SetModule(&module_);
  form.ShowFormBackNor = [this] { ShowFormBackNor(module_, &form, [this] { form.CommandSatrt_Click(); }); };
  form.ShowFormBackNand = [this] { ShowFormBackNand(module_, &form, [this] { form.CommandSatrt_Click(); }); };
}

TolvarWindow::~TolvarWindow() { form.SetModule(nullptr); }

int RunTolvarWindow(QApplication& app, SerialIo& io, PortEnumerator listPorts) {
  TolvarWindow window(io, std::move(listPorts));
  window.form.show();
  return app.exec();
}
