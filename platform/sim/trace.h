// The machine's transcript: what the programs did to it, stamped with virtual time and thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct TraceEvent {
    uint64_t time_ms;
    uint32_t thread_id;    // 0 for the machine itself (actions, the driver)
    std::string category;  // "reg", "file", "debug", "thread", "com", ...
    std::string text;
};

class Trace {
  public:
    void Add(uint64_t time_ms, uint32_t thread_id, std::string category, std::string text);
    const std::vector<TraceEvent>& events() const { return events_; }
    std::vector<std::string> Lines(const std::string& category) const;  // the texts of one category
    std::string Text() const;  // one line an event: "    120 ms  t44  reg    set ..."
    uint64_t Hash() const;     // FNV-1a over Text(): equal runs give equal hashes

  private:
    std::vector<TraceEvent> events_;
};

}  // namespace sim
