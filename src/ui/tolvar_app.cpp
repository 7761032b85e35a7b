#include "ui/tolvar_app.h"

#include <QApplication>

#include "link/module1.h"
#include "link/tick_clock.h"
#include "ui/form_back_nand.h"
#include "ui/form_back_nor.h"
#include "ui/form_main.h"

int RunTolvarWindow(QApplication& app, SerialIo& io, PortEnumerator listPorts) {
  SystemTickClock clock;
  FormMain form;
  form.ComboCom->listPorts = std::move(listPorts);
  Module1 module(io, clock, form);
  form.SetModule(&module);
  form.ShowFormBackNor = [&] { ShowFormBackNor(module, &form, [&] { form.CommandSatrt_Click(); }); };
  form.ShowFormBackNand = [&] { ShowFormBackNand(module, &form, [&] { form.CommandSatrt_Click(); }); };
  form.show();
  const int result = app.exec();
  form.SetModule(nullptr);
  return result;
}
