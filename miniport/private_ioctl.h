/*
 * Private requests of the Halcyra 3D miniport, for its display driver.
 * Control code = 0x230000 + 4 x function: the video device type, buffered
 * method, any access. Buffers are little-endian 32-bit words unless stated.
 */
#ifndef KORVID_PRIVATE_IOCTL_H
#define KORVID_PRIVATE_IOCTL_H

#define KORVID_PRIVATE_IOCTL(function) (0x230000UL + 4UL * (function))

#define IOCTL_PRIV_MAP_BIOS_ROM KORVID_PRIVATE_IOCTL(0xEBB)            /* out 4: mapped BIOS image */
#define IOCTL_PRIV_GET_BOARD_CONFIG KORVID_PRIVATE_IOCTL(0xEBC)        /* out 4 */
#define IOCTL_PRIV_SET_VIRTUALS_FLAG KORVID_PRIVATE_IOCTL(0xEBD)       /* in 4 */
#define IOCTL_PRIV_GET_EXTRA_HEIGHT KORVID_PRIVATE_IOCTL(0xEC2)        /* in 4 row, out 4 */
#define IOCTL_PRIV_GET_EXTRA_WIDTH KORVID_PRIVATE_IOCTL(0xEC3)         /* in 4 row, out 4 */
#define IOCTL_PRIV_SELECT_BOARD KORVID_PRIVATE_IOCTL(0xEC4)            /* in 4 */
#define IOCTL_PRIV_STALL KORVID_PRIVATE_IOCTL(0xEC5)                   /* in 4: microseconds */
#define IOCTL_PRIV_GET_NUM_BOARDS KORVID_PRIVATE_IOCTL(0xEC6)          /* out 4 */
#define IOCTL_PRIV_GET_BUS_TYPE KORVID_PRIVATE_IOCTL(0xEC8)            /* out 4 */
#define IOCTL_PRIV_NOP KORVID_PRIVATE_IOCTL(0xEC9)                     /* in 4 */
#define IOCTL_PRIV_SET_MCLOCK_INDEX KORVID_PRIVATE_IOCTL(0xECC)        /* in 4 */
#define IOCTL_PRIV_GET_CHIP_NAME KORVID_PRIVATE_IOCTL(0xEDD)           /* string */
#define IOCTL_PRIV_GET_DAC_NAME KORVID_PRIVATE_IOCTL(0xEDE)            /* string */
#define IOCTL_PRIV_GET_MEMORY_TYPE_NAME KORVID_PRIVATE_IOCTL(0xEDF)    /* string */
#define IOCTL_PRIV_GET_MEMORY_SIZE_MB KORVID_PRIVATE_IOCTL(0xEE0)      /* out 4 */
#define IOCTL_PRIV_GET_BUS_NAME KORVID_PRIVATE_IOCTL(0xEE1)            /* string */
#define IOCTL_PRIV_GET_CONSTANT_128 KORVID_PRIVATE_IOCTL(0xEE2)        /* out 4 */
#define IOCTL_PRIV_GET_CONSTANT_592 KORVID_PRIVATE_IOCTL(0xEE3)        /* out 4 */
#define IOCTL_PRIV_GET_BOARD_NAME KORVID_PRIVATE_IOCTL(0xEE4)          /* string */
#define IOCTL_PRIV_SET_ALL_VIRTUAL_MODES KORVID_PRIVATE_IOCTL(0xEE5)   /* in 1 */
#define IOCTL_PRIV_SET_CURSOR_COLOR KORVID_PRIVATE_IOCTL(0xEE6)        /* in 6 */
#define IOCTL_PRIV_APPLY_CURSOR_COLOR KORVID_PRIVATE_IOCTL(0xEE7)      /* none */
#define IOCTL_PRIV_SET_DRIVER_OPTION KORVID_PRIVATE_IOCTL(0xEE8)       /* in 4 */
#define IOCTL_PRIV_GET_DRIVER_OPTION KORVID_PRIVATE_IOCTL(0xEE9)       /* out 4 */
#define IOCTL_PRIV_SET_GAMMA_RAMP KORVID_PRIVATE_IOCTL(0xEEA)          /* in 8 and more */
#define IOCTL_PRIV_GAMMA_CONTROL KORVID_PRIVATE_IOCTL(0xEEB)           /* out 4, in 4 */
#define IOCTL_PRIV_UPDATE_GAMMA KORVID_PRIVATE_IOCTL(0xEEC)            /* none */
#define IOCTL_PRIV_GET_ALL_VIRTUAL_MODES KORVID_PRIVATE_IOCTL(0xEED)   /* out 4 */
#define IOCTL_PRIV_SET_CUSTOM_REFRESH KORVID_PRIVATE_IOCTL(0xEEE)      /* in 12, out 44 */
#define IOCTL_PRIV_TRY_REFRESH KORVID_PRIVATE_IOCTL(0xEEF)             /* in 12, out 4 */
#define IOCTL_PRIV_GET_TOTALS KORVID_PRIVATE_IOCTL(0xEF0)              /* out 4 */
#define IOCTL_PRIV_QUERY_REFRESH KORVID_PRIVATE_IOCTL(0xEF1)           /* in 4, out 4 */
#define IOCTL_PRIV_SET_TEST_MODES KORVID_PRIVATE_IOCTL(0xEF2)          /* in 1 */

/* IOCTL_PRIV_GAMMA_CONTROL commands. */
#define GAMMA_CONTROL_DISABLE 1
#define GAMMA_CONTROL_ENABLE 2
#define GAMMA_CONTROL_QUERY 4

/* IOCTL_PRIV_GET_BUS_TYPE answer: the PCI bus. */
#define PRIV_BUS_TYPE_PCI 5

/*
 * IOCTL_PRIV_SET_CURSOR_COLOR input: three 16-bit words red, green, blue
 * (low bytes used).
 * IOCTL_PRIV_SET_GAMMA_RAMP input: a 32-bit header (bits 0-15 first entry,
 * bits 16-31 count), then one word per entry: red in bits 8-15, green in
 * bits 16-23, blue in bits 24-31.
 * IOCTL_PRIV_SET_CUSTOM_REFRESH and IOCTL_PRIV_TRY_REFRESH input: refresh in
 * Hz, pixel clock in Hz, pixel-PLL word. The custom refresh output is the
 * registry value to store under the board's device key: a 32-byte NUL-padded
 * value name followed by the same three words.
 */

#endif
