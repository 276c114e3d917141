// The library entry, the Control Panel's entry point and the property sheet.
#include "applet/applet.h"
#include "applet/desktop.h"
#include "applet/resource.h"

HINSTANCE applet_instance;

namespace {

const char SHEET_CAPTION[] = "Quorvane Control Center";

int info_template(DWORD family)
{
    switch (family) {
    case 2:
        return IDD_INFO_FAMILY2;
    case 3:
        return IDD_INFO_FAMILY3;
    case 4:
        return IDD_INFO_FAMILY4;
    default:
        return IDD_INFO_UNKNOWN;
    }
}

void set_page(PROPSHEETPAGEA_V1& page, int dialog, const char* title, int icon, DLGPROC procedure,
              void* state = NULL)
{
    page.dwSize = sizeof page;
    page.dwFlags = PSP_USETITLE | PSP_USEICONID;
    page.hInstance = applet_instance;
    page.pszTemplate = MAKEINTRESOURCEA(dialog);
    page.pszIcon = MAKEINTRESOURCEA(icon);
    page.pszTitle = title;
    page.pfnDlgProc = procedure;
    page.lParam = reinterpret_cast<LPARAM>(state);
}

void describe_item(NEWCPLINFOA& info)
{
    info.dwSize = sizeof info;
    info.dwFlags = 0;
    info.dwHelpContext = 0;
    info.lData = 0;
    info.hIcon = LoadIconA(applet_instance, MAKEINTRESOURCEA(IDI_ITEM));
    LoadStringA(applet_instance, IDS_ITEM_NAME, info.szName, sizeof info.szName);
    LoadStringA(applet_instance, IDS_ITEM_INFO, info.szInfo, sizeof info.szInfo);
    info.szHelpFile[0] = '\0';
}

} // namespace

void show_control_center(HWND parent)
{
    query_board_family();

    PROPSHEETPAGEA_V1 pages[3] = {};
    DESKTOP_PAGE desktop_page = {};
    OPTIONS_PAGE options_page = {};
    UINT count = 1;
    set_page(pages[0], info_template(board_family), "Quorvane Info", IDI_SHEET, info_page_proc);
    if (board_family != 0) {
        set_page(pages[1], IDD_DESKTOP, "Desktop", IDI_DESKTOP, desktop_page_proc, &desktop_page);
        set_page(pages[2], IDD_OPTIONS, "Driver Options", IDI_OPTIONS, options_page_proc,
                 &options_page);
        count = 3;
    }

    // The first version of the header: the fields up to pfnCallback.
    PROPSHEETHEADERA header = {};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USEICONID;
    header.hwndParent = parent;
    header.hInstance = applet_instance;
    header.pszIcon = MAKEINTRESOURCEA(IDI_SHEET);
    header.pszCaption = SHEET_CAPTION;
    header.nPages = count;
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    PropertySheetA(&header);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        InitCommonControls();
        applet_instance = instance;
    }
    return TRUE;
}

extern "C" LONG APIENTRY CPlApplet(HWND hwndCPl, UINT uMsg, LPARAM lParam1, LPARAM lParam2)
{
    switch (uMsg) {
    case CPL_INIT:
        return 1;
    case CPL_GETCOUNT:
        return 1;
    case CPL_DBLCLK:
        show_control_center(hwndCPl);
        return 0;
    case CPL_NEWINQUIRE:
        // One item: only index 0 has a description to give.
        if (lParam1 == 0 && lParam2)
            describe_item(*reinterpret_cast<NEWCPLINFOA*>(lParam2));
        return 0;
    default: // CPL_INQUIRE is answered through CPL_NEWINQUIRE alone
        return 0;
    }
}
