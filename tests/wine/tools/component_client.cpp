// The Wine checks' client of the control component stand-in: creates the component's class the way Setup does
// and calls it, one operation per run, printing what came back on standard output.
//
//   component_client create N               CoCreateInstance through interface N (1 to 4): "hr 0x...."
//   component_client get N PROPERTY SIZE    GetProperty into SIZE bytes: "result R bytes HEX..." (HEX when R
//   != 0) component_client set N PROPERTY HEX...  SetProperty with the bytes given in hex ("04 00 14 00" or
//   "04001400") component_client unload N               create, release, CoFreeUnusedLibraries: "loaded 1
//   unloaded 1" when
//                                           the server's DLL was in the process after the creation and gone
//                                           after the release
// Exit status 0 when the operation ran (whatever the component answered), 2 for a bad command line, 3 when
// the creation failed.
#include "control_component/control_interface.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char kServerDll[] = "control_component.dll";
const int kMaxBytes = 256;

int Usage() {
    fprintf(stderr,
            "usage: component_client create N | get N PROPERTY SIZE | set N PROPERTY HEX... | unload N\n");
    return 2;
}

// The interface number of the command line, 1 to 4, as an index; -1 when it is none of them.
int InterfaceIndex(const char* text) {
    char* end = NULL;
    long n = strtol(text, &end, 10);
    return *end == '\0' && n >= 1 && n <= 4 ? static_cast<int>(n - 1) : -1;
}

// Hex digit pairs from the arguments, blanks between pairs allowed; -1 for an odd digit count, a non-hex
// character or more than kMaxBytes bytes.
int ParseHex(int count, char** texts, BYTE* bytes) {
    int n = 0, high = -1;
    for (int i = 0; i < count; ++i)
        for (const char* p = texts[i]; *p; ++p) {
            if (*p == ' ') continue;
            char digit[2] = {*p, '\0'};
            char* end = NULL;
            long value = strtol(digit, &end, 16);
            if (*end != '\0') return -1;
            if (high < 0) {
                high = static_cast<int>(value);
            } else {
                if (n == kMaxBytes) return -1;
                bytes[n++] = static_cast<BYTE>(high * 16 + value);
                high = -1;
            }
        }
    return high < 0 ? n : -1;
}

int Run(int argc, char** argv, IControl** control) {
    const char* command = argv[1];
    int index = InterfaceIndex(argv[2]);
    if (index < 0) return Usage();
    HRESULT hr = CoCreateInstance(kClassId, NULL, CLSCTX_INPROC_SERVER, kInterfaces[index],
                                  reinterpret_cast<void**>(control));
    if (strcmp(command, "create") == 0) {
        printf("hr 0x%08lX\n", static_cast<unsigned long>(hr));
        return SUCCEEDED(hr) ? 0 : 3;
    }
    if (FAILED(hr) || !*control) {
        printf("creation failed: hr 0x%08lX\n", static_cast<unsigned long>(hr));
        return 3;
    }
    if (strcmp(command, "unload") == 0) {
        int loaded = GetModuleHandleA(kServerDll) != NULL;
        (*control)->Release();
        *control = NULL;
        CoFreeUnusedLibraries();
        printf("loaded %d unloaded %d\n", loaded, GetModuleHandleA(kServerDll) == NULL);
        return 0;
    }
    if (argc < 4) return Usage();
    DWORD property = strtoul(argv[3], NULL, 10);
    BYTE bytes[kMaxBytes];
    if (strcmp(command, "get") == 0 && argc == 5) {
        int size_bytes = atoi(argv[4]);
        if (size_bytes < 0 || size_bytes > kMaxBytes) return Usage();
        memset(bytes, 0xCC, sizeof bytes);  // a filled buffer shows the component's bytes, not leftovers
        LONG result = (*control)->GetProperty(property, bytes, size_bytes);
        printf("result %ld bytes", static_cast<long>(result));
        for (int i = 0; result && i < size_bytes; ++i) printf(" %02X", bytes[i]);
        printf("\n");
        return 0;
    }
    if (strcmp(command, "set") == 0) {
        int size_bytes = ParseHex(argc - 4, argv + 4, bytes);
        if (size_bytes < 0) return Usage();
        LONG result = (*control)->SetProperty(property, bytes, size_bytes);
        printf("result %ld\n", static_cast<long>(result));
        return 0;
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    CoInitialize(NULL);
    IControl* control = NULL;
    int status = Run(argc, argv, &control);
    if (control) control->Release();
    CoUninitialize();
    return status;
}
