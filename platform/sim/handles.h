// Kernel objects and the per-process handle table.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "sim/api/types.h"

namespace sim {

// Anything a HANDLE (or an HKEY, a find handle, a module) can stand for.
struct KernelObject {
    virtual ~KernelObject() = default;
    virtual std::string Describe() const = 0;  // for traces and deadlock reports: "event 0x8"
};

// Handles are small multiples of four, as on Windows, and are never reused within a process.
class HandleTable {
  public:
    HANDLE Add(std::shared_ptr<KernelObject> object);
    std::shared_ptr<KernelObject> Find(HANDLE handle) const;
    template <class T>
    std::shared_ptr<T> Get(HANDLE handle) const {
        return std::dynamic_pointer_cast<T>(Find(handle));
    }
    bool Close(HANDLE handle);  // false for a handle that is not open
    size_t open_count() const { return objects_.size(); }
    void Clear() { objects_.clear(); }

  private:
    uintptr_t next_ = 4;
    std::map<uintptr_t, std::shared_ptr<KernelObject>> objects_;
};

}  // namespace sim
