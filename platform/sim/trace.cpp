#include "sim/trace.h"

#include <cstdio>

namespace sim {

void Trace::Add(uint64_t time_ms, uint32_t thread_id, std::string category, std::string text) {
    events_.push_back({time_ms, thread_id, std::move(category), std::move(text)});
}

std::vector<std::string> Trace::Lines(const std::string& category) const {
    std::vector<std::string> lines;
    for (const TraceEvent& e : events_)
        if (e.category == category) lines.push_back(e.text);
    return lines;
}

std::string Trace::Text() const {
    std::string text;
    char stamp[64];
    for (const TraceEvent& e : events_) {
        std::snprintf(stamp, sizeof stamp, "%9llu ms  t%-4u %-7s ",
                      static_cast<unsigned long long>(e.time_ms), e.thread_id, e.category.c_str());
        text += stamp + e.text + "\n";
    }
    return text;
}

uint64_t Trace::Hash() const {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : Text()) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

}  // namespace sim
