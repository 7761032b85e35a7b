#pragma once
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "link/port_text.h"

// `tolvar ports`: one line per present port with the name to pass to --port,
// the device, the USB vendor:product ids and the description, under a
// heading. Returns the exit status.
int ListPorts(const std::vector<PresentPort>& ports, std::ostream& out, std::ostream& err);

// `--port auto`: the name of the only USB serial adapter among `ports`. With
// none or several it says so on `err`, lists the candidates and gives nothing.
std::optional<std::string> AutoPort(const std::vector<PresentPort>& ports, std::ostream& err);
