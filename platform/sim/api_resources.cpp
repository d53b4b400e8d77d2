// Resource functions over the resources of the process's image (Process::resources) and the system's own
// cursors and icons. Bitmaps, cursors and icons are objects of the machine, kept with what they were made
// from.
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "sim/api/kernel.h"
#include "sim/api/resources.h"
#include "sim/machine.h"
#include "sim/resources.h"

using namespace sim;

namespace {

HINSTANCE const kImageInstance = reinterpret_cast<HINSTANCE>(0x00400000);
constexpr int kCursorSize = 32;  // SM_CXCURSOR
constexpr int kIconSize = 32;    // SM_CXICON

// The pictures the machine made. Handles of each kind come from their own range, in the order made, so that
// runs repeat; a cursor or icon is made once per resource and handed out again.
struct Pictures {
    std::map<uintptr_t, ImageDescription> objects;
    std::map<std::tuple<std::string, int, std::u16string, WORD>, uintptr_t> shared;
    uintptr_t next_bitmap = 0x0B050000;
    uintptr_t next_cursor = 0x0C030000;
    uintptr_t next_icon = 0x0C070000;

    HANDLE Add(const ImageDescription& picture) {
        uintptr_t& next = picture.kind == ImageDescription::Kind::Bitmap   ? next_bitmap
                          : picture.kind == ImageDescription::Kind::Cursor ? next_cursor
                                                                           : next_icon;
        uintptr_t handle = next;
        next += 4;
        objects[handle] = picture;
        return reinterpret_cast<HANDLE>(handle);
    }
    // One handle per source (the image, or "" for the system) and resource.
    HANDLE AddShared(const std::string& source, const ImageDescription& picture) {
        auto key =
            std::make_tuple(source, static_cast<int>(picture.kind), picture.name.text, picture.name.ordinal);
        auto it = shared.find(key);
        if (it != shared.end()) return reinterpret_cast<HANDLE>(it->second);
        HANDLE handle = Add(picture);
        shared[key] = reinterpret_cast<uintptr_t>(handle);
        return handle;
    }
};

Pictures& PicturesOf(Machine& machine) {
    return machine.slot<Pictures>("resources.pictures");
}

// The resources an instance handle stands for: the process's image (its own handle, or NULL), or none (a
// module of the machine has no resources). Sets the last error when there are none.
const ResourceSet* ResourcesOf(HINSTANCE instance) {
    if (instance != kImageInstance && instance != nullptr) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const ResourceSet* resources = CurrentProcess().resources.get();
    if (!resources) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return resources;
}

std::optional<ResourceId> IdOf(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return ResourceId::Ordinal(LOWORD(reinterpret_cast<ULONG_PTR>(name)));
    if (name[0] == '#') {
        unsigned long number = 0;
        for (const char* p = name + 1; *p; ++p) {
            if (*p < '0' || *p > '9' || number > 0xFFFF) return std::nullopt;
            number = number * 10 + static_cast<unsigned long>(*p - '0');
        }
        if (number > 0xFFFF) return std::nullopt;
        return ResourceId::Ordinal(static_cast<WORD>(number));
    }
    return ResourceId::Text(FromAnsi(name, CurrentMachine().code_page));
}

std::string NameForLog(LPCSTR name) {
    return IS_INTRESOURCE(name) ? std::to_string(LOWORD(reinterpret_cast<ULONG_PTR>(name)))
                                : std::string(name);
}

// The resource in the machine's user-interface language, with Windows' fallbacks; null with the last error
// set when there is none.
const Resource* Lookup(const ResourceSet& resources, const ResourceId& type, const ResourceId& name) {
    const Resource* found = resources.FindBest(type, name, CurrentMachine().ui_language);
    if (found) return found;
    bool type_known = false;
    for (const Resource& r : resources.all()) type_known |= r.type == type;
    SetLastError(type_known ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

void LogMiss(const char* function, LPCSTR name) {
    CurrentMachine().Log("resource", std::string(function) + "(" + NameForLog(name) + ") -> not found");
}

// A cursor or icon of the image: the group's entry for the system size, then that picture.
HANDLE LoadGroupPicture(HINSTANCE instance, LPCSTR name, ImageDescription::Kind kind, const char* function) {
    bool cursor = kind == ImageDescription::Kind::Cursor;
    const ResourceSet* resources = ResourcesOf(instance);
    std::optional<ResourceId> id = IdOf(name);
    const Resource* group =
        resources && id
            ? Lookup(*resources, ResourceId::Ordinal(cursor ? kResourceGroupCursor : kResourceGroupIcon), *id)
            : nullptr;
    std::optional<WORD> entry =
        group ? PickGroupEntry(*group, cursor ? kCursorSize : kIconSize) : std::nullopt;
    const Resource* picture = nullptr;
    if (entry) {
        ResourceId type = ResourceId::Ordinal(cursor ? kResourceCursor : kResourceIcon);
        picture = resources->Find(type, ResourceId::Ordinal(*entry), group->language);
        if (!picture) picture = Lookup(*resources, type, ResourceId::Ordinal(*entry));
    }
    if (!picture) {
        LogMiss(function, name);
        return nullptr;
    }
    PictureFormat format = cursor ? ReadCursorFormat(*picture) : ReadIconFormat(*picture);
    ImageDescription description;
    description.kind = kind;
    description.name = *id;
    description.language = group->language;
    description.width = format.width;
    description.height = format.height;
    description.bits_per_pixel = format.bits_per_pixel;
    description.hot_spot_x = format.hot_spot_x;
    description.hot_spot_y = format.hot_spot_y;
    return PicturesOf(CurrentMachine()).AddShared(resources->source(), description);
}

struct SystemPicture {
    WORD id;
    int hot_spot_x, hot_spot_y;
};

// The system's cursors with their hot spots: the arrow-shaped ones point with their top-left corner, the
// others at their middle; the hand with the tip of its finger.
const SystemPicture kSystemCursors[] = {
    {32512, 0, 0},   {32513, 16, 16}, {32514, 16, 16}, {32515, 16, 16}, {32516, 16, 0},  {32640, 16, 16},
    {32641, 16, 16}, {32642, 16, 16}, {32643, 16, 16}, {32644, 16, 16}, {32645, 16, 16}, {32646, 16, 16},
    {32648, 16, 16}, {32649, 5, 0},   {32650, 0, 0},   {32651, 0, 0},
};
constexpr WORD kFirstSystemIcon = 32512;
constexpr WORD kLastSystemIcon = 32517;
constexpr WORD kHandCursor = 32649;

// IDC_HAND came with Windows 98 and Windows 2000.
bool HasHandCursor(const VersionInfo& version) {
    return version.nt_family() ? version.major >= 5 : (version.major > 4 || version.minor >= 10);
}

std::optional<SystemPicture> FindSystemPicture(LPCSTR name, ImageDescription::Kind kind,
                                               const VersionInfo& version) {
    if (!IS_INTRESOURCE(name)) return std::nullopt;
    WORD id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
    if (kind == ImageDescription::Kind::Icon) {
        if (id < kFirstSystemIcon || id > kLastSystemIcon) return std::nullopt;
        return SystemPicture{id, 0, 0};
    }
    for (const SystemPicture& cursor : kSystemCursors)
        if (cursor.id == id && (id != kHandCursor || HasHandCursor(version))) return cursor;
    return std::nullopt;
}

HANDLE LoadSystemPicture(LPCSTR name, ImageDescription::Kind kind, const char* function) {
    Machine& machine = CurrentMachine();
    std::optional<SystemPicture> found = FindSystemPicture(name, kind, machine.version());
    if (!found) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        LogMiss(function, name);
        return nullptr;
    }
    ImageDescription description;
    description.kind = kind;
    description.system = true;
    description.name = ResourceId::Ordinal(found->id);
    description.width = description.height = 32;
    description.bits_per_pixel = kind == ImageDescription::Kind::Cursor ? 1 : 4;
    description.hot_spot_x = found->hot_spot_x;
    description.hot_spot_y = found->hot_spot_y;
    return PicturesOf(machine).AddShared("", description);
}

// A resource handle is the address of the resource's entry in the process's set.
const Resource* ResourceOfHandle(HRSRC handle) {
    const ResourceSet* resources = CurrentProcess().resources.get();
    if (resources && handle)
        for (const Resource& r : resources->all())
            if (&r == reinterpret_cast<const Resource*>(handle)) return &r;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

}  // namespace

namespace sim {

ImageDescription DescribeImage(Machine& machine, HANDLE handle) {
    Pictures& pictures = PicturesOf(machine);
    auto it = pictures.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == pictures.objects.end() ? ImageDescription{} : it->second;
}

ImageDescription DescribeImage(HANDLE handle) {
    return DescribeImage(CurrentMachine(), handle);
}

std::optional<DialogTemplate> FindDialogTemplate(HINSTANCE instance, LPCSTR name) {
    const ResourceSet* resources = ResourcesOf(instance);
    std::optional<ResourceId> id = IdOf(name);
    const Resource* dialog =
        resources && id ? Lookup(*resources, ResourceId::Ordinal(kResourceDialog), *id) : nullptr;
    if (!dialog) return std::nullopt;
    char language[8];
    std::snprintf(language, sizeof language, "0x%04x", dialog->language);
    return ParseDialogTemplate(dialog->data, dialog->size,
                               resources->source() + " dialog " + id->Describe() + " (" + language + ")");
}

}  // namespace sim

extern "C" {

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    const ResourceSet* resources = ResourcesOf(instance);
    if (!resources) return 0;
    Machine& machine = CurrentMachine();
    std::optional<std::u16string> text = FindString(*resources, id, machine.ui_language);
    if (!text) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        machine.Log("resource", "LoadStringA(" + std::to_string(id) + ") -> not found");
        return 0;
    }
    std::string ansi = ToAnsi(*text, machine.code_page, static_cast<size_t>(size) - 1);
    CopyCut(buffer, static_cast<size_t>(size), ansi);
    return static_cast<int>(ansi.size());
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    // With a NULL instance Windows offers its own small bitmaps (OBM_...), which the machine does not have.
    const ResourceSet* resources = instance ? ResourcesOf(instance) : nullptr;
    if (!instance) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    std::optional<ResourceId> id = IdOf(name);
    const Resource* bitmap =
        resources && id ? Lookup(*resources, ResourceId::Ordinal(kResourceBitmap), *id) : nullptr;
    if (!bitmap) {
        LogMiss("LoadBitmapA", name);
        return nullptr;
    }
    PictureFormat format = ReadBitmapFormat(*bitmap);
    ImageDescription description;
    description.kind = ImageDescription::Kind::Bitmap;
    description.name = *id;
    description.language = bitmap->language;
    description.width = format.width;
    description.height = format.height;
    description.bits_per_pixel = format.bits_per_pixel;
    return static_cast<HBITMAP>(PicturesOf(CurrentMachine()).Add(description));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (!instance)
        return static_cast<HCURSOR>(LoadSystemPicture(name, ImageDescription::Kind::Cursor, "LoadCursorA"));
    return static_cast<HCURSOR>(
        LoadGroupPicture(instance, name, ImageDescription::Kind::Cursor, "LoadCursorA"));
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!instance)
        return static_cast<HICON>(LoadSystemPicture(name, ImageDescription::Kind::Icon, "LoadIconA"));
    return static_cast<HICON>(LoadGroupPicture(instance, name, ImageDescription::Kind::Icon, "LoadIconA"));
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    const ResourceSet* resources = ResourcesOf(module);
    std::optional<ResourceId> name_id = resources && name ? IdOf(name) : std::nullopt;
    std::optional<ResourceId> type_id = resources && type ? IdOf(type) : std::nullopt;
    if (resources && (!name_id || !type_id)) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    const Resource* found = name_id && type_id ? Lookup(*resources, *type_id, *name_id) : nullptr;
    return reinterpret_cast<HRSRC>(const_cast<Resource*>(found));
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
    (void)module;
    const Resource* found = ResourceOfHandle(resource);
    return found ? const_cast<uint8_t*>(found->data) : nullptr;
}

LPVOID WINAPI LockResource(HGLOBAL data) {
    return data;
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
    (void)module;
    const Resource* found = ResourceOfHandle(resource);
    return found ? static_cast<DWORD>(found->size) : 0;
}

}  // extern "C"
