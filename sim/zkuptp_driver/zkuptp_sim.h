/* The private control code of the simulated bus driver: how the bridge and the tests attach
 * and detach ports, steer the driver into its failure paths and read back what the library
 * sent. The library never uses this code.
 *
 * Every private call sends one SimCommand. Besides the main device "\\.\zkuptp", a test may
 * open a bus of its own ("\\.\zkuptp_<tag>", SIM_CMD_OPEN_BUS on the main device): each bus has
 * its own ports, values, faults and call log, so test programs running side by side never see
 * each other's calls. */
#ifndef QZ_ZKUPTP_SIM_H
#define QZ_ZKUPTP_SIM_H

#include "bus_driver_codes.h"

/* Outside the library's device types. */
#define ZKUPTP_SIM_IOCTL 0x80612400u /* CTL_CODE(0x8061, 0x900, METHOD_BUFFERED, FILE_ANY_ACCESS) */

#define ZKUPTP_SIM_MAIN_NAME   "zkuptp"
#define ZKUPTP_SIM_MAX_PORTS   64
#define ZKUPTP_SIM_MAX_BUSES   64
#define ZKUPTP_SIM_LOG_ENTRIES 128
#define ZKUPTP_SIM_LOG_INPUT   ((ZKUPTP_MAX_DEVICE_ID + 1) * 2) /* bytes of input kept per call */
#define ZKUPTP_SIM_MAX_FAULTS  8
#define ZKUPTP_SIM_NO_OVERRIDE 0xFFFFFFFFu
/* The code under which the one-byte read is logged and failed. */
#define ZKUPTP_SIM_READ_CODE   0u

enum SimCommandCode {
    SIM_CMD_ATTACH = 1,       /* port, value = state (0: 2), text = bus device id */
    SIM_CMD_DETACH = 2,       /* port */
    SIM_CMD_SET_STATE = 3,    /* port, value = state */
    SIM_CMD_FAIL = 4,         /* value = control code, value2 = how many next calls fail (0 clears) */
    SIM_CMD_HOLD = 5,         /* port, value = state reported whatever happens, value2 = 1 on, 0 off */
    SIM_CMD_LOSE = 6,         /* port: the driver lost it; its queries fail until it is attached again */
    SIM_CMD_SET_PORT_INFO = 7,/* port, value = COM number, value2 = the long status's value */
    SIM_CMD_SET_BLACKOUT = 8, /* port, value = time reported by the blackout query */
    SIM_CMD_SET_ID_COUNTS = 9,/* port, value = count the sizing call reports, value2 = count the
                                 reading call reports; ZKUPTP_SIM_NO_OVERRIDE = the true count */
    SIM_CMD_READ_LOG = 10,    /* value = first sequence number wanted -> SimLogHeader, entries */
    SIM_CMD_CLEAR_LOG = 11,
    SIM_CMD_RESET = 12,       /* everything of this bus back to the start */
    SIM_CMD_GET_VALUES = 13,  /* -> SimValues */
    SIM_CMD_LIST_PORTS = 14,  /* -> u32 count, then SimPortInfo records */
    SIM_CMD_OPEN_BUS = 15,    /* main device only: value = tag; creates "\\.\zkuptp_<tag>" */
    SIM_CMD_CLOSE_BUS = 16    /* main device only: value = tag */
};

#pragma pack(push, 1)
typedef struct SimCommand {
    uint32_t command;
    DriverPortRequest port;
    uint32_t value;
    uint32_t value2;
    uint16_t text[ZKUPTP_MAX_DEVICE_ID + 1]; /* UTF-16, terminated */
} SimCommand;

typedef struct SimLogHeader {
    uint32_t nextSequence; /* sequence number the next call will get */
    uint32_t count;        /* entries that follow */
} SimLogHeader;

/* One logged call, followed by storedLength input bytes. */
typedef struct SimLogEntry {
    uint32_t sequence;
    uint32_t code;         /* control code, or ZKUPTP_SIM_READ_CODE */
    uint32_t inputLength;  /* bytes the caller sent */
    uint32_t outputLength; /* bytes of room the caller gave */
    uint32_t storedLength; /* input bytes kept in the log */
} SimLogEntry;

typedef struct SimValues {
    uint32_t ownershipInterface;
    uint32_t ownershipReleaseTime;
    uint16_t hidMode;
    uint16_t hidValues[2];
    uint16_t reserved;
    uint32_t hidCalls;
    uint32_t portCount;
} SimValues;

typedef struct SimPortInfo {
    DriverPortRequest port;
    uint16_t state;  /* as reported (held state when held) */
    uint8_t attached;
    uint8_t lost;
    uint8_t held;
    uint8_t comPort;
    uint16_t blackout;
    uint32_t value;
    uint16_t deviceId[ZKUPTP_MAX_DEVICE_ID + 1];
} SimPortInfo;
#pragma pack(pop)

QZ_STATIC_ASSERT(sizeof(SimCommand) == 32 + (ZKUPTP_MAX_DEVICE_ID + 1) * 2, "SimCommand layout");
QZ_STATIC_ASSERT(offsetof(SimCommand, text) == 32, "text at 32");
QZ_STATIC_ASSERT(sizeof(SimLogEntry) == 20, "SimLogEntry layout");
QZ_STATIC_ASSERT(sizeof(SimValues) == 24, "SimValues layout");
QZ_STATIC_ASSERT(offsetof(SimPortInfo, deviceId) == 32, "deviceId at 32");

#endif /* QZ_ZKUPTP_SIM_H */
