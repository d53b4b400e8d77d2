// The installed driver's control component on the simulated machine: an in-process COM class whose
// interfaces read and write numbered driver properties.
//
// Each of its four interfaces has one layout: the three IUnknown slots, then SetProperty and then
// GetProperty, each taking a property number, the caller's buffer and its size in bytes. The component keeps
// four properties:
//   3  speaker mode      4 bytes  read and write
//   4  jack assignment  12 bytes  read and write
//   6  hardware info     8 bytes  read only
//   7  channel count     4 bytes  read only
// GetProperty answers 1 when it filled the buffer with the property's bytes, 0 for an unknown property, a
// null buffer, a buffer smaller than the property or a read the test made fail. SetProperty answers 1 when it
// took the property's bytes from the buffer, 0 for an unknown or read-only property, a null or too small
// buffer.
//
// What a test chooses (AudioComponentOptions): which of the four interfaces the component answers, from which
// creation attempt on it can be created (every CoCreateInstance that reaches the class counts, whatever
// interface it asks for; earlier ones fail with REGDB_E_CLASSNOTREG, as while the driver is not yet loaded),
// the properties' first values and reads that fail. Every creation attempt and every call is written to the
// transcript (category "component") and kept in AudioComponent(machine).calls; the properties' current values
// are kept there too.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "sim/api/com.h"
#include "sim/machine.h"

namespace sim {

extern const CLSID kClsidAudioComponent;  // {5B0E2A47-3D19-4C6E-9A82-1F4D6E0B7C35}
extern const IID kAudioComponentIids[4];  // in the order programs try them

enum AudioComponentProperty : DWORD {
    kPropSpeakerMode = 3,
    kPropJackAssignment = 4,
    kPropHardwareInfo = 6,
    kPropChannelCount = 7,
};

struct AudioComponentOptions {
    std::vector<int> interfaces = {0, 1, 2, 3};  // indexes into kAudioComponentIids of the answered ones
    int creatable_from_attempt = 1;              // the first creation attempt (counted from 1) that succeeds
    DWORD speaker_mode = 2;
    std::array<BYTE, 12> jack_assignment{};
    std::array<BYTE, 8> hardware_info{};  // two 32-bit words
    DWORD channel_count = 2;
    std::set<DWORD> failing_reads;  // properties whose GetProperty answers 0
};

struct AudioComponentCall {
    uint64_t time_ms;
    std::string operation;  // "GetProperty", "SetProperty"
    DWORD property;
    DWORD size_bytes;
    LONG result;
    std::vector<BYTE> data;  // what was read or written; empty when the call failed
};

// The machine's component, kept in its "audio component" slot.
struct AudioComponentState {
    AudioComponentOptions options;
    int creation_attempts = 0;
    int objects_created = 0;
    LONG references = 0;  // held by programs now, over every object
    DWORD speaker_mode = 0;
    std::array<BYTE, 12> jack_assignment{};
    std::array<BYTE, 8> hardware_info{};
    DWORD channel_count = 0;
    std::vector<AudioComponentCall> calls;

    // The calls of one operation on one property, in order.
    std::vector<AudioComponentCall> CallsOf(const std::string& operation, DWORD property) const;
};

// Registers the component's class on the machine. Throws InputError for options that describe no component
// (an interface index outside 0 to 3, a first creatable attempt below 1).
void InstallAudioComponent(Machine& machine, AudioComponentOptions options = {});
AudioComponentState& AudioComponent(Machine& machine);

}  // namespace sim
