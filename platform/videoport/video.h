// Host stand-in for the NT video port interface (ntdef.h, miniport.h, video.h,
// ntddvdeo.h) on i386. Records keep the Windows i386 layout byte for byte so
// that a real miniport image can be bound to the functions declared here.
#pragma once

#include <stdint.h>

#if !defined(__i386__)
#error "the host stand-ins model the i386 platform: build with -m32"
#endif

#define NTAPI __attribute__((stdcall))
#define VOID void
#define IN
#define OUT
#define OPTIONAL

typedef unsigned long ULONG;
typedef ULONG* PULONG;
typedef long LONG;
typedef short SHORT;
typedef unsigned short USHORT;
typedef USHORT* PUSHORT;
typedef unsigned char UCHAR;
typedef UCHAR* PUCHAR;
typedef char CHAR;
typedef CHAR* PCHAR;
typedef unsigned char BOOLEAN;
typedef BOOLEAN* PBOOLEAN;
typedef void* PVOID;
typedef void* HANDLE;
typedef unsigned long ULONG_PTR;
typedef unsigned long long ULONGLONG;
typedef long long LONGLONG;
// Wide characters are 16 bits on the platform; char16_t has that width here.
typedef char16_t WCHAR;
typedef WCHAR* PWSTR;
typedef const WCHAR* PCWSTR;

#define TRUE 1
#define FALSE 0

#define FIELD_OFFSET(type, field) ((LONG)__builtin_offsetof(type, field))

