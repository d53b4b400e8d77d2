// The tray program's volume icon: bit value 4 of the first byte of its "Services" value, for the current user
// and the default user, then the tray program restarted.
#pragma once

void UpdateTrayIcon(bool show_volume_icon);
