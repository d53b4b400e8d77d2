#include "sim/directx.h"

#include <cstdio>

#include "sim/com_object.h"

namespace sim {

const CLSID kClsidFilterGraph = {
    0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID kIidGraphBuilder = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

namespace {

const IID kIidDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

struct DirectXState {
    HRESULT create_result = S_OK;
};

HRESULT WINAPI DirectDrawCreate(GUID*, IUnknown** direct_draw, IUnknown*) {
    Machine& machine = CurrentMachine();
    HRESULT hr = machine.slot<DirectXState>("directx").create_result;
    char text[64];
    std::snprintf(text, sizeof text, "DirectDrawCreate -> 0x%08X", static_cast<unsigned>(hr));
    machine.Log("directx", text);
    if (!direct_draw) return E_POINTER;
    *direct_draw = nullptr;
    if (FAILED(hr)) return hr;
    return CreateSimpleComObject(machine, {kIidDirectDraw}, kIidDirectDraw,
                                 reinterpret_cast<void**>(direct_draw));
}

}  // namespace

void InstallDirectX(Machine& machine, const DirectXOptions& options) {
    machine.slot<DirectXState>("directx").create_result = options.ddraw_create_result;
    if (options.ddraw_library) {
        Module ddraw{"DDRAW.DLL", {}};
        if (options.ddraw_create_export)
            ddraw.exports["DirectDrawCreate"] =
                reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&DirectDrawCreate));
        machine.InstallModule(std::move(ddraw));
    }
    if (options.filter_graph) {
        Machine* owner = &machine;
        machine.RegisterComClass(kClsidFilterGraph, [owner](REFIID iid, void** object) {
            return CreateSimpleComObject(*owner, {kIidGraphBuilder}, iid, object);
        });
    }
}

}  // namespace sim
