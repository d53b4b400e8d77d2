// COM: apartments per thread and in-process creation over the classes a test registers on the machine.
#include <cstdio>

#include "sim/api/com.h"
#include "sim/guid.h"
#include "sim/machine.h"

using namespace sim;

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

std::string HresultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

}  // namespace

extern "C" {

HRESULT WINAPI CoInitialize(LPVOID) {
    Thread& thread = CurrentThread();
    return thread.com_init_count++ == 0 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize(void) {
    Thread& thread = CurrentThread();
    if (thread.com_init_count > 0) --thread.com_init_count;
}

HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object) {
    Machine& machine = CurrentMachine();
    HRESULT hr;
    if (!object) {
        hr = E_POINTER;
    } else {
        *object = nullptr;
        const ComFactory* factory = machine.FindComClass(clsid);
        if (CurrentThread().com_init_count == 0)
            hr = CO_E_NOTINITIALIZED;
        else if (!factory || !(context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)))
            hr = REGDB_E_CLASSNOTREG;
        else if (outer)
            hr = CLASS_E_NOAGGREGATION;
        else
            hr = (*factory)(iid, object);
    }
    machine.Log("com",
                "CoCreateInstance(" + GuidText(clsid) + ", " + GuidText(iid) + ") -> " + HresultText(hr));
    return hr;
}

void WINAPI CoFreeUnusedLibraries(void) {
    CurrentMachine().Log("com", "CoFreeUnusedLibraries");
}

}  // extern "C"