// 64-bit quantities are 8-byte aligned on Windows, also inside records.
typedef union alignas(8) _LARGE_INTEGER {
    struct {
        ULONG LowPart;
        LONG HighPart;
    } u;
    struct {
        ULONG LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;
typedef LARGE_INTEGER PHYSICAL_ADDRESS, *PPHYSICAL_ADDRESS;

typedef LONG VP_STATUS, *PVP_STATUS;

#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_DEV_NOT_EXIST 55L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MORE_DATA 234L

// ntstatus.h: what VideoPortInitialize answers, the driver's load status.
#define STATUS_SUCCESS 0L
#define STATUS_UNSUCCESSFUL ((LONG)0xC0000001L)
#define STATUS_INVALID_PARAMETER ((LONG)0xC000000DL)
#define STATUS_REVISION_MISMATCH ((LONG)0xC0000059L)

typedef enum _INTERFACE_TYPE {
    InterfaceTypeUndefined = -1,
    Internal,
    Isa,
    Eisa,
    MicroChannel,
    TurboChannel,
    PCIBus,
    VMEBus,
    NuBus,
    PCMCIABus,
    CBus,
    MPIBus,
    MPSABus,
    ProcessorInternal,
    InternalPowerBus,
    PNPISABus,
    PNPBus,
    MaximumInterfaceType
} INTERFACE_TYPE, *PINTERFACE_TYPE;

typedef enum _BUS_DATA_TYPE {
    ConfigurationSpaceUndefined = -1,
    Cmos,
    EisaConfiguration,
    Pos,
    CbusConfiguration,
    PCIConfiguration,
    VMEConfiguration,
    NuBusConfiguration,
    PCMCIAConfiguration,
    MPIConfiguration,
    MPSAConfiguration,
    PNPISAConfiguration,
    SgiInternalConfiguration,
    MaximumBusDataType
} BUS_DATA_TYPE, *PBUS_DATA_TYPE;

typedef enum _KINTERRUPT_MODE { LevelSensitive, Latched } KINTERRUPT_MODE;

typedef struct _EMULATOR_ACCESS_ENTRY {
    ULONG BasePort;
    ULONG NumConsecutivePorts;
    ULONG AccessType;
    UCHAR AccessMode;
    UCHAR StringSupport;
    PVOID Routine;
} EMULATOR_ACCESS_ENTRY, *PEMULATOR_ACCESS_ENTRY;

// The NT 4.0 form of the configuration record (72 bytes).
typedef struct _VIDEO_PORT_CONFIG_INFO {
    ULONG Length;
    ULONG SystemIoBusNumber;
    INTERFACE_TYPE AdapterInterfaceType;
    ULONG BusInterruptLevel;
    ULONG BusInterruptVector;
    KINTERRUPT_MODE InterruptMode;
    ULONG NumEmulatorAccessEntries;
    PEMULATOR_ACCESS_ENTRY EmulatorAccessEntries;
    ULONG_PTR EmulatorAccessEntriesContext;
    PHYSICAL_ADDRESS VdmPhysicalVideoMemoryAddress;
    ULONG VdmPhysicalVideoMemoryLength;
    ULONG HardwareStateSize;
    ULONG DmaChannel;
    ULONG DmaPort;
    UCHAR DmaShareable;
    UCHAR InterruptShareable;
} VIDEO_PORT_CONFIG_INFO, *PVIDEO_PORT_CONFIG_INFO;

typedef struct _VIDEO_ACCESS_RANGE {
    PHYSICAL_ADDRESS RangeStart;
    ULONG RangeLength;
    UCHAR RangeInIoSpace;
    UCHAR RangeVisible;
    UCHAR RangeShareable;
    UCHAR RangePassive;
} VIDEO_ACCESS_RANGE, *PVIDEO_ACCESS_RANGE;

typedef struct _STATUS_BLOCK {
    union {
        VP_STATUS Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
} STATUS_BLOCK, *PSTATUS_BLOCK;

typedef struct _VIDEO_REQUEST_PACKET {
    ULONG IoControlCode;
    PSTATUS_BLOCK StatusBlock;
    PVOID InputBuffer;
    ULONG InputBufferLength;
    PVOID OutputBuffer;
    ULONG OutputBufferLength;
} VIDEO_REQUEST_PACKET, *PVIDEO_REQUEST_PACKET;

typedef struct _VIDEO_X86_BIOS_ARGUMENTS {
    ULONG Eax;
    ULONG Ebx;
    ULONG Ecx;
    ULONG Edx;
    ULONG Esi;
    ULONG Edi;
    ULONG Ebp;
} VIDEO_X86_BIOS_ARGUMENTS, *PVIDEO_X86_BIOS_ARGUMENTS;

typedef VP_STATUS(NTAPI* PVIDEO_HW_FIND_ADAPTER)(PVOID HwDeviceExtension, PVOID HwContext,
                                                 PWSTR ArgumentString,
                                                 PVIDEO_PORT_CONFIG_INFO ConfigInfo,
                                                 PUCHAR Again);
typedef BOOLEAN(NTAPI* PVIDEO_HW_INITIALIZE)(PVOID HwDeviceExtension);
typedef BOOLEAN(NTAPI* PVIDEO_HW_INTERRUPT)(PVOID HwDeviceExtension);
typedef BOOLEAN(NTAPI* PVIDEO_HW_START_IO)(PVOID HwDeviceExtension,
                                           PVIDEO_REQUEST_PACKET RequestPacket);
typedef BOOLEAN(NTAPI* PVIDEO_HW_RESET_HW)(PVOID HwDeviceExtension, ULONG Columns, ULONG Rows);
typedef VOID(NTAPI* PVIDEO_HW_TIMER)(PVOID HwDeviceExtension);
typedef VP_STATUS(NTAPI* PMINIPORT_GET_REGISTRY_ROUTINE)(PVOID HwDeviceExtension, PVOID Context,
                                                         PWSTR ValueName, PVOID ValueData,
                                                         ULONG ValueLength);

// The NT 4.0 form of the registration record (40 bytes).
typedef struct _VIDEO_HW_INITIALIZATION_DATA {
    ULONG HwInitDataSize;
    INTERFACE_TYPE AdapterInterfaceType;
    PVIDEO_HW_FIND_ADAPTER HwFindAdapter;
    PVIDEO_HW_INITIALIZE HwInitialize;
    PVIDEO_HW_INTERRUPT HwInterrupt;
    PVIDEO_HW_START_IO HwStartIO;
    ULONG HwDeviceExtensionSize;
    ULONG StartingDeviceNumber;
    PVIDEO_HW_RESET_HW HwResetHw;
    PVIDEO_HW_TIMER HwTimer;
} VIDEO_HW_INITIALIZATION_DATA, *PVIDEO_HW_INITIALIZATION_DATA;

// Address-space words of VideoPortGetDeviceBase and VideoPortMapMemory.
#define VIDEO_MEMORY_SPACE_MEMORY 0x00
#define VIDEO_MEMORY_SPACE_IO 0x01
#define VIDEO_MEMORY_SPACE_USER_MODE 0x02
#define VIDEO_MEMORY_SPACE_DENSE 0x04
#define VIDEO_MEMORY_SPACE_P6CACHE 0x08

// ntddvdeo.h
typedef struct _VIDEO_MODE_INFORMATION {
    ULONG Length;
    ULONG ModeIndex;
    ULONG VisScreenWidth;
    ULONG VisScreenHeight;
    ULONG ScreenStride;
    ULONG NumberOfPlanes;
    ULONG BitsPerPlane;
    ULONG Frequency;
    ULONG XMillimeter;
    ULONG YMillimeter;
    ULONG NumberRedBits;
    ULONG NumberGreenBits;
    ULONG NumberBlueBits;
    ULONG RedMask;
    ULONG GreenMask;
    ULONG BlueMask;
    ULONG AttributeFlags;
    ULONG VideoMemoryBitmapWidth;
    ULONG VideoMemoryBitmapHeight;
    ULONG DriverSpecificAttributeFlags;
} VIDEO_MODE_INFORMATION, *PVIDEO_MODE_INFORMATION;

#define VIDEO_MODE_COLOR 0x0001
#define VIDEO_MODE_GRAPHICS 0x0002
#define VIDEO_MODE_PALETTE_DRIVEN 0x0004
#define VIDEO_MODE_MANAGED_PALETTE 0x0008

typedef struct _VIDEO_NUM_MODES {
    ULONG NumModes;
    ULONG ModeInformationLength;
} VIDEO_NUM_MODES, *PVIDEO_NUM_MODES;

typedef struct _VIDEO_MODE {
    ULONG RequestedMode;
} VIDEO_MODE, *PVIDEO_MODE;

typedef struct _VIDEO_CLUTDATA {
    UCHAR Red;
    UCHAR Green;
    UCHAR Blue;
    UCHAR Unused;
} VIDEO_CLUTDATA, *PVIDEO_CLUTDATA;

typedef struct {
    USHORT NumEntries;
    USHORT FirstEntry;
    union {
        VIDEO_CLUTDATA RgbArray;
        ULONG RgbLong;
    } LookupTable[1];
} VIDEO_CLUT, *PVIDEO_CLUT;

typedef struct _VIDEO_MEMORY {
    PVOID RequestedVirtualAddress;
} VIDEO_MEMORY, *PVIDEO_MEMORY;

typedef struct _VIDEO_MEMORY_INFORMATION {
    PVOID VideoRamBase;
    ULONG VideoRamLength;
    PVOID FrameBufferBase;
    ULONG FrameBufferLength;
} VIDEO_MEMORY_INFORMATION, *PVIDEO_MEMORY_INFORMATION;

typedef struct _VIDEO_PUBLIC_ACCESS_RANGES {
    ULONG InIoSpace;
    ULONG MappedInIoSpace;
    PVOID VirtualAddress;
} VIDEO_PUBLIC_ACCESS_RANGES, *PVIDEO_PUBLIC_ACCESS_RANGES;

typedef struct _VIDEO_SHARE_MEMORY {
    HANDLE ProcessHandle;
    ULONG ViewOffset;
    ULONG ViewSize;
    PVOID RequestedVirtualAddress;
} VIDEO_SHARE_MEMORY, *PVIDEO_SHARE_MEMORY;

typedef struct _VIDEO_SHARE_MEMORY_INFORMATION {
    ULONG SharedViewOffset;
    ULONG SharedViewSize;
    PVOID VirtualAddress;
} VIDEO_SHARE_MEMORY_INFORMATION, *PVIDEO_SHARE_MEMORY_INFORMATION;

// Device type FILE_DEVICE_VIDEO (0x23), METHOD_BUFFERED, FILE_ANY_ACCESS.
#define FILE_DEVICE_VIDEO 0x00000023
#define METHOD_BUFFERED 0
#define FILE_ANY_ACCESS 0
#define CTL_CODE(DeviceType, Function, Method, Access)                                             \
    (((DeviceType) << 16) | ((Access) << 14) | ((Function) << 2) | (Method))
#define IOCTL_VIDEO_QUERY_AVAIL_MODES CTL_CODE(FILE_DEVICE_VIDEO, 0x100, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES CTL_CODE(FILE_DEVICE_VIDEO, 0x101, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_QUERY_CURRENT_MODE CTL_CODE(FILE_DEVICE_VIDEO, 0x102, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_SET_CURRENT_MODE CTL_CODE(FILE_DEVICE_VIDEO, 0x103, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_RESET_DEVICE CTL_CODE(FILE_DEVICE_VIDEO, 0x104, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_SET_COLOR_REGISTERS CTL_CODE(FILE_DEVICE_VIDEO, 0x107, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_MAP_VIDEO_MEMORY CTL_CODE(FILE_DEVICE_VIDEO, 0x116, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_UNMAP_VIDEO_MEMORY CTL_CODE(FILE_DEVICE_VIDEO, 0x117, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES CTL_CODE(FILE_DEVICE_VIDEO, 0x118, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES CTL_CODE(FILE_DEVICE_VIDEO, 0x119, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_SHARE_VIDEO_MEMORY CTL_CODE(FILE_DEVICE_VIDEO, 0x11D, METHOD_BUFFERED, 0)
#define IOCTL_VIDEO_UNSHARE_VIDEO_MEMORY CTL_CODE(FILE_DEVICE_VIDEO, 0x11E, METHOD_BUFFERED, 0)

#ifdef __cplusplus
extern "C" {
#endif

ULONG NTAPI VideoPortInitialize(PVOID Argument1, PVOID Argument2,
                                PVIDEO_HW_INITIALIZATION_DATA HwInitializationData,
                                PVOID HwContext);
VP_STATUS NTAPI VideoPortGetAccessRanges(PVOID HwDeviceExtension, ULONG NumRequestedResources,
                                         PVOID RequestedResources, ULONG NumAccessRanges,
                                         PVIDEO_ACCESS_RANGE AccessRanges, PVOID VendorId,
                                         PVOID DeviceId, PULONG Slot);
ULONG NTAPI VideoPortGetBusData(PVOID HwDeviceExtension, BUS_DATA_TYPE BusDataType,
                                ULONG SlotNumber, PVOID Buffer, ULONG Offset, ULONG Length);
ULONG NTAPI VideoPortSetBusData(PVOID HwDeviceExtension, BUS_DATA_TYPE BusDataType,
                                ULONG SlotNumber, PVOID Buffer, ULONG Offset, ULONG Length);
PVOID NTAPI VideoPortGetDeviceBase(PVOID HwDeviceExtension, PHYSICAL_ADDRESS IoAddress,
                                   ULONG NumberOfUchars, UCHAR InIoSpace);
VOID NTAPI VideoPortFreeDeviceBase(PVOID HwDeviceExtension, PVOID MappedAddress);
VP_STATUS NTAPI VideoPortMapMemory(PVOID HwDeviceExtension, PHYSICAL_ADDRESS PhysicalAddress,
                                   PULONG Length, PULONG InIoSpace, PVOID* VirtualAddress);
VP_STATUS NTAPI VideoPortUnmapMemory(PVOID HwDeviceExtension, PVOID VirtualAddress,
                                     HANDLE ProcessHandle);
ULONG NTAPI VideoPortReadRegisterUlong(PULONG Register);
VOID NTAPI VideoPortWriteRegisterUlong(PULONG Register, ULONG Value);
VOID NTAPI VideoPortWriteRegisterUchar(PUCHAR Register, UCHAR Value);
ULONG NTAPI VideoPortReadPortUlong(PULONG Port);
VOID NTAPI VideoPortWritePortUlong(PULONG Port, ULONG Value);
VOID NTAPI VideoPortStallExecution(ULONG Microseconds);
VOID NTAPI VideoPortZeroDeviceMemory(PVOID Destination, ULONG Length);
VOID NTAPI VideoPortZeroMemory(PVOID Destination, ULONG Length);
VOID NTAPI VideoPortMoveMemory(PVOID Destination, PVOID Source, ULONG Length);
VP_STATUS NTAPI VideoPortInt10(PVOID HwDeviceExtension, PVIDEO_X86_BIOS_ARGUMENTS BiosArguments);
VP_STATUS NTAPI VideoPortSetRegistryParameters(PVOID HwDeviceExtension, PWSTR ValueName,
                                               PVOID ValueData, ULONG ValueLength);
VP_STATUS NTAPI VideoPortGetRegistryParameters(PVOID HwDeviceExtension, PWSTR ParameterName,
                                               UCHAR IsParameterFileName,
                                               PMINIPORT_GET_REGISTRY_ROUTINE CallbackRoutine,
                                               PVOID Context);

#ifdef __cplusplus
}
#endif

static_assert(sizeof(PHYSICAL_ADDRESS) == 8 && alignof(PHYSICAL_ADDRESS) == 8);
static_assert(sizeof(VIDEO_PORT_CONFIG_INFO) == 72);
static_assert(FIELD_OFFSET(VIDEO_PORT_CONFIG_INFO, VdmPhysicalVideoMemoryAddress) == 40);
static_assert(FIELD_OFFSET(VIDEO_PORT_CONFIG_INFO, HardwareStateSize) == 52);
static_assert(sizeof(VIDEO_HW_INITIALIZATION_DATA) == 40);
static_assert(sizeof(VIDEO_REQUEST_PACKET) == 24);
static_assert(sizeof(STATUS_BLOCK) == 8);
static_assert(sizeof(VIDEO_X86_BIOS_ARGUMENTS) == 28);
static_assert(sizeof(WCHAR) == 2);
