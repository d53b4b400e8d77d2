// The C runtime's streams and wildcard search on the machine's files, as the Windows CRT behaves.
//
// A stream is a handle in the process's table (the CRT's FILE holds a file handle too), so it ends with the
// process; the crt::FILE* a program gets is that handle's value and is never dereferenced, which lets every
// call tell a stream from a stray pointer. Writes go straight to the file.
#include "sim/api/crt.h"

#include <cstring>
#include <limits>

#include "sim/filesystem.h"
#include "sim/machine.h"

namespace {

using sim::FileSystem;
using sim::FsNode;
using sim::PathLookup;

constexpr char kCtrlZ = 0x1A;  // ends a text-mode read, as it ended a file on DOS

struct Mode {
    char kind = 'r';      // 'r', 'w' or 'a'
    bool update = false;  // '+': reading and writing
    bool text = true;     // 't' or neither: "\n" is "\r\n" on the disk
};

// fopen's mode: r, w or a, then '+', 'b' or 't' (one of them), and the CRT's commit and hint letters.
bool ParseMode(const char* text, Mode& mode) {
    if (!text || text[0] == '\0' || !std::strchr("rwa", text[0])) return false;
    mode.kind = text[0];
    bool binary_seen = false, text_seen = false;
    for (const char* c = text + 1; *c; ++c) {
        if (*c == '+' && !mode.update) {
            mode.update = true;
        } else if ((*c == 'b' || *c == 't') && !binary_seen && !text_seen) {
            (*c == 'b' ? binary_seen : text_seen) = true;
            mode.text = *c == 't';
        } else if (!std::strchr("cnNSRTD", *c)) {
            return false;
        }
    }
    return true;
}

struct Stream : sim::KernelObject {
    std::shared_ptr<FsNode> node;
    char drive = 'C';
    std::string path;  // as stored, for the transcript
    bool can_read = false;
    bool can_write = false;
    bool append = false;
    bool text = true;
    size_t pos = 0;
    uint64_t written = 0;  // bytes the program handed over
    bool eof = false;
    bool error = false;

