// The private escapes the applet sends to the board family's display driver
// with ExtEscape, and the values they carry. Unless noted, the input is one
// 32-bit value and outputs are 32-bit values.
#pragma once

enum : int {
    ESC_GET_BOARD_FAMILY = 3999,   // input 0; out: board family 2, 3 or 4
    ESC_GET_VIRTUAL_LAYOUT = 4001, // out: Double Wide flag, Two Tall flag (8 bytes)
    ESC_GET_BIOS_DATA = 4002,      // in: addresses of three 20-byte text buffers; no output
    ESC_GET_BOARD_INDEX = 4003,    // out: row of the board tables
    ESC_SET_VIRTUAL_LAYOUT = 4004, // in: layout code; out: 4 bytes, not read
    ESC_GET_MULTI_BOARD = 4005,    // out: MULTI_BOARD_ON when the desktop spans all boards
    ESC_GET_BOARD_COUNT = 4006,    // out: number of boards
};

// Input of the escapes that need none.
constexpr unsigned long ESC_FILLER = 1234;

// Layout codes of ESC_SET_VIRTUAL_LAYOUT.
enum : unsigned long {
    LAYOUT_NORMAL = 0,
    LAYOUT_DOUBLE_WIDE = 1,
    LAYOUT_TWO_TALL = 2,
    LAYOUT_MULTI_BOARD = 3,
};

// "MultiBoardFlag": one board, or the desktop across all boards.
constexpr unsigned long MULTI_BOARD_OFF = 4;
constexpr unsigned long MULTI_BOARD_ON = 3;

// ESC_GET_BIOS_DATA fills three buffers of this size.
constexpr int BIOS_TEXT_COUNT = 3;
constexpr int BIOS_TEXT_SIZE = 20;
