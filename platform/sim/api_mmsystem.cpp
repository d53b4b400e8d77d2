// Multimedia functions of the simulated machine: MCI for the CD drives (open, status, door, close), the mixer
// device count in virtual time, and sound playback, recorded.
#include <cctype>
#include <cstdio>

#include "sim/api/files.h"
#include "sim/devices.h"

using namespace sim;

namespace {

void Log(const std::string& text) {
    CurrentMachine().Log("mci", text);
}

MCIERROR Result(const std::string& call, MCIERROR error) {
    Log(call + (error ? " -> MCI error " + std::to_string(error) : " -> 0"));
    return error;
}

std::vector<MciDevice>& ProcessDevices() {
    return Devices(CurrentMachine()).mci[CurrentProcess().id];
}

MciDevice* FindDevice(MCIDEVICEID id) {
    for (MciDevice& device : ProcessDevices())
        if (device.id == id) return &device;
    return nullptr;
}

bool IsCdDrive(char letter) {
    char root[] = {letter, ':', '\\', '\0'};
    return GetDriveTypeA(root) == DRIVE_CDROM;
}

// MCI_NOTIFY: the device owes the callback window a notification once the command is done.
void Notify(DWORD_PTR flags, DWORD_PTR callback, MCIDEVICEID device) {
    if (!(flags & MCI_NOTIFY)) return;
    HWND window = reinterpret_cast<HWND>(callback);
    Devices(CurrentMachine()).mci_notifications.push_back({window, device, MCI_NOTIFY_SUCCESSFUL});
}

// The device type an open names: only the CD audio device is installed on the machine.
MCIERROR CheckDeviceType(DWORD_PTR flags, const MCI_OPEN_PARMSA& parms) {
    if (!(flags & MCI_OPEN_TYPE)) return MCIERR_INVALID_DEVICE_NAME;
    if (flags & MCI_OPEN_TYPE_ID)
        return LOWORD(parms.lpstrDeviceType) == MCI_DEVTYPE_CD_AUDIO ? 0 : MCIERR_CANNOT_LOAD_DRIVER;
    if (!parms.lpstrDeviceType) return MCIERR_NULL_PARAMETER_BLOCK;
    return EqualsNoCase(parms.lpstrDeviceType, "cdaudio") ? 0 : MCIERR_INVALID_DEVICE_NAME;
}

// The drive an open names with its element ("D:"), or the first CD drive. Like Windows' CD audio driver, an
// element that is not a CD drive is an invalid file.
MCIERROR ChooseDrive(DWORD_PTR flags, const MCI_OPEN_PARMSA& parms, char* drive) {
    if (flags & MCI_OPEN_ELEMENT) {
        if (flags & MCI_OPEN_ELEMENT_ID) return MCIERR_FLAGS_NOT_COMPATIBLE;
        const char* element = parms.lpstrElementName;
        if (!element || !std::isalpha(static_cast<unsigned char>(element[0]))) return MCIERR_INVALID_FILE;
        *drive = FoldCase(element[0]);
        return IsCdDrive(*drive) ? 0 : MCIERR_INVALID_FILE;
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (IsCdDrive(letter)) return *drive = letter, 0;
    return MCIERR_CANNOT_LOAD_DRIVER;
}

// The name the device will be known by must be free in the process: an alias that is taken is a duplicate
// alias, another name that is taken means the device is open already.
MCIERROR CheckName(DWORD_PTR flags, const std::string& name) {
    for (const MciDevice& device : ProcessDevices())
        if (EqualsNoCase(device.alias, name))
            return (flags & MCI_OPEN_ALIAS) ? MCIERR_DUPLICATE_ALIAS : MCIERR_DEVICE_OPEN;
    return 0;
}

// A drive that is open already may be opened again only when both opens are shareable.
MCIERROR CheckSharing(char drive, bool shareable) {
    for (const MciDevice& device : ProcessDevices())
        if (device.drive == drive && !(device.shareable && shareable)) return MCIERR_MUST_USE_SHAREABLE;
    return 0;
}

std::string NameOf(DWORD_PTR flags, const MCI_OPEN_PARMSA& parms) {
    if ((flags & MCI_OPEN_ALIAS) && parms.lpstrAlias) return parms.lpstrAlias;
    if ((flags & MCI_OPEN_ELEMENT) && parms.lpstrElementName) return parms.lpstrElementName;
    return "cdaudio";
}

MCIERROR Open(DWORD_PTR flags, MCI_OPEN_PARMSA* parms) {
    if (!parms) return Result("open", MCIERR_NULL_PARAMETER_BLOCK);
    std::string name = NameOf(flags, *parms);
    char flags_text[16];
    std::snprintf(flags_text, sizeof flags_text, "0x%X", static_cast<unsigned>(flags));
    std::string call = "open \"" + name + "\" flags " + flags_text;
    if ((flags & MCI_OPEN_ALIAS) && !parms->lpstrAlias) return Result(call, MCIERR_NULL_PARAMETER_BLOCK);
    char drive = 0;
    MCIERROR error = CheckDeviceType(flags, *parms);
    if (!error) error = CheckName(flags, name);
    if (!error) error = ChooseDrive(flags, *parms, &drive);
    if (drive) call += std::string(" on ") + drive + ":";
    DeviceState& state = Devices(CurrentMachine());
    if (!error && state.options.mci_open_errors.count(drive)) error = state.options.mci_open_errors[drive];
    bool shareable = (flags & MCI_OPEN_SHAREABLE) != 0;
    if (!error) error = CheckSharing(drive, shareable);
    if (error) return Result(call, error);
    MCIDEVICEID id = ++state.last_mci_id[CurrentProcess().id];
    ProcessDevices().push_back({id, drive, name, shareable});
    parms->wDeviceID = id;
    Notify(flags, parms->dwCallback, id);
    Log(call + " -> device " + std::to_string(id));
    return 0;
}

MCIERROR Status(MciDevice& device, DWORD_PTR flags, MCI_STATUS_PARMS* parms) {
    std::string call = "status device " + std::to_string(device.id);
    if (!parms) return Result(call, MCIERR_NULL_PARAMETER_BLOCK);
    if (!(flags & MCI_STATUS_ITEM)) return Result(call, MCIERR_MISSING_PARAMETER);
    bool door_open = Devices(CurrentMachine()).door_open[device.drive];
    switch (parms->dwItem) {
        case MCI_STATUS_MODE:
            parms->dwReturn = door_open ? MCI_MODE_OPEN : MCI_MODE_STOP;
            break;
        case MCI_STATUS_READY:
            parms->dwReturn = door_open ? FALSE : TRUE;
            break;
        case MCI_STATUS_MEDIA_PRESENT:
            parms->dwReturn = door_open ? FALSE : TRUE;
            break;
        default:
            return Result(call + " item " + std::to_string(parms->dwItem), MCIERR_UNSUPPORTED_FUNCTION);
    }
    Notify(flags, parms->dwCallback, device.id);
    Log(call + " item " + std::to_string(parms->dwItem) + " -> " + std::to_string(parms->dwReturn));
    return 0;
}

MCIERROR Set(MciDevice& device, DWORD_PTR flags, MCI_SET_PARMS* parms) {
    std::string call = "set device " + std::to_string(device.id) + " (" + device.drive + ":)";
    if (!parms) return Result(call, MCIERR_NULL_PARAMETER_BLOCK);
    bool open = flags & MCI_SET_DOOR_OPEN, close = flags & MCI_SET_DOOR_CLOSED;
    if (open && close) return Result(call, MCIERR_FLAGS_NOT_COMPATIBLE);
    DeviceState& state = Devices(CurrentMachine());
    if (open || close) {
        call += open ? " door open" : " door closed";
        if (open && state.options.mci_door_errors.count(device.drive))
            return Result(call, state.options.mci_door_errors[device.drive]);
        state.door_open[device.drive] = open;
        if (open) state.doors_opened.push_back(std::string(1, device.drive) + ":");
    }
    Notify(flags, parms->dwCallback, device.id);
    return Result(call, 0);
}

MCIERROR Close(MCIDEVICEID id, DWORD_PTR flags, MCI_GENERIC_PARMS* parms) {
    std::vector<MciDevice>& devices = ProcessDevices();
    std::string call = "close device " + std::to_string(id);
    size_t before = devices.size();
    for (auto it = devices.begin(); it != devices.end();)
        it = (id == MCI_ALL_DEVICE_ID || it->id == id) ? devices.erase(it) : it + 1;
    if (devices.size() == before && id != MCI_ALL_DEVICE_ID) return Result(call, MCIERR_INVALID_DEVICE_ID);
    if (parms) Notify(flags, parms->dwCallback, id);
    return Result(call, 0);
}

}  // namespace

extern "C" {

MCIERROR WINAPI mciSendCommandA(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR parameters) {
    if (message == MCI_OPEN) return Open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(parameters));
    if (message == MCI_CLOSE) return Close(id, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parameters));
    MciDevice* device = FindDevice(id);
    char call[48];
    std::snprintf(call, sizeof call, "command 0x%X to device %u", message, id);
    if (!device) return Result(call, MCIERR_INVALID_DEVICE_ID);
    if (message == MCI_STATUS) return Status(*device, flags, reinterpret_cast<MCI_STATUS_PARMS*>(parameters));
    if (message == MCI_SET) return Set(*device, flags, reinterpret_cast<MCI_SET_PARMS*>(parameters));
    return Result(call, MCIERR_UNRECOGNIZED_COMMAND);
}

UINT WINAPI mixerGetNumDevs(void) {
    Machine& machine = CurrentMachine();
    UINT count = Devices(machine).mixer_count(machine.now_ms());
    machine.Log("sound", "mixerGetNumDevs -> " + std::to_string(count));
    return count;
}

BOOL WINAPI sndPlaySoundA(LPCSTR sound, UINT flags) {
    Machine& machine = CurrentMachine();
    std::string name = sound ? sound : "";
    Devices(machine).sounds.push_back({name, flags, machine.now_ms()});
    char flags_text[16];
    std::snprintf(flags_text, sizeof flags_text, "0x%X", flags);
    machine.Log("sound", (sound ? "play \"" + name + "\"" : std::string("stop")) + " flags " + flags_text);
    return TRUE;
}

}  // extern "C"
