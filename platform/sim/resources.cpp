#include "sim/resources.h"

#include <dlfcn.h>
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "sim/errors.h"

namespace sim {

namespace {

constexpr DWORD kDialogSetFont = 0x40;  // DS_SETFONT: the template names a font
constexpr WORD kOrdinalMark = 0xFFFF;

size_t AlignUp(size_t value, size_t unit) {
    return (value + unit - 1) / unit * unit;
}

std::string Hex(size_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%zx", value);
    return text;
}

// Little-endian reads with bounds checks; a fault names the source and the offset.
class Reader {
  public:
    Reader(const uint8_t* data, size_t size, const std::string& source)
        : data_(data), size_(size), source_(source) {}

    [[noreturn]] void Fail(size_t at, const std::string& what) const {
        throw InputError(source_ + ": at offset " + std::to_string(at) + " (" + Hex(at) + "): " + what);
    }
    void Need(size_t at, size_t count, const char* what) const {
        if (at > size_ || size_ - at < count) Fail(at, std::string(what) + " goes past the end of the data");
    }
    BYTE U8(size_t at, const char* what) const {
        Need(at, 1, what);
        return data_[at];
    }
    WORD U16(size_t at, const char* what) const {
        Need(at, 2, what);
        return static_cast<WORD>(data_[at] | data_[at + 1] << 8);
    }
    short S16(size_t at, const char* what) const { return static_cast<short>(U16(at, what)); }
    DWORD U32(size_t at, const char* what) const {
        Need(at, 4, what);
        return DWORD{data_[at]} | DWORD{data_[at + 1]} << 8 | DWORD{data_[at + 2]} << 16 |
               DWORD{data_[at + 3]} << 24;
    }
    // A NUL-terminated UTF-16 text; at moves past the NUL.
    std::u16string Text(size_t& at, const char* what) const {
        std::u16string text;
        for (;;) {
            if (at > size_ || size_ - at < 2) Fail(at, std::string(what) + " has no terminating NUL");
            WORD c = U16(at, what);
            at += 2;
            if (c == 0) return text;
            text.push_back(static_cast<char16_t>(c));
        }
    }
    // An ordinal (0xFFFF and a WORD) or a text; with zero_is_none, a single 0 WORD stands for ordinal 0.
    ResourceId IdOrText(size_t& at, const char* what, bool zero_is_none) const {
        WORD first = U16(at, what);
        if (first == kOrdinalMark) {
            WORD ordinal = U16(at + 2, what);
            at += 4;
            return ResourceId::Ordinal(ordinal);
        }
        if (first == 0 && zero_is_none) {
            at += 2;
            return ResourceId::Ordinal(0);
        }
        return ResourceId::AsWritten(Text(at, what));
    }
    size_t size() const { return size_; }

  private:
    const uint8_t* data_;
    size_t size_;
    std::string source_;
};

char16_t UpperAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

// Names in the index are kept in upper case, as Windows finds them without regard to case.
ResourceId Indexed(const ResourceId& id) {
    return id.is_text ? ResourceId::Text(id.text) : id;
}

const char16_t* const kPredefinedClasses[] = {u"Button",  u"Edit",      u"Static",
                                              u"ListBox", u"ScrollBar", u"ComboBox"};
constexpr WORD kFirstClassAtom = 0x0080;

}  // namespace

// ---- ids ----

ResourceId ResourceId::Text(std::u16string_view name) {
    ResourceId id;
    id.is_text = true;
    for (char16_t c : name) id.text.push_back(UpperAscii(c));
    return id;
}

std::string ResourceId::Describe() const {
    return is_ordinal() ? std::to_string(ordinal) : "\"" + ToUtf8(text) + "\"";
}

// ---- the .res file ----

std::shared_ptr<const ResourceSet> ResourceSet::Parse(const uint8_t* bytes, size_t size,
                                                      const std::string& source) {
    auto set = std::make_shared<ResourceSet>();
    set->source_ = source;
    set->bytes_.assign(bytes, bytes + size);
    const uint8_t* data = set->bytes_.data();
    Reader reader(data, size, source);
    size_t at = 0;
    while (at < size) {
        DWORD data_size = reader.U32(at, "a resource header");
        DWORD header_size = reader.U32(at + 4, "a resource header");
        if (header_size < 28 || header_size % 4 != 0)
            reader.Fail(at, "a resource header of " + std::to_string(header_size) + " bytes");
        reader.Need(at, header_size, "a resource header");
        // The type and name are read within the header only.
        Reader header(data + at, header_size, source);
        size_t field = 8;
        Resource resource;
        try {
            resource.type = Indexed(header.IdOrText(field, "the resource type", false));
            resource.name = Indexed(header.IdOrText(field, "the resource name", false));
            field = AlignUp(field, 4);
            header.Need(field, 16, "the resource header's fixed part");
        } catch (const InputError&) {
            reader.Fail(at,
                        "the type, name and flags do not fit the header size " + std::to_string(header_size));
        }
        resource.memory_flags = header.U16(field + 4, "memory flags");
        resource.language = header.U16(field + 6, "language");
        reader.Need(at + header_size, data_size, "the resource data");
        resource.data = data + at + header_size;
        resource.size = data_size;
        resource.offset = at;
        bool empty_marker =
            resource.type == ResourceId::Ordinal(0) && resource.name == ResourceId::Ordinal(0);
        if (!empty_marker) set->resources_.push_back(std::move(resource));
        at = AlignUp(at + header_size + data_size, 4);
    }
    return set;
}

std::shared_ptr<const ResourceSet> ResourceSet::ParseFile(const std::string& host_path) {
    std::ifstream file(host_path, std::ios::binary);
    if (!file) throw InputError(host_path + ": cannot open the file");
    std::ostringstream text;
    text << file.rdbuf();
    std::string bytes = text.str();
    return Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), host_path);
}

