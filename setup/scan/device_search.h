// The search of the present devices by a piece of their hardware ID, and the removal of the device found.
#pragma once

#include "win32api.h"

// Looks through the present devices of every class for the first one with a hardware ID that contains the
// text in pattern (a 256-byte buffer). On a match the whole hardware ID replaces the pattern, and with
// *remove set the device is removed (*remove then tells whether that worked). Returns 1 when a device
// matched, else 0.
int FindDeviceByHardwareId(char* pattern, int* remove);
