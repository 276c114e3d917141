// The escape sender and the board family: every escape opens and deletes a
// device context of its own on the display driver.
#include "applet/applet.h"
#include "applet/escapes.h"

DWORD board_family;

int send_driver_escape(DWORD escape, DWORD value, int out_size, void* out)
{
    HDC dc = CreateDCA("display", NULL, NULL, NULL);
    if (!dc)
        return 0;
    int result = ExtEscape(dc, static_cast<int>(escape), sizeof value,
                           reinterpret_cast<LPCSTR>(&value), out_size, static_cast<LPSTR>(out));
    DeleteDC(dc);
    return result;
}

void query_board_family()
{
    // A driver that does not know the escape may still have written into
    // the output: only its answer counts.
    if (!escape_succeeded(
            send_driver_escape(ESC_GET_BOARD_FAMILY, 0, sizeof board_family, &board_family)))
        board_family = 0;
}
