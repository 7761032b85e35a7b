#pragma once
#include <string>

#include "link/serial_io.h"

// How port numbers and device names become the devices the system opens;
// serial_device.cpp has one branch per platform.

// The device that serial port number `port` stands for: on Windows port N is
// "COMN"; elsewhere the environment variable TOLVAR_COMN names the device
// (TOLVAR_COM1=/dev/ttyUSB0), else it is /dev/ttyS{N-1}. Empty for a number
// outside 1..kHighestPort.
std::string SerialDeviceName(int port);

// A device given by its name, as the system names it. Windows names ("COM12")
// stay as they are (Qt SerialPort adds their \\.\ prefix). Elsewhere a name
// with a slash is a path, a relative one taken from the current folder; a
// bare name is a device in /dev.
std::string DeviceLocation(const std::string& device);
