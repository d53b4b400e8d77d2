// A stand-in for the installed driver's control component, for Setup's checks under Wine: an in-process COM
// server with the component's class and its four interfaces, which keeps every property in the registry so
// that a check can set the driver's state beforehand and read what Setup wrote afterwards.
//
// Everything lives under HKLM\Software\KorvaneTest\Component:
//   "3", "4", "6", "7" ...  REG_BINARY, one value per property number (decimal). GetProperty copies the value
//                           into the caller's buffer, zeroes the rest of it and answers 1; it answers 0 when
//                           the value is missing or longer than the buffer. SetProperty stores the caller's
//                           bytes.
//   "Interfaces"            REG_DWORD, optional: bit N set answers the (N+1)th interface, in the order
//                           callers try them; missing means all four. Read at each QueryInterface.
//   "Log"                   REG_SZ, appended by every call: "get 3 4 -> 1;" or "set 3 4;" (property, size).
//                           Kept below 4000 characters; later calls are no longer logged.
// The key is opened at each call, so a check can change a property while the component is loaded.
#include "control_interface.h"
#include <stdio.h>
#include <string.h>

namespace {

const char kKey[] = "Software\\KorvaneTest\\Component";
const DWORD kLogLimitChars = 4000;

// Live objects and server locks; the DLL may be unloaded when both are zero.
LONG ObjectCount = 0;
LONG LockCount = 0;

HKEY OpenStore(REGSAM access) {
    HKEY key = NULL;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, REG_OPTION_NON_VOLATILE, access, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return NULL;
    return key;
}

DWORD AnsweredInterfaces() {
    DWORD mask = 0xF, type = 0, size_bytes = sizeof mask;
    HKEY key = OpenStore(KEY_QUERY_VALUE);
    if (!key) return mask;
    if (RegQueryValueExA(key, "Interfaces", NULL, &type, reinterpret_cast<BYTE*>(&mask), &size_bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        mask = 0xF;
    RegCloseKey(key);
    return mask;
}

void AppendLog(const char* entry) {
    HKEY key = OpenStore(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key) return;
    char log[kLogLimitChars + 64] = "";
    DWORD type = 0, size_bytes = kLogLimitChars;
    if (RegQueryValueExA(key, "Log", NULL, &type, reinterpret_cast<BYTE*>(log), &size_bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        log[0] = '\0';
    log[kLogLimitChars - 1] = '\0';
    size_t length = strlen(log);
    // Cut, not wrapped: the first calls of a run are the ones a check looks at.
    if (length + strlen(entry) < kLogLimitChars) {
        strcpy(log + length, entry);
        RegSetValueExA(key, "Log", 0, REG_SZ, reinterpret_cast<const BYTE*>(log), strlen(log) + 1);
    }
    RegCloseKey(key);
}

LONG ReadProperty(DWORD property, void* buffer, DWORD size_bytes) {
    if (!buffer) return 0;
    HKEY key = OpenStore(KEY_QUERY_VALUE);
    if (!key) return 0;
    char name[16];
    sprintf(name, "%lu", static_cast<unsigned long>(property));
    DWORD type = 0, stored_bytes = 0;
    LONG filled = 0;
    // First the length alone, so a value longer than the buffer leaves the buffer untouched.
    if (RegQueryValueExA(key, name, NULL, &type, NULL, &stored_bytes) == ERROR_SUCCESS &&
        type == REG_BINARY && stored_bytes <= size_bytes) {
        memset(buffer, 0, size_bytes);
        filled = RegQueryValueExA(key, name, NULL, &type, static_cast<BYTE*>(buffer), &stored_bytes) ==
                 ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return filled;
}

LONG WriteProperty(DWORD property, const void* buffer, DWORD size_bytes) {
    if (!buffer) return 0;
    HKEY key = OpenStore(KEY_SET_VALUE);
    if (!key) return 0;
    char name[16];
    sprintf(name, "%lu", static_cast<unsigned long>(property));
    LONG written = RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE*>(buffer), size_bytes) ==
                   ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

class Control : public IControl {
  public:
    Control() { InterlockedIncrement(&ObjectCount); }
    virtual ~Control() { InterlockedDecrement(&ObjectCount); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) {
        if (!object) return E_POINTER;
        *object = NULL;
        if (!Answers(iid)) return E_NOINTERFACE;
        *object = static_cast<IControl*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }
    LONG STDMETHODCALLTYPE SetProperty(DWORD property, void* buffer, DWORD size_bytes) {
        LONG result = WriteProperty(property, buffer, size_bytes);
        char entry[64];
        sprintf(entry, "set %lu %lu;", static_cast<unsigned long>(property),
                static_cast<unsigned long>(size_bytes));
        AppendLog(entry);
        return result;
    }
    LONG STDMETHODCALLTYPE GetProperty(DWORD property, void* buffer, DWORD size_bytes) {
        LONG result = ReadProperty(property, buffer, size_bytes);
        char entry[64];
        sprintf(entry, "get %lu %lu -> %ld;", static_cast<unsigned long>(property),
                static_cast<unsigned long>(size_bytes), static_cast<long>(result));
        AppendLog(entry);
        return result;
    }

  private:
    static bool Answers(REFIID iid) {
        if (IsEqualIID(iid, IID_IUnknown)) return true;
        DWORD mask = AnsweredInterfaces();
        for (int i = 0; i < 4; ++i)
            if ((mask & (1u << i)) && IsEqualIID(iid, kInterfaces[i])) return true;
        return false;
    }

    LONG references_ = 0;
};

// One static factory; its references count as server locks, as callers may hold it across creations.
class Factory : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) {
        if (!object) return E_POINTER;
        *object = NULL;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() { return InterlockedIncrement(&LockCount); }
    ULONG STDMETHODCALLTYPE Release() { return InterlockedDecrement(&LockCount); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) {
        if (!object) return E_POINTER;
        *object = NULL;
        if (outer) return CLASS_E_NOAGGREGATION;
        Control* control = new Control;
        // The caller's reference is the only one: a refused interface deletes the object again.
        control->AddRef();
        HRESULT hr = control->QueryInterface(iid, object);
        control->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) {
        if (lock)
            InterlockedIncrement(&LockCount);
        else
            InterlockedDecrement(&LockCount);
        return S_OK;
    }
};

Factory TheFactory;

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = NULL;
    if (!IsEqualCLSID(clsid, kClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    return TheFactory.QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ObjectCount == 0 && LockCount == 0 ? S_OK : S_FALSE;
}
