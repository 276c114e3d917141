// The information page: the installed miniport's product version, the
// board's BIOS texts, its name and memory, and the applet's own version.
// Every value is filled once, when the page is created.
#include "applet/applet.h"
#include "applet/escapes.h"
#include "applet/resource.h"
#include "applet/text.h"

namespace {

const char UNDEFINED[] = "Undefined";
const char PANEL_VERSION[] = "1.06";
const char VERSION_ENTRY[] = "\\StringFileInfo\\040904B0\\ProductVersion";
const char BIOS_SEPARATOR[] = "   ";

// Every value is built in a buffer of this many characters.
constexpr size_t TEXT_SIZE = 260;

struct BOARD_ROW {
    const char* name;
    const char* memory;
};

const BOARD_ROW UNKNOWN_BOARD = {"Unknown Board", "Unknown Size"};

const BOARD_ROW FAMILY2_BOARDS[] = {
    UNKNOWN_BOARD,
    {"Reserved", "4 Megs"},
    {"Velmira Zorx Kestra - Internal VGA", "4 Megs"},
    {"Velmira Zorx Kestra - Internal VGA", "2 Megs"},
    {"Velmira Zorx Lanver - External VGA", "4 Megs"},
    {"Velmira Zorx Lanver - External VGA", "2 Megs"},
    {"Velmira Zorx Lanver - Internal VGA", "4 Megs"},
    {"Velmira Zorx Lanver - Internal VGA", "2 Megs"},
    {"Velmira Zorx Kestra - Internal VGA", "4 Megs"},
    {"Velmira Zorx Kestra - Internal VGA", "2 Megs"},
    {"Velmira Zorx Lanver - Internal VGA", "8 Megs"},
    {"Velmira Zorx Lanver - Internal VGA", "8 Megs"},
    UNKNOWN_BOARD,
    UNKNOWN_BOARD,
};

// Families 3 and 4: rows 1 to 32 in four blocks of eight memory fittings
// (WRAM boards first, then SGRAM; PCI and AGP alternating by block).
constexpr unsigned long FAMILY34_ROWS = 35;
constexpr unsigned long FITTINGS = 8;

const char* const WRAM_FITTINGS[FITTINGS] = {
    "4 MB WRAM", "4 MB + 4 MB WRAM", "4 MB + 8 MB WRAM", "4 MB + 16 MB WRAM",
    "8 MB WRAM", "8 MB + 4 MB WRAM", "8 MB + 8 MB WRAM", "8 MB + 16 MB WRAM",
};
const char* const SGRAM_FITTINGS[FITTINGS] = {
    "4 MB SGRAM", "4 MB + 4 MB SGRAM", "4 MB + 8 MB SGRAM", "4 MB + 16 MB SGRAM",
    "8 MB SGRAM", "8 MB + 4 MB SGRAM", "8 MB + 8 MB SGRAM", "8 MB + 16 MB SGRAM",
};

// The row of a board index; false when the family has no table. An index
// past the table's end reads as row 0.
bool board_row(DWORD family, DWORD index, BOARD_ROW& row)
{
    const unsigned long family2_rows = sizeof FAMILY2_BOARDS / sizeof FAMILY2_BOARDS[0];
    switch (family) {
    case 2:
        row = FAMILY2_BOARDS[index < family2_rows ? index : 0];
        return true;
    case 3:
    case 4: {
        if (index >= FAMILY34_ROWS)
            index = 0;
        if (index < 1 || index > 4 * FITTINGS) {
            row = UNKNOWN_BOARD;
            return true;
        }
        if (family == 4) {
            row = {"Board Name TBD", "Ram Size TBD"};
            return true;
        }
        unsigned long block = (index - 1) / FITTINGS;
        unsigned long fitting = (index - 1) % FITTINGS;
        row.name = block % 2 == 0 ? "Halcyra 3D - PCI" : "Halcyra 3D - AGP";
        row.memory = block < 2 ? WRAM_FITTINGS[fitting] : SGRAM_FITTINGS[fitting];
        return true;
    }
    default:
        return false;
    }
}

const char* miniport_file(DWORD family)
{
    switch (family) {
    case 2:
        return "\\system32\\drivers\\zorxv2.sys";
    case 3:
        return "\\system32\\drivers\\korvid.sys";
    case 4:
        return "\\system32\\drivers\\orvmini4.sys";
    default:
        return NULL;
    }
}

// The product version of the family's miniport file, cut to the buffer.
bool driver_version(char* text, size_t size)
{
    const char* file = miniport_file(board_family);
    if (!file)
        return false;
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    if (length + text_length(file, MAX_PATH) >= MAX_PATH)
        return false;
    append_text(path, sizeof path, file);

    DWORD handle = 0;
    DWORD block_size = GetFileVersionInfoSizeA(path, &handle);
    if (block_size == 0)
        return false;
    void* block = LocalAlloc(LMEM_FIXED, block_size);
    if (!block)
        return false;
    bool found = false;
    if (GetFileVersionInfoA(path, handle, block_size, block)) {
        void* value = NULL;
        UINT value_length = 0;
        if (VerQueryValueA(block, VERSION_ENTRY, &value, &value_length) && value) {
            copy_text(text, size, static_cast<const char*>(value), value_length);
            found = true;
        }
    }
    LocalFree(block);
    return found;
}

// The three BIOS texts joined by three blanks. The texts come from the
// display driver; one that fills its buffer has no terminating zero.
bool bios_data(char* text, size_t size)
{
    char bios[BIOS_TEXT_COUNT][BIOS_TEXT_SIZE] = {};
    DWORD addresses[BIOS_TEXT_COUNT];
    for (int i = 0; i < BIOS_TEXT_COUNT; ++i)
        addresses[i] = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(bios[i]));

