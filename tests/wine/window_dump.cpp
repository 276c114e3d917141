#include "tests/wine/window_dump.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "tests/wine/control_layout.h"

namespace {

constexpr DWORD kPollMs = 50;
// Messages go to the sheet's thread; it may be busy for a moment.
constexpr UINT kAnswerMs = 2000;
constexpr int kTextSize = 512;

std::string request_dir;

LRESULT ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

// Quotes a text on one line: line breaks, tabs and quotes escaped.
std::string quoted(const char* text)
{
    std::string out = "\"";
    for (const char* c = text; *c; ++c) {
        switch (*c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += *c;
            break;
        default:
            out += *c;
        }
    }
    return out + "\"";
}

std::string window_text(HWND window)
{
    char text[kTextSize] = {};
    ask(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    text[kTextSize - 1] = '\0';
    return text;
}

int depth_of(HWND window)
{
    int depth = 0;
    while ((GetWindowLongA(window, GWL_STYLE) & WS_CHILD) && (window = GetParent(window)))
        ++depth;
    return depth;
}

void dump_tabs(FILE* out, HWND tabs)
{
    int count = static_cast<int>(ask(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[kTextSize] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ask(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        RECT rect = {};
        ask(tabs, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rect));
        MapWindowPoints(tabs, NULL, reinterpret_cast<POINT*>(&rect), 2);
        std::fprintf(out, "tab top=%p index=%d text=%s rect=%ld,%ld,%ld,%ld\n",
                     static_cast<void*>(GetAncestor(tabs, GA_ROOT)), i, quoted(text).c_str(),
                     rect.left, rect.top, rect.right, rect.bottom);
    }
}

// Every line names its top-level window, so that the lines of a message
// box can be told from those of the sheet. A picture's text is its resource
// number, not something to read.
void dump_window(FILE* out, HWND window)
{
    char class_name[kTextSize] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    RECT rect = {};
    GetWindowRect(window, &rect);
    ControlKind kind = control_kind(window);
    bool button = kind == ControlKind::Radio || kind == ControlKind::Check ||
                  kind == ControlKind::Push || kind == ControlKind::Group;
    std::string check = button ? std::to_string(ask(window, BM_GETCHECK, 0, 0)) : "-";
    bool picture = kind == ControlKind::Picture;
    std::string text = picture ? "" : window_text(window);
    int image = picture ? ask(window, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0 : 0;
    int fits = text_fits(window, kind, text.c_str());
    std::fprintf(out,
                 "win top=%p depth=%d id=%d class=%s kind=%s text=%s enabled=%d visible=%d "
                 "checked=%s image=%d fits=%d rect=%ld,%ld,%ld,%ld\n",
                 static_cast<void*>(GetAncestor(window, GA_ROOT)), depth_of(window),
                 GetDlgCtrlID(window), quoted(class_name).c_str(), kind_name(kind),
                 quoted(text.c_str()).c_str(), IsWindowEnabled(window) ? 1 : 0,
                 IsWindowVisible(window) ? 1 : 0, check.c_str(), image, fits, rect.left, rect.top,
                 rect.right, rect.bottom);
    if (lstrcmpiA(class_name, WC_TABCONTROLA) == 0)
        dump_tabs(out, window);
}

BOOL CALLBACK dump_child(HWND window, LPARAM out)
{
    dump_window(reinterpret_cast<FILE*>(out), window);
    return TRUE;
}

BOOL CALLBACK dump_top(HWND window, LPARAM out)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    dump_window(reinterpret_cast<FILE*>(out), window);
    EnumChildWindows(window, dump_child, out);
    return TRUE;
}

std::string path_of(const std::string& name)
{
    return request_dir + "\\" + name;
}

// The dump is written aside and renamed, so a reader never sees half of it.
void write_dump(const std::string& name)
{
    std::string partial = path_of(name + ".partial");
    FILE* out = std::fopen(partial.c_str(), "wb");
    if (!out)
        return;
    EnumWindows(dump_top, reinterpret_cast<LPARAM>(out));
    std::fclose(out);
    MoveFileExA(partial.c_str(), path_of(name + ".txt").c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool take_request(std::string& name)
{
    std::string request = path_of("dump.request");
    FILE* in = std::fopen(request.c_str(), "r");
    if (!in)
        return false;
    char text[MAX_PATH] = {};
    bool read = std::fgets(text, sizeof text, in) != nullptr;
    std::fclose(in);
    DeleteFileA(request.c_str());
    name = text;
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r' || name.back() == ' '))
        name.pop_back();
    return read && !name.empty();
}

DWORD WINAPI watch(LPVOID)
{
    for (;;) {
        std::string name;
        if (take_request(name))
            write_dump(name);
        Sleep(kPollMs);
    }
}

} // namespace

void start_window_dumps(const char* dir)
{
    request_dir = dir;
    CloseHandle(CreateThread(NULL, 0, watch, NULL, 0, NULL));
}
