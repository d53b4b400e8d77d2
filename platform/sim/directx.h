// DirectX on the simulated machine, as far as programs probe for it: the DirectDraw library with its
// DirectDrawCreate export, and the DirectShow filter graph class.
#pragma once

#include "sim/api/com.h"
#include "sim/machine.h"

namespace sim {

struct DirectXOptions {
    bool ddraw_library = true;        // "DDRAW.DLL" can be loaded
    bool ddraw_create_export = true;  // it exports "DirectDrawCreate"
    HRESULT ddraw_create_result = S_OK;
    bool filter_graph = true;  // the public filter graph class is registered
};

extern const CLSID kClsidFilterGraph;  // {E436EBB3-524F-11CE-9F53-0020AF0BA770}
extern const IID kIidGraphBuilder;     // {56A868A9-0AD4-11CE-B03A-0020AF0BA770}

void InstallDirectX(Machine& machine, const DirectXOptions& options);

}  // namespace sim
