// A small COM object of the machine's own: answers IUnknown and the interfaces it is given, counts
// references. The machine keeps every object it made alive until it goes, so a program that leaks one leaks
// nothing here.
#pragma once

#include <vector>

#include "sim/api/com.h"
#include "sim/machine.h"

namespace sim {

class SimpleComObject final : public IUnknown {
  public:
    explicit SimpleComObject(std::vector<IID> interfaces) : interfaces_(std::move(interfaces)) {}
    virtual ~SimpleComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        bool answered = IsEqualIID(iid, IID_IUnknown);
        for (const IID& known : interfaces_) answered |= IsEqualIID(iid, known);
        if (!answered) return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return references_ > 0 ? --references_ : 0; }
    ULONG references() const { return references_; }

  private:
    std::vector<IID> interfaces_;
    ULONG references_ = 0;
};

// Makes an object on the machine and hands out the interface asked for (E_NOINTERFACE when it has none).
inline HRESULT CreateSimpleComObject(Machine& machine, std::vector<IID> interfaces, REFIID iid,
                                     void** object) {
    auto created = std::make_shared<SimpleComObject>(std::move(interfaces));
    machine.Keep(created);
    return created->QueryInterface(iid, object);
}

}  // namespace sim
