#pragma once
#include <string>

#include "link/serial_io.h"

// The device that serial port number `port` stands for: on Windows port N is
// "COMN"; elsewhere the environment variable TOLVAR_COMN names the device
// (TOLVAR_COM1=/dev/ttyUSB0), else it is /dev/ttyS{N-1}. Empty for a number
// outside 1..kHighestPort.
std::string SerialDeviceName(int port);
