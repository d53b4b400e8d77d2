// The C runtime calls the system makes, on the simulated files and the simulated process. On Windows the same
// names in namespace crt are the real CRT's (see platform/win32api.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace crt {

struct FILE;  // a stream on a simulated file

FILE* fopen(const char* path, const char* mode);
int fclose(FILE* stream);
int fputs(const char* text, FILE* stream);
char* fgets(char* buffer, int size, FILE* stream);
size_t fread(void* buffer, size_t size, size_t count, FILE* stream);
size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream);

#define _A_NORMAL 0x00
#define _A_RDONLY 0x01
#define _A_HIDDEN 0x02
#define _A_SYSTEM 0x04
#define _A_SUBDIR 0x10
#define _A_ARCH 0x20

typedef unsigned long _fsize_t;
struct _finddata_t {
    unsigned attrib;
    time_t time_create;
    time_t time_access;
    time_t time_write;
    _fsize_t size;
    char name[260];
};
intptr_t _findfirst(const char* pattern, _finddata_t* data);
int _findnext(intptr_t search, _finddata_t* data);
int _findclose(intptr_t search);

// Ends the simulated process with the status, as the CRT's exit does: the calling thread does not return.
[[noreturn]] void exit(int status);

}  // namespace crt