    HDC dc = CreateDCA("display", NULL, NULL, NULL);
    if (!dc)
        return false;
    int result = ExtEscape(dc, ESC_GET_BIOS_DATA, sizeof addresses,
                           reinterpret_cast<LPCSTR>(addresses), 0, NULL);
    DeleteDC(dc);
    if (!escape_succeeded(result))
        return false;

    text[0] = '\0';
    for (int i = 0; i < BIOS_TEXT_COUNT; ++i) {
        if (i > 0)
            append_text(text, size, BIOS_SEPARATOR);
        append_text(text, size, bios[i], BIOS_TEXT_SIZE);
    }
    return text[0] != '\0';
}

void set_text(HWND dialog, int control, const char* text)
{
    HWND item = GetDlgItem(dialog, control);
    if (item)
        SetWindowTextA(item, text);
}

void fill_page(HWND dialog)
{
    char text[TEXT_SIZE];

    set_text(dialog, IDC_DRIVER_VERSION, driver_version(text, sizeof text) ? text : UNDEFINED);
    set_text(dialog, IDC_BIOS_DATA, bios_data(text, sizeof text) ? text : UNDEFINED);

    // Without an index the fields keep the texts of the template.
    DWORD index = 0;
    if (escape_succeeded(
            send_driver_escape(ESC_GET_BOARD_INDEX, ESC_FILLER, sizeof index, &index))) {
        BOARD_ROW row;
        bool known = board_row(board_family, index, row);
        set_text(dialog, IDC_BOARD_NAME, known ? row.name : UNDEFINED);
        set_text(dialog, IDC_VIDEO_RAM, known ? row.memory : UNDEFINED);
    }

    set_text(dialog, IDC_PANEL_VERSION, PANEL_VERSION);
}

} // namespace

INT_PTR CALLBACK info_page_proc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        fill_page(dialog);
        return TRUE;
    case WM_DESTROY:
    case WM_NOTIFY:
        return TRUE;
    default:
        return FALSE;
    }
}
