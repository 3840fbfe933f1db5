/* The device I/O control codes of the virtual USB bus driver and the records they carry.
 * Plain C so that a driver written in C can include it as well as the library. */
#ifndef QZ_BUS_DRIVER_CODES_H
#define QZ_BUS_DRIVER_CODES_H

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>
#define QZ_STATIC_ASSERT(condition, text) static_assert(condition, text)
#else
#include <stddef.h>
#include <stdint.h>
#define QZ_STATIC_ASSERT(condition, text) _Static_assert(condition, text)
#endif

/* Every code is buffered and needs no access right beyond the read the library opens with. */
#define ZKUPTP_IOCTL_WAIT_STATE            0x80602150u /* DriverPortRequest -> DriverPortState */
#define ZKUPTP_IOCTL_LOOKUP_DEVICE_ID      0x80602154u /* UTF-16 device id -> DriverPortRequest */
#define ZKUPTP_IOCTL_FORCE_RELEASE         0x8060215Cu /* DriverPortRequest -> DriverPortState */
#define ZKUPTP_IOCTL_PORT_STATUS           0x80602160u /* DriverPortRequest -> state or DriverPortStatus */
#define ZKUPTP_IOCTL_PORT_DEVICE_ID        0x80602164u /* DriverPortRequest -> UTF-16 device id */
#define ZKUPTP_IOCTL_PORT_BLACKOUT         0x80602168u /* DriverBlackoutRequest -> DriverPortState */
#define ZKUPTP_IOCTL_SET_COM_PORT          0x806021C0u /* DriverComPortRequest -> DriverPortState */
#define ZKUPTP_IOCTL_SET_OWNERSHIP_IF      0x816020C4u /* u32 -> nothing */
#define ZKUPTP_IOCTL_GET_OWNERSHIP_IF      0x816020C8u /* nothing -> u32 */
#define ZKUPTP_IOCTL_SET_OWNERSHIP_RELEASE 0x816020CCu /* u32 -> nothing */
#define ZKUPTP_IOCTL_GET_OWNERSHIP_RELEASE 0x816020D0u /* nothing -> u32 */
#define ZKUPTP_IOCTL_SET_HID_FILTER        0x81602104u /* DriverHidFilterRequest -> nothing */

/* Port states the library tells apart. */
#define ZKUPTP_STATE_FREE      0 /* nothing attached: what a disconnect waits for */
#define ZKUPTP_STATE_HELD      1
#define ZKUPTP_STATE_ATTACHED  2 /* what a connect waits for */
#define ZKUPTP_STATE_SERIAL    4 /* attached; a serial device's COM number is read in this state */

#define ZKUPTP_LOCATION_SIZE   16  /* location text with its terminator */
#define ZKUPTP_MAX_DEVICE_ID   256 /* characters of a device id sent to the driver */
#define ZKUPTP_BLACKOUT_KIND   5
#define ZKUPTP_HID_FILTER_SIZE 8

#pragma pack(push, 1)
/* Names one virtual port: the server that attached it and the interface's location. */
typedef struct DriverPortRequest {
    uint32_t address; /* server IPv4, network byte order as held in the server entry */
    char location[ZKUPTP_LOCATION_SIZE]; /* zero-padded */
} DriverPortRequest;

typedef struct DriverComPortRequest {
    DriverPortRequest port;
    uint8_t comPort;
    uint8_t zero[3];
} DriverComPortRequest;

typedef struct DriverBlackoutRequest {
    DriverPortRequest port;
    uint16_t limit; /* ms */
    uint8_t kind;   /* ZKUPTP_BLACKOUT_KIND */
    uint8_t zero;
} DriverBlackoutRequest;

/* The 4-byte answer of the state wait, the release, the COM setting and the blackout query:
 * a port state, or the blackout time. */
typedef struct DriverPortState {
    uint16_t value;
    uint16_t reserved;
} DriverPortState;

/* The long answer of the port status query. */
typedef struct DriverPortStatus {
    uint16_t state;
    uint8_t reserved1[6];
    uint8_t comPort;
    uint8_t reserved2[3];
    uint32_t value;
} DriverPortStatus;

typedef struct DriverHidFilterRequest {
    uint16_t size; /* ZKUPTP_HID_FILTER_SIZE */
    uint16_t mode;
    uint16_t values[2];
} DriverHidFilterRequest;
#pragma pack(pop)

QZ_STATIC_ASSERT(sizeof(DriverPortRequest) == 20, "DriverPortRequest is 20 bytes");
QZ_STATIC_ASSERT(offsetof(DriverPortRequest, location) == 4, "location at 4");
QZ_STATIC_ASSERT(sizeof(DriverComPortRequest) == 24, "COM request is 24 bytes");
QZ_STATIC_ASSERT(offsetof(DriverComPortRequest, comPort) == 20, "COM number at 20");
QZ_STATIC_ASSERT(sizeof(DriverBlackoutRequest) == 24, "blackout request is 24 bytes");
QZ_STATIC_ASSERT(offsetof(DriverBlackoutRequest, limit) == 20, "limit at 20");
QZ_STATIC_ASSERT(offsetof(DriverBlackoutRequest, kind) == 22, "kind at 22");
QZ_STATIC_ASSERT(sizeof(DriverPortState) == 4, "state answer is 4 bytes");
QZ_STATIC_ASSERT(sizeof(DriverPortStatus) == 16, "long status is 16 bytes");
QZ_STATIC_ASSERT(offsetof(DriverPortStatus, comPort) == 8, "COM number at 8");
QZ_STATIC_ASSERT(offsetof(DriverPortStatus, value) == 12, "value at 12");
QZ_STATIC_ASSERT(sizeof(DriverHidFilterRequest) == ZKUPTP_HID_FILTER_SIZE, "HID filter request is 8 bytes");
QZ_STATIC_ASSERT(offsetof(DriverHidFilterRequest, values) == 4, "values at 4");

#endif /* QZ_BUS_DRIVER_CODES_H */
