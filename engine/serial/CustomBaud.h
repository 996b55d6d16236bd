#pragma once

// Speeds without a Bnnn constant (14400, 56000) go through the kernel's termios2 interface.
// Sets both directions to baud, leaving every other line setting as it is; false if refused.
bool SetCustomLineBaud(int fd, int baud);

// The output speed the kernel holds for the tty, in baud, whichever way it was set; -1 on failure.
int ReadLineBaud(int fd);

// The input speed the kernel holds for the tty, in baud; -1 on failure.
int ReadLineInputBaud(int fd);
