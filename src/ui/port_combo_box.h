#pragma once
#include <QComboBox>

#include "link/port_text.h"

// The port choice of the main window: "com1" to "com8", and each time the
// list opens also the serial ports present on the machine, with their
// descriptions ("com12 (USB-SERIAL CH340)", "/dev/ttyUSB0 (FT232R USB UART)").
// A present port among com1 to com8 gets its description in its own place.
// Plugging or unplugging an adapter shows the next time the list opens; what
// the user typed stays as typed.
class PortComboBox final : public QComboBox {
 public:
  explicit PortComboBox(QWidget* parent = nullptr);

  // Where the present ports come from; none are listed while it is empty.
  PortEnumerator listPorts;

  void showPopup() override;

 private:
  void Refresh();
};