const Resource* ResourceSet::Find(const ResourceId& type, const ResourceId& name, LANGID language) const {
    for (const Resource& resource : resources_)
        if (resource.type == type && resource.name == name && resource.language == language) return &resource;
    return nullptr;
}

const Resource* ResourceSet::FindBest(const ResourceId& type, const ResourceId& name,
                                      LANGID ui_language) const {
    for (LANGID language : ResourceLanguageOrder(ui_language))
        if (const Resource* resource = Find(type, name, language)) return resource;
    for (const Resource& resource : resources_)
        if (resource.type == type && resource.name == name) return &resource;
    return nullptr;
}

std::vector<LANGID> ResourceLanguageOrder(LANGID ui_language) {
    constexpr LANGID kPrimaryMask = 0x03FF;  // the primary language; SUBLANG_NEUTRAL is 0
    std::vector<LANGID> order;
    for (LANGID language : {ui_language, static_cast<LANGID>(ui_language & kPrimaryMask), LANGID{0x0000},
                            LANGID{0x0409}, LANGID{0x0009}}) {
        bool seen = false;
        for (LANGID l : order) seen |= l == language;
        if (!seen) order.push_back(language);
    }
    return order;
}

// ---- strings ----

std::optional<std::u16string> FindString(const ResourceSet& resources, UINT id, LANGID ui_language) {
    if (id > 0xFFFF) return std::nullopt;
    const Resource* block =
        resources.FindBest(ResourceId::Ordinal(kResourceString),
                           ResourceId::Ordinal(static_cast<WORD>(id / 16 + 1)), ui_language);
    if (!block) return std::nullopt;
    std::string source = resources.source() + " string block " + std::to_string(id / 16 + 1);
    Reader reader(block->data, block->size, source);
    size_t at = 0;
    for (UINT i = 0; i < id % 16; ++i) at += 2 + size_t{reader.U16(at, "a string's length")} * 2;
    WORD length = reader.U16(at, "a string's length");
    reader.Need(at + 2, size_t{length} * 2, "a string");
    if (length == 0) return std::nullopt;
    std::u16string text;
    for (WORD i = 0; i < length; ++i)
        text.push_back(static_cast<char16_t>(reader.U16(at + 2 + i * 2u, "a string")));
    return text;
}

// ---- dialog templates ----

WORD DialogItem::ClassAtom() const {
    if (window_class.is_ordinal())
        return window_class.ordinal >= kFirstClassAtom && window_class.ordinal < kFirstClassAtom + 6
                   ? window_class.ordinal
                   : 0;
    for (WORD i = 0; i < 6; ++i)
        if (EqualsNoCase(window_class.text, kPredefinedClasses[i]))
            return static_cast<WORD>(kFirstClassAtom + i);
    return 0;
}

std::u16string DialogItem::ClassName() const {
    if (WORD atom = ClassAtom()) return kPredefinedClasses[atom - kFirstClassAtom];
    if (window_class.is_text) return window_class.text;
    return u"#" + FromUtf8(std::to_string(window_class.ordinal));
}

