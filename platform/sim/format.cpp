// wsprintfA: Windows' own small formatter. Its "l" size means 32 bits (a Windows long), it knows no floating
// point, and it writes at most 1024 characters with the terminating NUL.
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/api/user.h"

namespace {

constexpr size_t kMaxOutput = 1024;

std::string Pad(std::string body, size_t width, bool left, char fill) {
    if (body.size() >= width) return body;
    std::string padding(width - body.size(), fill);
    if (left) return body + std::string(width - body.size(), ' ');
    // Zero padding goes after the sign.
    if (fill == '0' && !body.empty() && body[0] == '-') return "-" + padding + body.substr(1);
    return padding + body;
}

}  // namespace

extern "C" {

int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list arguments) {
    std::string out;
    for (const char* p = format; *p && out.size() < kMaxOutput; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        ++p;
        bool left = false;
        char fill = ' ';
        for (; *p == '-' || *p == '0' || *p == '#'; ++p) {
            if (*p == '-') left = true;
            if (*p == '0') fill = '0';
        }
        size_t width = 0;
        for (; *p >= '0' && *p <= '9'; ++p) width = width * 10 + static_cast<size_t>(*p - '0');
        int precision = -1;
        if (*p == '.') {
            precision = 0;
            for (++p; *p >= '0' && *p <= '9'; ++p) precision = precision * 10 + (*p - '0');
        }
        bool is_short = false;
        if (*p == 'l' || *p == 'h') is_short = *p++ == 'h';
        char body[64];
        std::string text;
        switch (*p) {
            case 'd':
            case 'i': {
                int value = va_arg(arguments, int);
                std::snprintf(body, sizeof body, "%d", is_short ? static_cast<short>(value) : value);
                text = body;
                break;
            }
            case 'u':
            case 'x':
            case 'X': {
                unsigned value = va_arg(arguments, unsigned);
                if (is_short) value &= 0xFFFF;
                std::snprintf(body, sizeof body, *p == 'u' ? "%u" : *p == 'x' ? "%x" : "%X", value);
                text = body;
                break;
            }
            case 'c':
            case 'C':
                text = std::string(1, static_cast<char>(va_arg(arguments, int)));
                break;
            case 's':
            case 'S': {
                const char* value = va_arg(arguments, const char*);
                text = value ? value : "(null)";
                if (precision >= 0 && text.size() > static_cast<size_t>(precision)) text.resize(precision);
                break;
            }
            case '\0':
                --p;
                continue;
            default:
                text = std::string(1, *p);
                break;
        }
        out += Pad(text, width, left, left || *p == 's' || *p == 'c' ? ' ' : fill);
    }
    if (out.size() > kMaxOutput - 1) out.resize(kMaxOutput - 1);
    std::memcpy(buffer, out.c_str(), out.size() + 1);
    return static_cast<int>(out.size());
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int written = wvsprintfA(buffer, format, arguments);
    va_end(arguments);
    return written;
}

}  // extern "C"
