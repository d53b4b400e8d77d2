// The resources of a program's image: the compiled resource file (.res) that the resource compiler makes from
// the program's .rc script, read into an index, and the formats inside it that the machine reads itself
// (dialog templates, string tables, bitmaps, cursors and icons).
//
// A .res file is a sequence of records, each a RESOURCEHEADER followed by the resource's bytes and padded to
// a multiple of four bytes: DataSize, HeaderSize (DWORDs), the type and the name (each an ordinal, 0xFFFF
// then a WORD, or a NUL-terminated UTF-16 text, the name padded to a DWORD), DataVersion (DWORD), MemoryFlags
// and LanguageId (WORDs), Version and Characteristics (DWORDs). A 32-bit .res starts with an empty record of
// type 0 and name 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/api/types.h"

namespace sim {

class Machine;

// The type or the name of a resource: an ordinal, or a text kept in upper case, as Windows compares names
// without regard to case.
struct ResourceId {
    bool is_text = false;
    WORD ordinal = 0;     // when not a text
    std::u16string text;  // upper case, in a resource file's index

    static ResourceId Ordinal(WORD number) { return ResourceId{false, number, {}}; }
    static ResourceId Text(std::u16string_view name);  // folds the letters to upper case
    static ResourceId AsWritten(std::u16string_view text) {
        return ResourceId{true, 0, std::u16string(text)};
    }
    bool is_ordinal() const { return !is_text; }
    bool operator==(const ResourceId& other) const {
        return is_text == other.is_text && ordinal == other.ordinal && text == other.text;
    }
    bool operator!=(const ResourceId& other) const { return !(*this == other); }
    std::string Describe() const;  // "129" or "\"SETUP\""
};

// Resource types.
constexpr WORD kResourceCursor = 1;
constexpr WORD kResourceBitmap = 2;
constexpr WORD kResourceIcon = 3;
constexpr WORD kResourceDialog = 5;
constexpr WORD kResourceString = 6;
constexpr WORD kResourceGroupCursor = 12;
constexpr WORD kResourceGroupIcon = 14;

struct Resource {
    ResourceId type;
    ResourceId name;
    LANGID language = 0;
    WORD memory_flags = 0;
    const uint8_t* data = nullptr;  // into the set's own copy of the file
    size_t size = 0;
    size_t offset = 0;  // of the record in the file, for messages
};

// All resources of one image, in the order of the file.
class ResourceSet {
  public:
    ResourceSet() = default;
    ResourceSet(const ResourceSet&) = delete;  // its resources point into its own bytes
    ResourceSet& operator=(const ResourceSet&) = delete;

    // Reads a whole .res file; source names it in messages. A malformed file throws InputError naming the
    // source and the offset of the fault.
    static std::shared_ptr<const ResourceSet> Parse(const uint8_t* bytes, size_t size,
                                                    const std::string& source);
    static std::shared_ptr<const ResourceSet> ParseFile(const std::string& host_path);

    const std::vector<Resource>& all() const { return resources_; }
    const std::string& source() const { return source_; }
    // The resource of exactly this language, or null.
    const Resource* Find(const ResourceId& type, const ResourceId& name, LANGID language) const;
    // The resource a program running in this user-interface language gets: see ResourceLanguageOrder; when
    // none of those languages has it, the first of any language.
    const Resource* FindBest(const ResourceId& type, const ResourceId& name, LANGID ui_language) const;

  private:
    std::string source_;
    std::vector<uint8_t> bytes_;
    std::vector<Resource> resources_;
};

// The languages FindResource tries, in order, for a program running in this user-interface language: the
// language itself, its primary language with SUBLANG_NEUTRAL, LANG_NEUTRAL, then English (United States and
// neutral English). After these it takes any language there is.
std::vector<LANGID> ResourceLanguageOrder(LANGID ui_language);

// The string resource id from the string-table blocks (16 strings a block, block number id / 16 + 1), or
// nothing when the block is missing or the string is empty. A malformed block throws InputError.
std::optional<std::u16string> FindString(const ResourceSet& resources, UINT id, LANGID ui_language);

// Dialog templates: DLGTEMPLATE and the extended DLGTEMPLATEEX, with their items. Places are in dialog units.
struct DialogItem {
    DWORD help_id = 0;  // extended templates only
    DWORD ex_style = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;             // a WORD in plain templates; IDC_STATIC (-1) reads 0xFFFF there
    ResourceId window_class;  // an atom (0x0080 Button ... 0x0085 ComboBox) or a class name
    ResourceId title;         // the text (as written), or the ordinal of a resource (a picture's bitmap)
    std::vector<uint8_t> creation_data;  // handed to the control in WM_CREATE