    ~Stream() override {
        if (node) --node->open_streams;
    }
    std::string Describe() const override { return "stream " + path; }
};

FileSystem& Files() {
    return sim::CurrentMachine().files();
}

Stream* StreamOf(crt::FILE* file) {
    return sim::CurrentProcess().handles.Get<Stream>(reinterpret_cast<HANDLE>(file)).get();
}

// What CreateFile would say when the CRT opens the path in this mode; 0 when it may open.
DWORD OpenError(FileSystem& files, const PathLookup& found, const Mode& mode) {
    bool writes = mode.kind != 'r' || mode.update;
    bool creates = mode.kind != 'r';
    // CDFS refuses writing access to what it finds, and any create once it has found the folder.
    if (writes && found.drive && found.drive->cdrom() && found.drive->medium) {
        if (found.error) return found.error;
        if (found.exists() || creates) return ERROR_ACCESS_DENIED;
    }
    if (found.error) return found.error;
    if (!found.exists() && !creates) return ERROR_FILE_NOT_FOUND;
    if (found.exists() && found.node->directory) return ERROR_ACCESS_DENIED;
    if (!writes) return 0;
    if (DWORD error = files.WriteError(*found.drive)) return error;
    if (!found.exists()) return 0;
    DWORD attributes = found.node->attributes;
    if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    // "w" is CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL, which a hidden or system file refuses.
    if (mode.kind == 'w' && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        return ERROR_ACCESS_DENIED;
    return 0;
}

int GetChar(Stream& stream) {
    const std::string& data = stream.node->data;
    if (stream.pos >= data.size() || (stream.text && data[stream.pos] == kCtrlZ)) {
        stream.eof = true;
        return -1;
    }
    char c = data[stream.pos++];
    if (stream.text && c == '\r' && stream.pos < data.size() && data[stream.pos] == '\n')
        c = data[stream.pos++];
    return static_cast<unsigned char>(c);
}

// Reads up to size bytes as the program sees them; the count read.
size_t ReadBytes(Stream& stream, char* out, size_t size) {
    if (!stream.can_read) {
        stream.error = true;
        return 0;
    }
    size_t n = 0;
    for (int c; n < size && (c = GetChar(stream)) != -1;) out[n++] = static_cast<char>(c);
    return n;
}

// Writes all of the program's bytes or none of them.
bool WriteBytes(Stream& stream, const char* bytes, size_t size) {
    if (!stream.can_write) {
        stream.error = true;
        return false;
    }
    if (size == 0) return true;
    std::string disk;
    if (stream.text) {
        for (size_t i = 0; i < size; ++i)
            disk += bytes[i] == '\n' ? std::string("\r\n") : std::string(1, bytes[i]);
    } else {
        disk.assign(bytes, size);
    }
    std::string& data = stream.node->data;
    size_t at = stream.append ? data.size() : std::min(stream.pos, data.size());
    size_t new_size = std::max(data.size(), at + disk.size());
    FileSystem& files = Files();
    const sim::Drive* drive = files.FindDrive(stream.drive);
    if (!drive || !drive->medium) {
        SetLastError(ERROR_NOT_READY);
        stream.error = true;
        return false;
    }
    if (!files.Reserve(*drive, data.size(), new_size)) {
        SetLastError(ERROR_DISK_FULL);
        stream.error = true;
        return false;
    }
    data.resize(new_size);
    data.replace(at, disk.size(), disk);
    stream.pos = at + disk.size();
    stream.written += size;
    files.Touch(*stream.node);
    return true;
}

// _finddata_t times are time_t: seconds since 1970 (FILETIME counts 100 ns since 1601).
time_t ToTime(const FILETIME& time) {
    uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    constexpr uint64_t kUnixEpochTicks = 116444736000000000ull;
    if (ticks < kUnixEpochTicks) return -1;
    return static_cast<time_t>((ticks - kUnixEpochTicks) / 10000000ull);
}

void FillFindData(const WIN32_FIND_DATAA& found, crt::_finddata_t& data) {
    // The CRT reports a file with no attributes as _A_NORMAL, where FindFirstFile says FILE_ATTRIBUTE_NORMAL.
    data.attrib = found.dwFileAttributes == FILE_ATTRIBUTE_NORMAL ? _A_NORMAL : found.dwFileAttributes;
    data.time_create = ToTime(found.ftCreationTime);
    data.time_access = ToTime(found.ftLastAccessTime);
    data.time_write = ToTime(found.ftLastWriteTime);
    data.size = found.nFileSizeLow;
    sim::CopyCut(data.name, sizeof data.name, found.cFileName);
}

}  // namespace

namespace crt {

FILE* fopen(const char* path, const char* mode_text) {
    Mode mode;
    if (!path || !ParseMode(mode_text, mode)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    FileSystem& files = Files();
    PathLookup found = files.Lookup(path, sim::CurrentProcess().current_dir);
    if (DWORD error = OpenError(files, found, mode)) {
        SetLastError(error);
        return nullptr;
    }
    auto stream = std::make_shared<Stream>();
    if (!found.exists()) {
        FsNode& file = files.AddEntry(*found.folder, found.name, false, FILE_ATTRIBUTE_ARCHIVE);
        files.Log("create " + files.PathOf(file));
        stream->node = files.Hold(file);
    } else {
        stream->node = files.Hold(*found.node);
        if (mode.kind == 'w') {
            files.Reserve(*found.drive, found.node->data.size(), 0);
            found.node->data.clear();
            found.node->attributes |= FILE_ATTRIBUTE_ARCHIVE;
            files.Touch(*found.node);
            files.Log("truncate " + files.PathOf(*found.node));
        }
    }
    ++stream->node->open_streams;
    stream->drive = found.drive->letter;
    stream->path = files.PathOf(*stream->node);
    stream->can_read = mode.kind == 'r' || mode.update;
    stream->can_write = mode.kind != 'r' || mode.update;
    stream->append = mode.kind == 'a';
    stream->text = mode.text;
    return reinterpret_cast<FILE*>(sim::CurrentProcess().handles.Add(stream));
}

int fclose(FILE* file) {
    Stream* stream = StreamOf(file);
    if (!stream) return -1;
    if (stream->written > 0)
        Files().Log((stream->append ? "append " : "write ") + stream->path + " (" +
                    std::to_string(stream->written) + " bytes)");
    bool failed = stream->error;
    sim::CurrentProcess().handles.Close(reinterpret_cast<HANDLE>(file));
    return failed ? -1 : 0;
}

int fputs(const char* text, FILE* file) {
    Stream* stream = StreamOf(file);
    if (!stream || !text) return -1;
    return WriteBytes(*stream, text, std::strlen(text)) ? 0 : -1;
}

char* fgets(char* buffer, int size, FILE* file) {
    Stream* stream = StreamOf(file);
    if (!stream || !buffer || size <= 0) return nullptr;
    if (!stream->can_read) {
        stream->error = true;
        return nullptr;
    }
    int n = 0;
    while (n < size - 1) {
        int c = GetChar(*stream);
        if (c == -1) {
            if (n == 0) return nullptr;
            break;
        }
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[n] = '\0';
    return buffer;
}

size_t fread(void* buffer, size_t size, size_t count, FILE* file) {
    Stream* stream = StreamOf(file);
    if (!stream || !buffer || size == 0 || count == 0) return 0;
    if (count > std::numeric_limits<size_t>::max() / size) return 0;
    return ReadBytes(*stream, static_cast<char*>(buffer), size * count) / size;
}

size_t fwrite(const void* buffer, size_t size, size_t count, FILE* file) {
    Stream* stream = StreamOf(file);
    if (!stream || !buffer || size == 0 || count == 0) return 0;
    if (count > std::numeric_limits<size_t>::max() / size) return 0;
    return WriteBytes(*stream, static_cast<const char*>(buffer), size * count) ? count : 0;
}

intptr_t _findfirst(const char* pattern, _finddata_t* data) {
    if (!data) return -1;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    FillFindData(found, *data);
    return reinterpret_cast<intptr_t>(search);
}

int _findnext(intptr_t search, _finddata_t* data) {
    if (!data) return -1;
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(reinterpret_cast<HANDLE>(search), &found)) return -1;
    FillFindData(found, *data);
    return 0;
}

int _findclose(intptr_t search) {
    return FindClose(reinterpret_cast<HANDLE>(search)) ? 0 : -1;
}

}  // namespace crt
