// The removal of the INF files that earlier releases of the maker's audio drivers left in the Windows INF
// folders, so that Windows cannot match an old INF against the device.
#pragma once

// Deletes every INF file of INF\OTHER and of the INF folder (the OEM and QV ones) whose "Strings" section
// names one of the maker's earlier devices, together with its precompiled twin (the same path ending in PNF).
// Reports nothing; whatever fails is passed over.
void RemoveLegacyDrivers();
