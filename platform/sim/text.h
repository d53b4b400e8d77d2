// Text helpers with Windows' rules for names: case-insensitive, case-preserving (ASCII letters fold).
#pragma once

#include <string>
#include <string_view>

namespace sim {

inline char FoldCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
inline std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = FoldCase(c);
    return out;
}
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}
struct LessNoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            unsigned char x = static_cast<unsigned char>(FoldCase(a[i]));
            unsigned char y = static_cast<unsigned char>(FoldCase(b[i]));
            if (x != y) return x < y;
        }
        return a.size() < b.size();
    }
};

// Copies text into a caller's buffer of size chars with the terminating NUL, cutting what does not fit.
inline void CopyCut(char* buffer, size_t size, std::string_view text) {
    if (size == 0) return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    text.copy(buffer, n);
    buffer[n] = '\0';
}

}  // namespace sim
