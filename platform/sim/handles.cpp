#include "sim/handles.h"

namespace sim {

HANDLE HandleTable::Add(std::shared_ptr<KernelObject> object) {
    uintptr_t value = next_;
    next_ += 4;
    objects_[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> HandleTable::Find(HANDLE handle) const {
    auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
}

bool HandleTable::Close(HANDLE handle) {
    return objects_.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

}  // namespace sim
