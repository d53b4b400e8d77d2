#include "sim/audio_component.h"

#include <cstdio>
#include <cstring>

#include "sim/errors.h"
#include "sim/guid.h"

namespace sim {

const CLSID kClsidAudioComponent = {
    0x5B0E2A47, 0x3D19, 0x4C6E, {0x9A, 0x82, 0x1F, 0x4D, 0x6E, 0x0B, 0x7C, 0x35}};
const IID kAudioComponentIids[4] = {
    {0xA6D3C0F2, 0x8B41, 0x4E57, {0xB2, 0xC9, 0x0E, 0x7F, 0x14, 0xA8, 0x5D, 0x63}},
    {0x3C9F7E15, 0x64A2, 0x4B08, {0x8D, 0x3E, 0xB5, 0x1C, 0x27, 0xF0, 0x9A, 0x4E}},
    {0xE04B6D29, 0x1F8C, 0x4A73, {0x95, 0xD0, 0x6C, 0x2E, 0x8B, 0x3F, 0x4A, 0x17}},
    {0x9D27A3E8, 0xC54B, 0x4F19, {0xA0, 0x6E, 0x3B, 0x8D, 0x71, 0xC2, 0xE5, 0xF0}},
};

std::vector<AudioComponentCall> AudioComponentState::CallsOf(const std::string& operation,
                                                             DWORD property) const {
    std::vector<AudioComponentCall> found;
    for (const AudioComponentCall& call : calls)
        if (call.operation == operation && call.property == property) found.push_back(call);
    return found;
}

namespace {

// The layout every interface of the component has.
struct IAudioComponent : IUnknown {
    virtual LONG STDMETHODCALLTYPE SetProperty(DWORD property, void* buffer, DWORD size_bytes) = 0;
    virtual LONG STDMETHODCALLTYPE GetProperty(DWORD property, void* buffer, DWORD size_bytes) = 0;

  protected:
    ~IAudioComponent() = default;
};

struct PropertyBytes {
    BYTE* data = nullptr;  // null: no such property
    DWORD size_bytes = 0;
    bool writable = false;
};

PropertyBytes PropertyOf(AudioComponentState& state, DWORD property) {
    switch (property) {
        case kPropSpeakerMode:
            return {reinterpret_cast<BYTE*>(&state.speaker_mode), 4, true};
        case kPropJackAssignment:
            return {state.jack_assignment.data(), 12, true};
        case kPropHardwareInfo:
            return {state.hardware_info.data(), 8, false};
        case kPropChannelCount:
            return {reinterpret_cast<BYTE*>(&state.channel_count), 4, false};
        default:
            return {};
    }
}

std::string HexBytes(const std::vector<BYTE>& data) {
    std::string text;
    char byte[4];
    for (BYTE b : data) {
        std::snprintf(byte, sizeof byte, text.empty() ? "%02X" : " %02X", b);
        text += byte;
    }
    return text;
}

class AudioComponentObject final : public IAudioComponent {
  public:
    explicit AudioComponentObject(Machine& machine) : machine_(machine) {}
    virtual ~AudioComponentObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!Answers(iid)) return E_NOINTERFACE;
        *object = static_cast<IAudioComponent*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        ++State().references;
        return ++references_;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        if (references_ == 0) return 0;
        --State().references;
        if (--references_ == 0) machine_.Log("component", "released");
        return references_;
    }
    LONG STDMETHODCALLTYPE GetProperty(DWORD property, void* buffer, DWORD size_bytes) override {
        AudioComponentState& state = State();
        PropertyBytes bytes = PropertyOf(state, property);
        bool ok = bytes.data && buffer && size_bytes >= bytes.size_bytes &&
                  !state.options.failing_reads.count(property);
        if (ok) std::memcpy(buffer, bytes.data, bytes.size_bytes);
        return Record("GetProperty", property, size_bytes, ok, bytes);
    }
    LONG STDMETHODCALLTYPE SetProperty(DWORD property, void* buffer, DWORD size_bytes) override {
        AudioComponentState& state = State();
        PropertyBytes bytes = PropertyOf(state, property);
        bool ok = bytes.data && bytes.writable && buffer && size_bytes >= bytes.size_bytes;
        if (ok) std::memcpy(bytes.data, buffer, bytes.size_bytes);
        return Record("SetProperty", property, size_bytes, ok, bytes);
    }

  private:
    AudioComponentState& State() { return AudioComponent(machine_); }
    bool Answers(REFIID iid) {
        if (IsEqualIID(iid, IID_IUnknown)) return true;
        for (int index : State().options.interfaces)
            if (IsEqualIID(iid, kAudioComponentIids[index])) return true;
        return false;
    }
    LONG Record(const char* operation, DWORD property, DWORD size_bytes, bool ok,
                const PropertyBytes& bytes) {
        AudioComponentCall call{machine_.now_ms(), operation, property, size_bytes, ok ? 1 : 0, {}};
        if (ok) call.data.assign(bytes.data, bytes.data + bytes.size_bytes);
        State().calls.push_back(call);
        char text[96];
        std::snprintf(text, sizeof text, "%s(%u, %u bytes) -> %d", operation, static_cast<unsigned>(property),
                      static_cast<unsigned>(size_bytes), ok ? 1 : 0);
        machine_.Log("component", text + (ok ? " [" + HexBytes(call.data) + "]" : std::string()));
        return call.result;
    }

    Machine& machine_;
    ULONG references_ = 0;
};

HRESULT Create(Machine& machine, REFIID iid, void** object) {
    AudioComponentState& state = AudioComponent(machine);
    int attempt = ++state.creation_attempts;
    HRESULT hr = REGDB_E_CLASSNOTREG;
    if (attempt >= state.options.creatable_from_attempt) {
        auto created = std::make_shared<AudioComponentObject>(machine);
        machine.Keep(created);
        hr = created->QueryInterface(iid, object);
        if (SUCCEEDED(hr)) ++state.objects_created;
    }
    char text[96];
    std::snprintf(text, sizeof text, "creation attempt %d for %s -> 0x%08X", attempt, GuidText(iid).c_str(),
                  static_cast<unsigned>(hr));
    machine.Log("component", text);
    return hr;
}

}  // namespace

void InstallAudioComponent(Machine& machine, AudioComponentOptions options) {
    for (int index : options.interfaces)
        if (index < 0 || index > 3)
            throw InputError("audio component: interface index " + std::to_string(index) +
                             " is not one of 0 to 3");
    if (options.creatable_from_attempt < 1)
        throw InputError("audio component: the first creatable attempt must be 1 or later, not " +
                         std::to_string(options.creatable_from_attempt));
    AudioComponentState& state = AudioComponent(machine);
    state = AudioComponentState{};
    state.speaker_mode = options.speaker_mode;
    state.jack_assignment = options.jack_assignment;
    state.hardware_info = options.hardware_info;
    state.channel_count = options.channel_count;
    state.options = std::move(options);
    Machine* owner = &machine;
    machine.RegisterComClass(kClsidAudioComponent,
                             [owner](REFIID iid, void** object) { return Create(*owner, iid, object); });
}

AudioComponentState& AudioComponent(Machine& machine) {
    return machine.slot<AudioComponentState>("audio component");
}

}  // namespace sim
