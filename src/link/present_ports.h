#pragma once
#include <vector>

#include "link/port_text.h"

// The serial ports present on the machine as Qt SerialPort finds them: com
// ports by number first, then the others by name.
std::vector<PresentPort> PresentPorts();