namespace {

DialogItem ReadDialogItem(const Reader& reader, size_t& at, bool extended) {
    DialogItem item;
    if (extended) {
        item.help_id = reader.U32(at, "an item's help id");
        item.ex_style = reader.U32(at + 4, "an item's extended style");
        item.style = reader.U32(at + 8, "an item's style");
        at += 12;
    } else {
        item.style = reader.U32(at, "an item's style");
        item.ex_style = reader.U32(at + 4, "an item's extended style");
        at += 8;
    }
    item.x = reader.S16(at, "an item's place");
    item.y = reader.S16(at + 2, "an item's place");
    item.cx = reader.S16(at + 4, "an item's size");
    item.cy = reader.S16(at + 6, "an item's size");
    at += 8;
    item.id = extended ? reader.U32(at, "an item's id") : reader.U16(at, "an item's id");
    at += extended ? 4 : 2;
    item.window_class = reader.IdOrText(at, "an item's class", false);
    item.title = reader.IdOrText(at, "an item's title", false);
    size_t count_at = at;
    WORD count = reader.U16(at, "an item's creation data");
    at += 2;
    // The extended item counts the bytes that follow; the plain one, when not 0, counts its own WORD too.
    size_t data_size = count;
    if (!extended && count != 0) {
        if (count < 2) reader.Fail(count_at, "creation data of " + std::to_string(count) + " bytes");
        data_size = count - 2u;
    }
    reader.Need(at, data_size, "an item's creation data");
    item.creation_data.resize(data_size);
    for (size_t i = 0; i < data_size; ++i) item.creation_data[i] = reader.U8(at + i, "creation data");
    at += data_size;
    return item;
}

}  // namespace

DialogTemplate ParseDialogTemplate(const uint8_t* data, size_t size, const std::string& source) {
    Reader reader(data, size, source);
    DialogTemplate dialog;
    size_t at = 0;
    WORD count = 0;
    if (reader.U16(2, "the template header") == kOrdinalMark) {
        dialog.extended = true;
        dialog.version = reader.U16(0, "the template header");
        if (dialog.version != 1)
            reader.Fail(0, "an extended template of version " + std::to_string(dialog.version) + " (not 1)");
        dialog.help_id = reader.U32(4, "the template header");
        dialog.ex_style = reader.U32(8, "the template header");
        dialog.style = reader.U32(12, "the template header");
        at = 16;
    } else {
        dialog.style = reader.U32(0, "the template header");
        dialog.ex_style = reader.U32(4, "the template header");
        at = 8;
    }
    count = reader.U16(at, "the item count");
    dialog.x = reader.S16(at + 2, "the dialog's place");
    dialog.y = reader.S16(at + 4, "the dialog's place");
    dialog.cx = reader.S16(at + 6, "the dialog's size");
    dialog.cy = reader.S16(at + 8, "the dialog's size");
    at += 10;
    dialog.menu = reader.IdOrText(at, "the menu", true);
    dialog.window_class = reader.IdOrText(at, "the dialog class", true);
    dialog.title = reader.Text(at, "the title");
    if (dialog.style & kDialogSetFont) {
        dialog.has_font = true;
        dialog.point_size = reader.U16(at, "the font");
        at += 2;
        if (dialog.extended) {
            dialog.weight = reader.U16(at, "the font");
            dialog.italic = reader.U8(at + 2, "the font") != 0;
            dialog.charset = reader.U8(at + 3, "the font");
            at += 4;
        }
        dialog.typeface = reader.Text(at, "the typeface");
    }
    for (WORD i = 0; i < count; ++i) {
        at = AlignUp(at, 4);
        if (at >= size)
            reader.Fail(at, "item " + std::to_string(i + 1) + " of " + std::to_string(count) + " is missing");
        dialog.items.push_back(ReadDialogItem(reader, at, dialog.extended));
    }
    return dialog;
}

// ---- pictures ----

namespace {

PictureFormat ReadDib(const Resource& resource, size_t at, bool with_mask, const char* what) {
    std::string source =
        std::string(what) + " at offset " + std::to_string(resource.offset) + " of the resources";
    Reader reader(resource.data, resource.size, source);
    PictureFormat format;
    DWORD header_size = reader.U32(at, "the bitmap header");
    if (header_size == 12) {  // BITMAPCOREHEADER
        format.width = reader.U16(at + 4, "the bitmap header");
        format.height = reader.U16(at + 6, "the bitmap header");
        format.bits_per_pixel = reader.U16(at + 10, "the bitmap header");
    } else if (header_size >= 40) {
        format.width = static_cast<int32_t>(reader.U32(at + 4, "the bitmap header"));
        int32_t height = static_cast<int32_t>(reader.U32(at + 8, "the bitmap header"));
        format.height = height < 0 ? -height : height;  // negative: the rows run top-down
        format.bits_per_pixel = reader.U16(at + 14, "the bitmap header");
        format.compression = reader.U32(at + 16, "the bitmap header");
    } else {
        reader.Fail(at, "a bitmap header of " + std::to_string(header_size) + " bytes");
    }
    if (with_mask) format.height /= 2;  // the colour rows and the mask rows
    return format;
}

}  // namespace

