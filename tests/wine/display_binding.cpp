#include "tests/wine/display_binding.h"

#include <cstdarg>
#include <set>

#include "tests/wine/import_binding.h"
#include "platform/win32/display_devmode.h"

namespace {

// Device contexts on the model are handles that no GDI object can have:
// GDI hands out handles far below this.
constexpr ULONG_PTR kModelDcBase = 0x7DC00000;

sim::DisplayDriver* model;
FILE* log_file;
std::set<HDC> open_dcs;
unsigned dcs_created;
unsigned dcs_deleted;
unsigned foreign_calls; // calls on device contexts that the model never handed out
unsigned bad_records;   // mode records too short to change into
unsigned current_reads; // reads of the current settings so far
unsigned first_failing_read;

decltype(&CreateDCA) real_create_dc;
decltype(&ExtEscape) real_ext_escape;
decltype(&DeleteDC) real_delete_dc;

__attribute__((format(printf, 1, 2))) void log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(log_file, format, args);
    va_end(args);
    std::fflush(log_file);
}

HDC WINAPI model_create_dc(LPCSTR driver, LPCSTR device, LPCSTR output, const DEVMODEA* init)
{
    if (!driver || lstrcmpiA(driver, "display") != 0 || device || output)
        return real_create_dc(driver, device, output, init);
    HDC dc = reinterpret_cast<HDC>(kModelDcBase + 4 * ++dcs_created);
    open_dcs.insert(dc);
    return dc;
}

int WINAPI model_ext_escape(HDC dc, int code, int in_size, LPCSTR in, int out_size, LPSTR out)
{
    if (!open_dcs.count(dc)) {
        ++foreign_calls;
        return real_ext_escape(dc, code, in_size, in, out_size, out);
    }
    if (in_size < 0 || out_size < 0)
        return -1;
    int result = model->escape(code, in_size, in, out_size, out);
    log("escape %d in_size=%d out_size=%d -> %d\n", code, in_size, out_size, result);
    return result;
}

BOOL WINAPI model_delete_dc(HDC dc)
{
    if (!open_dcs.erase(dc)) {
        ++foreign_calls;
        return real_delete_dc(dc);
    }
    ++dcs_deleted;
    return TRUE;
}

// The caller's size field is not read, as the system's EnumDisplaySettingsA
// does not read it.
BOOL WINAPI model_enum_settings(LPCSTR device, DWORD number, DEVMODEA* record)
{
    if (device || !record)
        return FALSE;
    sim::DisplayMode mode;
    if (number == ENUM_CURRENT_SETTINGS && ++current_reads == first_failing_read)
        model->fail_current_mode = true;
    bool found = number == ENUM_CURRENT_SETTINGS    ? model->current_mode(mode)
                 : number == ENUM_REGISTRY_SETTINGS ? model->stored_mode(mode)
                                                    : model->enum_mode(number, mode);
    if (number == ENUM_CURRENT_SETTINGS)
        log("enum current -> %d %ux%u\n", found, mode.width, mode.height);
    if (found)
        win32_host::fill_devmode(*record, mode);
    return found;
}

LONG WINAPI model_change_settings(DEVMODEA* record, DWORD flags)
{
    if (!record) {
        // Back to the stored mode: the model keeps no other.
        log("change to stored mode\n");
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (record->dmSize < win32_host::kSmallestChangeRecord) {
        ++bad_records;
        log("change refused: record size %u\n", record->dmSize);
        return DISP_CHANGE_BADMODE;
    }
    sim::DisplayMode mode = win32_host::mode_of_devmode(*record, model->current);
    bool test = flags & CDS_TEST;
    bool update = flags & CDS_UPDATEREGISTRY;
    LONG result = model->change_mode(mode, test, update);
    log("change %ux%ux%u@%u test=%d registry=%d -> %ld\n", mode.width, mode.height,
        mode.bits_per_pixel, mode.frequency, test, update, result);
    return result;
}

struct Binding {
    const char* dll;
    const char* name;
    void* replacement;
};

const Binding kBindings[] = {
    {"gdi32.dll", "CreateDCA", reinterpret_cast<void*>(&model_create_dc)},
    {"gdi32.dll", "ExtEscape", reinterpret_cast<void*>(&model_ext_escape)},
    {"gdi32.dll", "DeleteDC", reinterpret_cast<void*>(&model_delete_dc)},
    {"user32.dll", "EnumDisplaySettingsA", reinterpret_cast<void*>(&model_enum_settings)},
    {"user32.dll", "ChangeDisplaySettingsA", reinterpret_cast<void*>(&model_change_settings)},
};

} // namespace

void fail_current_reads_from(unsigned read)
{
    first_failing_read = read;
}

bool bind_display_calls(HMODULE applet, sim::DisplayDriver& driver, FILE* log)
{
    model = &driver;
    log_file = log;
    real_create_dc = &CreateDCA;
    real_ext_escape = &ExtEscape;
    real_delete_dc = &DeleteDC;
    bool all = true;
    for (const Binding& binding : kBindings) {
        int slots = rebind_import(applet, binding.dll, binding.name, binding.replacement);
        std::fprintf(log, "bound %s %d\n", binding.name, slots);
        all = all && slots > 0;
    }
    return all;
}

void report_display_state(const sim::DisplayDriver& driver, FILE* out)
{
    sim::DisplayMode mode;
    bool readable = driver.current_mode(mode);
    std::fprintf(
        out, "family=%lu\nboard_count=%lu\nlayout=%lu\n", static_cast<unsigned long>(driver.family),
        static_cast<unsigned long>(driver.board_count), static_cast<unsigned long>(driver.layout));
    if (readable)
        std::fprintf(out, "current=%lux%lux%lu@%lu\n", static_cast<unsigned long>(mode.width),
                     static_cast<unsigned long>(mode.height),
                     static_cast<unsigned long>(mode.bits_per_pixel),
                     static_cast<unsigned long>(mode.frequency));
    std::fprintf(out, "mode_list_reads=%u\ndcs_created=%u\ndcs_deleted=%u\ndcs_open=%u\n",
                 driver.mode_list_reads, dcs_created, dcs_deleted,
                 static_cast<unsigned>(open_dcs.size()));
    std::fprintf(out, "foreign_dc_calls=%u\nbad_records=%u\n", foreign_calls, bad_records);
    for (const sim::EscapeCall& call : driver.escapes)
        std::fprintf(out, "escape %lu input=%lu in_size=%lu out_size=%lu result=%ld\n",
                     static_cast<unsigned long>(call.code), static_cast<unsigned long>(call.input),
                     static_cast<unsigned long>(call.in_size),
                     static_cast<unsigned long>(call.out_size), static_cast<long>(call.result));
    for (const sim::ModeChange& change : driver.mode_changes)
        std::fprintf(out, "change %lux%lux%lu@%lu test=%d registry=%d result=%ld\n",
                     static_cast<unsigned long>(change.mode.width),
                     static_cast<unsigned long>(change.mode.height),
                     static_cast<unsigned long>(change.mode.bits_per_pixel),
                     static_cast<unsigned long>(change.mode.frequency), change.test,
                     change.update_registry, static_cast<long>(change.result));
}
