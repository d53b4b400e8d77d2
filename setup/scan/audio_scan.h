// The registry scan of the installed audio devices: moves the driver setting of the maker's chips from its
// older value name to the current one.
#pragma once

#include "win32api.h"

// Set when a device carried both names with different values; never cleared while the process runs.
extern LONG RestartNeeded;

void ScanAudioDevices();
void MigrateAudioDeviceSettings(const char* class_key_path);