PictureFormat ReadBitmapFormat(const Resource& bitmap) {
    return ReadDib(bitmap, 0, false, "a bitmap");
}

PictureFormat ReadCursorFormat(const Resource& cursor) {
    std::string source = "a cursor at offset " + std::to_string(cursor.offset);
    Reader reader(cursor.data, cursor.size, source);
    PictureFormat format = ReadDib(cursor, 4, true, "a cursor");
    format.hot_spot_x = reader.U16(0, "the hot spot");
    format.hot_spot_y = reader.U16(2, "the hot spot");
    return format;
}

PictureFormat ReadIconFormat(const Resource& icon) {
    return ReadDib(icon, 0, true, "an icon");
}

std::optional<WORD> PickGroupEntry(const Resource& group, int width) {
    std::string source = "a cursor or icon group at offset " + std::to_string(group.offset);
    Reader reader(group.data, group.size, source);
    bool cursors = reader.U16(2, "the group header") == 2;
    WORD count = reader.U16(4, "the group header");
    std::optional<WORD> best;
    int best_distance = 0, best_bits = 0;
    for (WORD i = 0; i < count; ++i) {
        size_t at = 6 + size_t{i} * 14;
        int entry_width = cursors ? reader.U16(at, "a group entry") : reader.U8(at, "a group entry");
        if (!cursors && entry_width == 0) entry_width = 256;
        int bits = reader.U16(at + 6, "a group entry");
        WORD id = reader.U16(at + 12, "a group entry");
        int distance = entry_width > width ? entry_width - width : width - entry_width;
        if (!best || distance < best_distance || (distance == best_distance && bits > best_bits)) {
            best = id;
            best_distance = distance;
            best_bits = bits;
        }
    }
    return best;
}

// ---- text ----

namespace {

const char* IconvName(UINT code_page) {
    switch (code_page) {
        case 1252:
            return "CP1252";
        case 950:
            return "CP950";
        case 932:
            return "CP932";
        case 949:
            return "CP949";
    }
    throw std::invalid_argument("code page " + std::to_string(code_page) +
                                " is not one the machine has (1252, 950, 932, 949)");
}

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much of in as it can; returns false at a byte sequence it cannot convert.
    bool Convert(const char*& in, size_t& in_left, std::string& out) {
        char buffer[256];
        while (in_left > 0) {
            char* out_ptr = buffer;
            size_t out_left = sizeof buffer;
            size_t result = iconv(cd_, const_cast<char**>(&in), &in_left, &out_ptr, &out_left);
            out.append(buffer, out_ptr);
            if (result == static_cast<size_t>(-1) && errno != E2BIG) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
                return false;
            }
        }
        return true;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::string ToAnsi(std::u16string_view text, UINT code_page, size_t max_bytes) {
    Converter converter(IconvName(code_page), "UTF-16LE");
    std::string out;
    for (size_t i = 0; i < text.size();) {
        // One character at a time (a surrogate pair is one), so that a character the code page lacks becomes
        // one '?'.
        size_t units = (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size()) ? 2 : 1;
        char bytes[4];
        for (size_t u = 0; u < units; ++u) {
            bytes[u * 2] = static_cast<char>(text[i + u] & 0xFF);
            bytes[u * 2 + 1] = static_cast<char>(text[i + u] >> 8);
        }
        const char* in = bytes;
        size_t in_left = units * 2;
        std::string converted;
        if (!converter.Convert(in, in_left, converted)) converted = "?";
        if (converted.size() > max_bytes - out.size()) break;
        out += converted;
        i += units;
    }
    return out;
}

std::u16string FromAnsi(std::string_view text, UINT code_page) {
    Converter converter("UTF-16LE", IconvName(code_page));
    std::string bytes;
    const char* in = text.data();
    size_t in_left = text.size();
    while (!converter.Convert(in, in_left, bytes)) {
        bytes += std::string("?\0", 2);  // a byte that is no character of the code page
        ++in;
        --in_left;
    }
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
            out.push_back(u'?');
            ++i;
            continue;
        }
        uint32_t c = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += extra + 1;
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

// ---- images ----

std::shared_ptr<const ResourceSet> LoadImageResources(void* image_handle, const std::string& image_path) {
    using Accessor = const unsigned char* (*)(size_t*);
    auto accessor = reinterpret_cast<Accessor>(dlsym(image_handle, kImageResourcesSymbol));
    if (!accessor) return nullptr;
    size_t size = 0;
    const unsigned char* bytes = accessor(&size);
    return ResourceSet::Parse(bytes, size, image_path);
}

}  // namespace sim
