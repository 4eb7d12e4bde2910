// pe_check FORMAT EXE [FORMAT EXE]...: reads launchers as data and checks what ships in them: the
// format (PE32 for the product, with its size goal; PE32+ for its twin), the DLLs each imports,
// and the dialog template that is its only resource. It reads both formats, so that the twin's
// build checks the product too, on machines where no 32-bit program runs.
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "bytes.h"
#include "ok.h"

static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18, "packed as stored");

namespace {

const unsigned SIZE_GOAL = 20480; // today 18 KB: room for a toolchain change
const char *const ALLOWED_DLLS[] = {"KERNEL32.dll", "USER32.dll", "msvcrt.dll"};
const WORD MITIGATIONS = 0x8140; // DYNAMIC_BASE (ASLR), NX_COMPAT (DEP), TERMINAL_SERVER_AWARE

struct Control {
    DWORD style;
    short x, y, cx, cy;
    WORD id, classOrdinal;
    const char *text;
};
const DWORD EDIT_STYLE = 0x50810080, STATIC_STYLE = 0x50020000;
const Control CONTROLS[] = {
    {0x50010000, 7, 113, 111, 14, 1000, 0x80, "Begin"},
    {EDIT_STYLE, 7, 17, 65, 12, 1002, 0x81, ""},
    {EDIT_STYLE, 7, 70, 35, 12, 1006, 0x81, ""},
    {STATIC_STYLE, 7, 60, 58, 8, 0xFFFF, 0x82, "Maximum (integer)"},
    {STATIC_STYLE, 7, 7, 65, 8, 0xFFFF, 0x82, "Time Limit (seconds)"},
    {STATIC_STYLE, 7, 34, 56, 8, 0xFFFF, 0x82, "Minimum (integer)"},
    {EDIT_STYLE, 7, 44, 35, 12, 1007, 0x81, ""},
    {EDIT_STYLE, 7, 96, 35, 12, 1009, 0x81, ""},
    {STATIC_STYLE, 7, 86, 111, 8, 0xFFFF, 0x82, "Operations (separate with commas)"},
};

// Every read is bounds-checked: a damaged file fails checks instead of crashing.
template <class T> const T *At(const std::string &b, size_t offset) {
    return offset <= b.size() && sizeof(T) <= b.size() - offset
               ? reinterpret_cast<const T *>(b.data() + offset)
               : nullptr;
}

// A dialog's string-or-ordinal: ordinals come back as "#n", strings as their ASCII text.
std::string SzOrOrd(const std::string &b, size_t &offset) {
    const WORD *w = At<WORD>(b, offset);
    if (w && *w == 0xFFFF) {
        const WORD *ordinal = At<WORD>(b, offset + 2);
        offset += 4;
        return ordinal ? "#" + std::to_string(*ordinal) : "#?";
    }
    std::string s;
    for (; (w = At<WORD>(b, offset)) && *w; offset += 2) s += *w < 0x80 ? char(*w) : '?';
    offset += 2;
    return s;
}

void CheckDialog(const std::string &b) {
    const DLGTEMPLATE *dialog = At<DLGTEMPLATE>(b, 0);
    if (!ok(dialog, "the dialog is cut off\n")) return;
    // A DLGTEMPLATEEX begins with 0xFFFF0001 where the style would be.
    ok(dialog->style == 0x90C808C0 && dialog->dwExtendedStyle == 0 && dialog->cdit == 9 &&
           dialog->x == 0 && dialog->y == 0 && dialog->cx == 125 && dialog->cy == 134,
       "dialog style %lx/%lx, %u items, rectangle %d,%d,%d,%d\n", dialog->style,
       dialog->dwExtendedStyle, dialog->cdit, dialog->x, dialog->y, dialog->cx, dialog->cy);
    size_t offset = sizeof *dialog;
    std::string menu = SzOrOrd(b, offset), cls = SzOrOrd(b, offset), title = SzOrOrd(b, offset);
    ok(menu.empty() && cls.empty(), "menu \"%s\", class \"%s\"\n", menu.c_str(), cls.c_str());
    ok(title == "Pellomir Startup", "caption \"%s\"\n", title.c_str());
    const WORD *points = At<WORD>(b, offset);
    offset += 2;
    std::string face = SzOrOrd(b, offset);
    ok(points && *points == 8 && face == "MS Sans Serif", "font %d \"%s\"\n", points ? *points : -1,
       face.c_str());
    for (unsigned i = 0; i < dialog->cdit && i < 9; ++i) {
        offset = (offset + 3) & ~size_t(3);
        const DLGITEMTEMPLATE *item = At<DLGITEMTEMPLATE>(b, offset);
        if (!ok(item, "item %u is cut off\n", i + 1)) return;
        const Control &want = CONTROLS[i];
        offset += sizeof *item;
        std::string itemClass = SzOrOrd(b, offset), text = SzOrOrd(b, offset);
        const WORD *extra = At<WORD>(b, offset);
        offset += 2 + (extra ? *extra : 0);
        ok(item->id == want.id && itemClass == "#" + std::to_string(want.classOrdinal) &&
               text == want.text && item->style == want.style && item->dwExtendedStyle == 0 &&
               item->x == want.x && item->y == want.y && item->cx == want.cx &&
               item->cy == want.cy && (!extra || *extra == 0),
           "item %u: id %u, class %s, text \"%s\", style %lx/%lx, rectangle %d,%d,%d,%d, %u bytes "
           "of creation data\n",
           i + 1, item->id, itemClass.c_str(), text.c_str(), item->style, item->dwExtendedStyle,
           item->x, item->y, item->cx, item->cy, extra ? *extra : 0);
    }
}

struct Format {
    const char *name;
    WORD magic, machine;
    unsigned sizeGoal;
};
const Format FORMATS[] = {
    {"PE32", IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_FILE_MACHINE_I386, SIZE_GOAL},
    {"PE32+", IMAGE_NT_OPTIONAL_HDR64_MAGIC, IMAGE_FILE_MACHINE_AMD64, 0}};

void CheckExe(const Format &format, const char *path) {
    std::string b = ReadBytes(path);
    if (format.sizeGoal) {
        std::printf("product size: %u bytes (goal: at most %u)\n", unsigned(b.size()),
                    format.sizeGoal);
        ok(b.size() <= format.sizeGoal, "product is %u bytes\n", unsigned(b.size()));
    }
    // Both layouts agree up to the optional header's magic.
    const IMAGE_DOS_HEADER *dos = At<IMAGE_DOS_HEADER>(b, 0);
    const IMAGE_NT_HEADERS32 *nt = dos ? At<IMAGE_NT_HEADERS32>(b, dos->e_lfanew) : nullptr;
    ok(nt && dos->e_magic == IMAGE_DOS_SIGNATURE && nt->Signature == IMAGE_NT_SIGNATURE,
       "%s is not a PE file (%u bytes read; is it built?)\n", path, unsigned(b.size()));
    if (!nt) return;
    const IMAGE_FILE_HEADER &file = nt->FileHeader;
    const WORD magic = nt->OptionalHeader.Magic;
    ok(magic == format.magic && file.Machine == format.machine,
       "%s: optional header magic %x, machine %x for %s\n", path, magic, file.Machine, format.name);
    const IMAGE_NT_HEADERS64 *nt64 = At<IMAGE_NT_HEADERS64>(b, dos->e_lfanew);
    if (magic != format.magic || !nt64) return;
    const bool is64 = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    const IMAGE_DATA_DIRECTORY *dirs =
        is64 ? nt64->OptionalHeader.DataDirectory : nt->OptionalHeader.DataDirectory;
    const WORD subsystem = is64 ? nt64->OptionalHeader.Subsystem : nt->OptionalHeader.Subsystem;
    ok(subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI, "subsystem %u\n", subsystem);
    size_t sectionsAt = dos->e_lfanew + 4 + sizeof file + file.SizeOfOptionalHeader;
    // File offset of an RVA, or 0 when no section holds it.
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (unsigned i = 0; i < file.NumberOfSections; ++i) {
            auto *s = At<IMAGE_SECTION_HEADER>(b, sectionsAt + i * sizeof(IMAGE_SECTION_HEADER));
            if (s && rva >= s->VirtualAddress && rva - s->VirtualAddress < s->SizeOfRawData)
                return s->PointerToRawData + (rva - s->VirtualAddress);
        }
        return 0;
    };
    const WORD flags =
        is64 ? nt64->OptionalHeader.DllCharacteristics : nt->OptionalHeader.DllCharacteristics;
    const IMAGE_DATA_DIRECTORY &relocs = dirs[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    ok((flags & MITIGATIONS) == MITIGATIONS && relocs.Size && fileOffset(relocs.VirtualAddress),
       "%s: DllCharacteristics %x, base relocations %lu bytes at %lx (file offset %x)\n", path,
       flags, relocs.Size, relocs.VirtualAddress, unsigned(fileOffset(relocs.VirtualAddress)));

    std::string imports;
    size_t at = fileOffset(dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (const IMAGE_IMPORT_DESCRIPTOR *d;
         at && (d = At<IMAGE_IMPORT_DESCRIPTOR>(b, at)) && d->Name; at += sizeof *d) {
        std::string dll;
        for (size_t i = fileOffset(d->Name); i && i < b.size() && b[i]; ++i) dll += b[i];
        bool allowed = false;
        for (const char *name : ALLOWED_DLLS) allowed |= _stricmp(dll.c_str(), name) == 0;
        ok(allowed, "imports from %s\n", dll.c_str());
        imports += " " + dll;
    }
    ok(!imports.empty(), "no import table\n");
    std::printf("%s imports:%s\n", path, imports.c_str());

    // Three levels: type, name, language; each must hold exactly one entry.
    std::string dialog;
    size_t root = fileOffset(dirs[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress), dirAt = root;
    const char *const LEVEL[] = {"type", "id", "language"};
    const WORD WANT[] = {WORD(reinterpret_cast<ULONG_PTR>(RT_DIALOG)), 101, 1033};
    for (int level = 0; root && level < 3; ++level) {
        auto *dir = At<IMAGE_RESOURCE_DIRECTORY>(b, dirAt);
        auto *entry = At<IMAGE_RESOURCE_DIRECTORY_ENTRY>(b, dirAt + sizeof *dir);
        if (!dir || !entry || entry->DataIsDirectory != (level < 2)) break;
        int count = dir->NumberOfNamedEntries + dir->NumberOfIdEntries;
        ok(count == 1, "%d resource entries at the %s level\n", count, LEVEL[level]);
        ok(!entry->NameIsString && entry->Id == WANT[level], "resource %s %u\n", LEVEL[level],
           entry->Id);
        dirAt = root + entry->OffsetToDirectory;
        auto *data = level == 2 ? At<IMAGE_RESOURCE_DATA_ENTRY>(b, dirAt) : nullptr;
        size_t start = data ? fileOffset(data->OffsetToData) : 0;
        if (start && start + data->Size <= b.size())
            dialog.assign(b.begin() + start, b.begin() + start + data->Size);
    }
    if (ok(!dialog.empty(), "no dialog resource data\n")) CheckDialog(dialog);
}

} // namespace

int main(int argc, char **argv) {
    ok(argc >= 3 && argc % 2 == 1, "usage: pe_check PE32|PE32+ EXE...\n");
    for (int i = 1; i + 1 < argc; i += 2) {
        const Format *format = nullptr;
        for (const Format &f : FORMATS) format = std::strcmp(argv[i], f.name) ? format : &f;
        if (ok(format, "no format %s\n", argv[i])) CheckExe(*format, argv[i + 1]);
    }
    return OkSummary();
}