    // The predefined control classes come as atoms or, from some resource compilers, as their names in any
    // case ("STATIC"): ClassAtom gives the atom for both (0 for any other class), ClassName the class's own
    // spelling ("Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox") or the name as written.
    WORD ClassAtom() const;
    std::u16string ClassName() const;
};

struct DialogTemplate {
    bool extended = false;  // DLGTEMPLATEEX
    WORD version = 0;       // dlgVer of an extended template (1)
    DWORD help_id = 0;
    DWORD ex_style = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    ResourceId menu;          // ordinal 0: no menu
    ResourceId window_class;  // ordinal 0: the dialog class
    std::u16string title;
    bool has_font = false;  // DS_SETFONT: the five font members below are there
    WORD point_size = 0;
    WORD weight = 0;  // extended templates only
    bool italic = false;
    BYTE charset = 0;  // extended templates only
    std::u16string typeface;
    std::vector<DialogItem> items;  // in creation order
};

// Reads a template; source names it in messages ("SETUP.EXE.so dialog 102 (0x409)"). A malformed template
// throws InputError with the offset inside the template.
DialogTemplate ParseDialogTemplate(const uint8_t* data, size_t size, const std::string& source);

// What a bitmap, cursor or icon resource holds, from its BITMAPINFOHEADER (or BITMAPCOREHEADER).
struct PictureFormat {
    int width = 0;
    int height = 0;  // of the picture: for cursors and icons half the height stored with the mask
    int bits_per_pixel = 0;
    DWORD compression = 0;               // BI_RGB 0
    int hot_spot_x = 0, hot_spot_y = 0;  // cursors
};
PictureFormat ReadBitmapFormat(const Resource& bitmap);
PictureFormat ReadCursorFormat(const Resource& cursor);  // RT_CURSOR: hot spot, then the DIB
PictureFormat ReadIconFormat(const Resource& icon);      // RT_ICON: the DIB
// The RT_CURSOR or RT_ICON id that a group (RT_GROUP_CURSOR, RT_GROUP_ICON) offers for a picture of this
// size: the entry closest in width, the deepest of those. Null for an empty group.
std::optional<WORD> PickGroupEntry(const Resource& group, int width);

// Text between UTF-16 and the ANSI code pages of the machines (1252, 950, 932, 949). Characters the code page
// does not have become '?'. An unknown code page throws std::invalid_argument.
// ToAnsi stops before the first character that would take the text past max_bytes.
std::string ToAnsi(std::u16string_view text, UINT code_page, size_t max_bytes = std::string::npos);
std::u16string FromAnsi(std::string_view text, UINT code_page);
std::string ToUtf8(std::u16string_view text);  // for messages and tests
std::u16string FromUtf8(std::string_view text);

// The symbol by which an image offers its compiled resources (made by add_sim_resources in cmake/sim.cmake):
//   extern "C" const unsigned char* SimImageResources(size_t* size);
constexpr char kImageResourcesSymbol[] = "SimImageResources";
// The resources of a loaded image (a dlopen handle), or null when it has none. image_path names it in
// messages.
std::shared_ptr<const ResourceSet> LoadImageResources(void* image_handle, const std::string& image_path);

// The bitmaps, cursors and icons the machine made for programs (LoadBitmapA, LoadCursorA, LoadIconA), so that
// a test can tell which picture a control shows.
struct ImageDescription {
    enum class Kind { None, Bitmap, Cursor, Icon };
    Kind kind = Kind::None;  // None: the handle is no picture of the machine's
    bool system = false;     // one of the system's cursors or icons (IDC_ARROW, IDI_APPLICATION, ...)
    ResourceId name;         // the resource (or the IDC_/IDI_ number of a system picture)
    LANGID language = 0;     // of the resource it was made from
    int width = 0;
    int height = 0;
    int bits_per_pixel = 0;
    int hot_spot_x = 0, hot_spot_y = 0;  // cursors

    WORD resource_id() const { return name.ordinal; }
};
ImageDescription DescribeImage(Machine& machine, HANDLE handle);
ImageDescription DescribeImage(HANDLE handle);  // on a simulated thread: its machine's

// For the window code, on a simulated thread: the dialog template of the calling process's image in the
// user-interface language (with Windows' fallbacks); nothing when the image has none of that name. The name
// is an id (MAKEINTRESOURCEA), "#id" or a text. A malformed template throws InputError.
std::optional<DialogTemplate> FindDialogTemplate(HINSTANCE instance, LPCSTR name);

}  // namespace sim
