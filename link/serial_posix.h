// The POSIX side of the serial channel: the line settings as termios flags,
// and the search for the ports a user can open.
#pragma once

#include <termios.h>

#include <string>
#include <vector>

#include "link/connect_logic.h"

namespace velmora {

// The termios speed constant for a baud rate, or B0 when the rate has none.
speed_t baudToSpeed(int baudRate);

// Puts t into raw mode with no flow control and the given line settings:
// data bits 5..8 as CS5..CS8; stop code 0 one stop bit, 1 and 2 CSTOPB (a
// UART sends one and a half stop bits for 5-bit characters, two otherwise);
// parity 1 odd, 2 even, 3 mark, 4 space (CMSPAR). False, with t untouched,
// when a value has no termios form.
bool applyLineSettings(termios& t, const SerialSettings& settings);

// Which of speed, character size, parity and stop bits differ between the
// settings asked for and those the device reports back, as LineSetting
// bits; 0 when all of them took. With parity off on both sides its odd and
// mark/space flags mean nothing and are not compared.
unsigned lineSettingsMismatch(const termios& asked, const termios& taken);

// True when path names a character device served by a tty driver; false
// with errno set (ENOTTY for any other kind of node) otherwise.
bool isTtyDevice(const std::string& path);

// Opens path the way the channel does (read/write, no controlling tty,
// non-blocking) and takes the exclusive lock; -1 with errno set on failure.
// Only a tty device is opened at all.
// On success the descriptor holds TIOCEXCL and the flock.
int openSerialDevice(const std::string& path);
// Gives up TIOCEXCL (it outlives the descriptor on a tty others hold open)
// and closes.
void closeSerialDevice(int fd);

// Why path would not open now the way the channel opens it (missing, not a
// tty, not ours, another program has it), as an errno value; 0 when it
// would. Only looked at, never taken: no TIOCEXCL is set or cleared.
int openBlocker(const std::string& path);

// The device paths among /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyAMA*
// and /dev/serial/by-id/* that open now, in display order. A ttyS node
// without a UART behind it is left out.
std::vector<std::string> probeSerialPorts();
// The candidates that open now, in display order; what probeSerialPorts
// does with the paths it found.
std::vector<std::string> filterOpenablePorts(const std::vector<std::string>& candidates);

}  // namespace velmora
