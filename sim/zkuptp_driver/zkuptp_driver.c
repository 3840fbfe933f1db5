/* The simulated virtual USB bus driver: a WDM driver that the tests load into the Wine prefix
 * as a kernel-driver service. It answers every control code of the library the way the real
 * driver does, from ports kept in memory; the bridge attaches and detaches those ports (as a
 * device server would) through the private code of zkuptp_sim.h, and the tests use the same
 * code to reach the failure paths and to read back the exact bytes the library sent.
 *
 * Built as C: the driver kit headers do not compile as C++. */
#include <ntddk.h>

#include "zkuptp_sim.h"

typedef struct SimPort {
    BOOLEAN used;
    BOOLEAN attached;
    BOOLEAN lost;
    BOOLEAN held;
    DriverPortRequest name;
    USHORT state;
    USHORT heldState;
    UCHAR comPort;
    ULONG value;
    USHORT blackout;
    ULONG sizingCount;  /* ZKUPTP_SIM_NO_OVERRIDE = the true count */
    ULONG readingCount;
    WCHAR deviceId[ZKUPTP_MAX_DEVICE_ID + 1];
} SimPort;

typedef struct SimFault {
    ULONG code;
    ULONG count;
} SimFault;

typedef struct SimLogSlot {
    SimLogEntry head;
    UCHAR input[ZKUPTP_SIM_LOG_INPUT];
} SimLogSlot;

/* The extension of every device: one simulated bus. */
typedef struct SimBus {
    ULONG tag; /* 0 = the main device */
    WCHAR linkName[48];
    SimPort ports[ZKUPTP_SIM_MAX_PORTS];
    ULONG ownershipInterface;
    ULONG ownershipReleaseTime;
    USHORT hidMode;
    USHORT hidValues[2];
    ULONG hidCalls;
    SimFault faults[ZKUPTP_SIM_MAX_FAULTS];
    ULONG nextSequence;
    SimLogSlot log[ZKUPTP_SIM_LOG_ENTRIES];
} SimBus;

/* Guards every bus and g_buses: IRPs may be dispatched on more than one thread. */
static KMUTEX g_lock;
static PDRIVER_OBJECT g_driver;
static PDEVICE_OBJECT g_buses[ZKUPTP_SIM_MAX_BUSES]; /* [0] = main device */

static void Lock(void) { KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, NULL); }
static void Unlock(void) { KeReleaseMutex(&g_lock, FALSE); }

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* --- Ports --- */

static BOOLEAN SameName(const DriverPortRequest* a, const DriverPortRequest* b) {
    size_t i;
    if (a->address != b->address) return FALSE;
    for (i = 0; i < ZKUPTP_LOCATION_SIZE; ++i) {
        if (a->location[i] != b->location[i]) return FALSE;
        if (a->location[i] == '\0') return TRUE;
    }
    return TRUE;
}

static void CopyName(DriverPortRequest* target, const DriverPortRequest* source) {
    size_t i;
    BOOLEAN ended = FALSE;
    target->address = source->address;
    for (i = 0; i < ZKUPTP_LOCATION_SIZE; ++i) {
        if (source->location[i] == '\0') ended = TRUE;
        target->location[i] = ended ? '\0' : source->location[i];
    }
}

static SimPort* FindPort(SimBus* bus, const DriverPortRequest* name) {
    ULONG i;
    for (i = 0; i < ZKUPTP_SIM_MAX_PORTS; ++i)
        if (bus->ports[i].used && SameName(&bus->ports[i].name, name)) return &bus->ports[i];
    return NULL;
}

static SimPort* FindOrAddPort(SimBus* bus, const DriverPortRequest* name) {
    ULONG i;
    SimPort* port = FindPort(bus, name);
    if (port) return port;
    for (i = 0; i < ZKUPTP_SIM_MAX_PORTS; ++i) {
        port = &bus->ports[i];
        if (port->used) continue;
        RtlZeroMemory(port, sizeof *port);
        port->used = TRUE;
        CopyName(&port->name, name);
        port->sizingCount = ZKUPTP_SIM_NO_OVERRIDE;
        port->readingCount = ZKUPTP_SIM_NO_OVERRIDE;
        return port;
    }
    return NULL;
}

static USHORT ReportedState(const SimPort* port) { return port->held ? port->heldState : port->state; }

static BOOLEAN AnyAttached(const SimBus* bus) {
    ULONG i;
    for (i = 0; i < ZKUPTP_SIM_MAX_PORTS; ++i) {
        const SimPort* port = &bus->ports[i];
        if (port->used && !port->lost && ReportedState(port) != ZKUPTP_STATE_FREE) return TRUE;
    }
    return FALSE;
}

static ULONG IdLength(const WCHAR* text) {
    ULONG n = 0;
    while (n < ZKUPTP_MAX_DEVICE_ID && text[n]) ++n;
    return n;
}

static BOOLEAN SameIdIgnoringCase(const WCHAR* a, const WCHAR* b, ULONG bChars) {
    ULONG i;
    for (i = 0; i < bChars; ++i) {
        WCHAR x = a[i], y = b[i];
        if (x >= L'a' && x <= L'z') x = (WCHAR)(x - 32);
        if (y >= L'a' && y <= L'z') y = (WCHAR)(y - 32);
        if (x != y) return FALSE;
        if (x == 0) return TRUE;
    }
    return a[bChars] == 0;
}

/* --- Call log and faults --- */

static void LogCall(SimBus* bus, ULONG code, const void* input, ULONG inputLength, ULONG outputLength) {
    SimLogSlot* slot = &bus->log[bus->nextSequence % ZKUPTP_SIM_LOG_ENTRIES];
    ULONG stored = inputLength < ZKUPTP_SIM_LOG_INPUT ? inputLength : ZKUPTP_SIM_LOG_INPUT;
    if (!input) stored = 0;
    slot->head.sequence = bus->nextSequence++;
    slot->head.code = code;
    slot->head.inputLength = inputLength;
    slot->head.outputLength = outputLength;
    slot->head.storedLength = stored;
    if (stored) RtlCopyMemory(slot->input, input, stored);
}

/* True when this call is one of those told to fail. */
static BOOLEAN TakeFault(SimBus* bus, ULONG code) {
    ULONG i;
    for (i = 0; i < ZKUPTP_SIM_MAX_FAULTS; ++i) {
        SimFault* fault = &bus->faults[i];
        if (fault->count && fault->code == code) {
            --fault->count;
            return TRUE;
        }
    }
    return FALSE;
}

static NTSTATUS SetFault(SimBus* bus, ULONG code, ULONG count) {
    ULONG i;
    SimFault* free = NULL;
    for (i = 0; i < ZKUPTP_SIM_MAX_FAULTS; ++i) {
        SimFault* fault = &bus->faults[i];
        if (fault->count && fault->code == code) {
            fault->count = count;
            return STATUS_SUCCESS;
        }
        if (!fault->count && !free) free = fault;
    }
    if (!count) return STATUS_SUCCESS;
    if (!free) return STATUS_INSUFFICIENT_RESOURCES;
    free->code = code;
    free->count = count;
    return STATUS_SUCCESS;
}

static ULONG_PTR ReadLog(SimBus* bus, ULONG first, UCHAR* out, ULONG outLength) {
    SimLogHeader header;
    ULONG used = sizeof header;
    ULONG oldest = bus->nextSequence > ZKUPTP_SIM_LOG_ENTRIES ? bus->nextSequence - ZKUPTP_SIM_LOG_ENTRIES : 0;
    ULONG sequence = first > oldest ? first : oldest;
    header.nextSequence = bus->nextSequence;
    header.count = 0;
    for (; sequence < bus->nextSequence; ++sequence) {
        const SimLogSlot* slot = &bus->log[sequence % ZKUPTP_SIM_LOG_ENTRIES];
        ULONG size = sizeof slot->head + slot->head.storedLength;
        if (outLength - used < size) break;
        RtlCopyMemory(out + used, &slot->head, sizeof slot->head);
        RtlCopyMemory(out + used + sizeof slot->head, slot->input, slot->head.storedLength);
        used += size;
        ++header.count;
    }
    RtlCopyMemory(out, &header, sizeof header);
    return used;
}

/* --- The library's control codes --- */

typedef struct Call {
    SimBus* bus;
    UCHAR* buffer; /* the system buffer: input on the way in, output on the way out */
    ULONG inLength;
    ULONG outLength;
    ULONG_PTR information;
} Call;

static NTSTATUS PutState(Call* call, USHORT value) {
    DriverPortState answer;
    if (call->outLength < sizeof answer) return STATUS_BUFFER_TOO_SMALL;
    answer.value = value;
    answer.reserved = 0;
    RtlCopyMemory(call->buffer, &answer, sizeof answer);
    call->information = sizeof answer;
    return STATUS_SUCCESS;
}

/* The port a request names; a port the driver lost answers nothing. */
static NTSTATUS RequestedPort(Call* call, DriverPortRequest* name, SimPort** port) {
    if (call->inLength < sizeof *name) return STATUS_INVALID_PARAMETER;
    RtlCopyMemory(name, call->buffer, sizeof *name);
    *port = FindPort(call->bus, name);
    if (*port && (*port)->lost) return STATUS_NO_SUCH_DEVICE;
    return STATUS_SUCCESS;
}

static NTSTATUS OnPortState(Call* call) {
    DriverPortRequest name;
    SimPort* port;
    NTSTATUS status = RequestedPort(call, &name, &port);
    if (!NT_SUCCESS(status)) return status;
    return PutState(call, port ? ReportedState(port) : ZKUPTP_STATE_FREE);
}

static NTSTATUS OnPortStatus(Call* call) {
    DriverPortRequest name;
    DriverPortStatus answer;
    SimPort* port;
    NTSTATUS status = RequestedPort(call, &name, &port);
    if (!NT_SUCCESS(status)) return status;
    if (call->outLength < sizeof answer) return PutState(call, port ? ReportedState(port) : ZKUPTP_STATE_FREE);
    RtlZeroMemory(&answer, sizeof answer);
    if (port) {
        answer.state = ReportedState(port);
        answer.comPort = port->comPort;
        answer.value = port->value;
    }
    RtlCopyMemory(call->buffer, &answer, sizeof answer);
    call->information = sizeof answer;
    return STATUS_SUCCESS;
}

static NTSTATUS OnForceRelease(Call* call) {
    DriverPortRequest name;
    SimPort* port;
    NTSTATUS status = RequestedPort(call, &name, &port);
    if (!NT_SUCCESS(status)) return status;
    if (port) port->state = ZKUPTP_STATE_FREE;
    return PutState(call, 0);
}

/* Sizing call (no room): the information is the id's length in characters. Reading call: the
 * id with its terminator, as much as fits. */
static NTSTATUS OnPortDeviceId(Call* call) {
    DriverPortRequest name;
    SimPort* port;
    ULONG chars, bytes;
    NTSTATUS status = RequestedPort(call, &name, &port);
    if (!NT_SUCCESS(status)) return status;
    if (!port || !port->attached) return STATUS_NO_SUCH_DEVICE;
    chars = IdLength(port->deviceId);
    if (call->outLength == 0) {
        call->information = port->sizingCount != ZKUPTP_SIM_NO_OVERRIDE ? port->sizingCount : chars;
        return STATUS_SUCCESS;
    }
    bytes = (chars + 1) * sizeof(WCHAR);
    if (bytes > call->outLength) bytes = call->outLength;
    RtlCopyMemory(call->buffer, port->deviceId, bytes);
    call->information = port->readingCount != ZKUPTP_SIM_NO_OVERRIDE ? port->readingCount : bytes;
    return STATUS_SUCCESS;
}

static NTSTATUS OnLookupDeviceId(Call* call) {
    ULONG i, chars = call->inLength / sizeof(WCHAR);
    const WCHAR* id = (const WCHAR*)call->buffer;
    if (chars == 0 || chars > ZKUPTP_MAX_DEVICE_ID + 1 || id[chars - 1] != 0) return STATUS_INVALID_PARAMETER;
    if (call->outLength < sizeof(DriverPortRequest)) return STATUS_BUFFER_TOO_SMALL;
    for (i = 0; i < ZKUPTP_SIM_MAX_PORTS; ++i) {
        SimPort* port = &call->bus->ports[i];
        if (!port->used || !port->attached || port->lost) continue;
        if (!SameIdIgnoringCase(port->deviceId, id, chars)) continue;
        RtlCopyMemory(call->buffer, &port->name, sizeof port->name);
        call->information = sizeof port->name;
        return STATUS_SUCCESS;
    }
    return STATUS_NOT_FOUND;
}

static NTSTATUS OnSetComPort(Call* call) {
    DriverComPortRequest request;
    SimPort* port;
    if (call->inLength < sizeof request) return STATUS_INVALID_PARAMETER;
    RtlCopyMemory(&request, call->buffer, sizeof request);
    /* Set before the connect: the port may not exist yet. */
    port = FindOrAddPort(call->bus, &request.port);
    if (!port) return STATUS_INSUFFICIENT_RESOURCES;
    port->comPort = request.comPort;
    return PutState(call, 0);
}

static NTSTATUS OnBlackout(Call* call) {
    DriverBlackoutRequest request;
    SimPort* port;
    if (call->inLength < sizeof request) return STATUS_INVALID_PARAMETER;
    RtlCopyMemory(&request, call->buffer, sizeof request);
    if (request.kind != ZKUPTP_BLACKOUT_KIND) return STATUS_INVALID_PARAMETER;
    port = FindPort(call->bus, &request.port);
    if (port && port->lost) return STATUS_NO_SUCH_DEVICE;
    return PutState(call, port ? port->blackout : 0);
}

static NTSTATUS SetU32(Call* call, ULONG* target) {
    if (call->inLength < sizeof(ULONG)) return STATUS_INVALID_PARAMETER;
    RtlCopyMemory(target, call->buffer, sizeof(ULONG));
    return STATUS_SUCCESS;
}

static NTSTATUS GetU32(Call* call, const ULONG* source) {
    if (call->outLength < sizeof(ULONG)) return STATUS_BUFFER_TOO_SMALL;
    RtlCopyMemory(call->buffer, source, sizeof(ULONG));
    call->information = sizeof(ULONG);
    return STATUS_SUCCESS;
}

static NTSTATUS OnHidFilter(Call* call) {
    DriverHidFilterRequest request;
    if (call->inLength < sizeof request) return STATUS_INVALID_PARAMETER;
    RtlCopyMemory(&request, call->buffer, sizeof request);
    if (request.size != ZKUPTP_HID_FILTER_SIZE) return STATUS_INVALID_PARAMETER;
    call->bus->hidMode = request.mode;
    call->bus->hidValues[0] = request.values[0];
    call->bus->hidValues[1] = request.values[1];
    ++call->bus->hidCalls;
    return STATUS_SUCCESS;
}

static NTSTATUS LibraryCall(Call* call, ULONG code) {
    SimBus* bus = call->bus;
    switch (code) {
    case ZKUPTP_IOCTL_WAIT_STATE: return OnPortState(call);
    case ZKUPTP_IOCTL_LOOKUP_DEVICE_ID: return OnLookupDeviceId(call);
    case ZKUPTP_IOCTL_FORCE_RELEASE: return OnForceRelease(call);
    case ZKUPTP_IOCTL_PORT_STATUS: return OnPortStatus(call);
    case ZKUPTP_IOCTL_PORT_DEVICE_ID: return OnPortDeviceId(call);
    case ZKUPTP_IOCTL_PORT_BLACKOUT: return OnBlackout(call);
    case ZKUPTP_IOCTL_SET_COM_PORT: return OnSetComPort(call);
    case ZKUPTP_IOCTL_SET_OWNERSHIP_IF: return SetU32(call, &bus->ownershipInterface);
    case ZKUPTP_IOCTL_GET_OWNERSHIP_IF: return GetU32(call, &bus->ownershipInterface);
    case ZKUPTP_IOCTL_SET_OWNERSHIP_RELEASE: return SetU32(call, &bus->ownershipReleaseTime);
    case ZKUPTP_IOCTL_GET_OWNERSHIP_RELEASE: return GetU32(call, &bus->ownershipReleaseTime);
    case ZKUPTP_IOCTL_SET_HID_FILTER: return OnHidFilter(call);
    default: return STATUS_INVALID_DEVICE_REQUEST;
    }
}

/* --- Buses --- */

static ULONG AppendText(WCHAR* target, ULONG at, ULONG capacity, const WCHAR* text) {
    while (*text && at + 1 < capacity) target[at++] = *text++;
    target[at] = 0;
    return at;
}

static ULONG AppendDecimal(WCHAR* target, ULONG at, ULONG capacity, ULONG value) {
    WCHAR digits[12];
    ULONG n = 0;
    do {
        digits[n++] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    } while (value);
    while (n && at + 1 < capacity) target[at++] = digits[--n];
    target[at] = 0;
    return at;
}

/* "\Device\zkuptp" or "\Device\zkuptp_<tag>", and the same below "\DosDevices". */
static void BusNames(ULONG tag, WCHAR* device, WCHAR* link, ULONG capacity) {
    ULONG d = AppendText(device, 0, capacity, L"\\Device\\" ZKUPTP_SIM_MAIN_NAME);
    ULONG l = AppendText(link, 0, capacity, L"\\DosDevices\\" ZKUPTP_SIM_MAIN_NAME);
    if (!tag) return;
    d = AppendText(device, d, capacity, L"_");
    l = AppendText(link, l, capacity, L"_");
    AppendDecimal(device, d, capacity, tag);
    AppendDecimal(link, l, capacity, tag);
}

static void ResetBus(SimBus* bus) {
    ULONG tag = bus->tag;
    WCHAR link[48];
    RtlCopyMemory(link, bus->linkName, sizeof link);
    RtlZeroMemory(bus, sizeof *bus);
    bus->tag = tag;
    RtlCopyMemory(bus->linkName, link, sizeof link);
}

static NTSTATUS CreateBus(ULONG tag, ULONG slot) {
    WCHAR deviceName[48], linkName[48];
    UNICODE_STRING device, link;
    PDEVICE_OBJECT object;
    SimBus* bus;
    NTSTATUS status;
    BusNames(tag, deviceName, linkName, 48);
    RtlInitUnicodeString(&device, deviceName);
    RtlInitUnicodeString(&link, linkName);
    status = IoCreateDevice(g_driver, sizeof(SimBus), &device, FILE_DEVICE_UNKNOWN, 0, FALSE, &object);
    if (!NT_SUCCESS(status)) return status;
    bus = (SimBus*)object->DeviceExtension;
    RtlZeroMemory(bus, sizeof *bus);
    bus->tag = tag;
    RtlCopyMemory(bus->linkName, linkName, sizeof linkName);
    status = IoCreateSymbolicLink(&link, &device);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(object);
        return status;
    }
    object->Flags |= DO_BUFFERED_IO;
    object->Flags &= ~DO_DEVICE_INITIALIZING;
    g_buses[slot] = object;
    return STATUS_SUCCESS;
}

static void DeleteBus(ULONG slot) {
    UNICODE_STRING link;
    SimBus* bus = (SimBus*)g_buses[slot]->DeviceExtension;
    RtlInitUnicodeString(&link, bus->linkName);
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(g_buses[slot]);
    g_buses[slot] = NULL;
}

static LONG FindBus(ULONG tag) {
    ULONG i;
    for (i = 1; i < ZKUPTP_SIM_MAX_BUSES; ++i)
        if (g_buses[i] && ((SimBus*)g_buses[i]->DeviceExtension)->tag == tag) return (LONG)i;
    return -1;
}

static NTSTATUS OpenBus(ULONG tag) {
    ULONG i;
    LONG found = FindBus(tag);
    if (!tag) return STATUS_INVALID_PARAMETER;
    if (found >= 0) {
        /* A tag used again (a test program with a recycled id): start it afresh. */
        ResetBus((SimBus*)g_buses[found]->DeviceExtension);
        return STATUS_SUCCESS;
    }
    for (i = 1; i < ZKUPTP_SIM_MAX_BUSES; ++i)
        if (!g_buses[i]) return CreateBus(tag, i);
    return STATUS_INSUFFICIENT_RESOURCES;
}

/* --- The private code --- */

static NTSTATUS PortCommand(Call* call, const SimCommand* command) {
    SimPort* port = command->command == SIM_CMD_DETACH || command->command == SIM_CMD_LOSE
                        ? FindPort(call->bus, &command->port)
                        : FindOrAddPort(call->bus, &command->port);
    if (!port) return command->command == SIM_CMD_DETACH ? STATUS_SUCCESS : STATUS_NOT_FOUND;
    switch (command->command) {
    case SIM_CMD_ATTACH:
        port->attached = TRUE;
        port->lost = FALSE;
        port->state = command->value ? (USHORT)command->value : ZKUPTP_STATE_ATTACHED;
        RtlCopyMemory(port->deviceId, command->text, sizeof port->deviceId);
        port->deviceId[ZKUPTP_MAX_DEVICE_ID] = 0;
        break;
    case SIM_CMD_DETACH:
        /* A held port keeps answering its state; it goes once released. */
        if (port->held) {
            port->attached = FALSE;
            port->state = ZKUPTP_STATE_FREE;
        } else {
            port->used = FALSE;
        }
        break;
    case SIM_CMD_SET_STATE: port->state = (USHORT)command->value; break;
    case SIM_CMD_HOLD:
        port->held = command->value2 != 0;
        port->heldState = (USHORT)command->value;
        break;
    case SIM_CMD_LOSE: port->lost = TRUE; break;
    case SIM_CMD_SET_PORT_INFO:
        port->comPort = (UCHAR)command->value;
        port->value = command->value2;
        break;
    case SIM_CMD_SET_BLACKOUT: port->blackout = (USHORT)command->value; break;
    case SIM_CMD_SET_ID_COUNTS:
        port->sizingCount = command->value;
        port->readingCount = command->value2;
        break;
    }
    return STATUS_SUCCESS;
}

static NTSTATUS GetValues(Call* call) {
    SimValues values;
    ULONG i;
    if (call->outLength < sizeof values) return STATUS_BUFFER_TOO_SMALL;
    RtlZeroMemory(&values, sizeof values);
    values.ownershipInterface = call->bus->ownershipInterface;
    values.ownershipReleaseTime = call->bus->ownershipReleaseTime;
    values.hidMode = call->bus->hidMode;
    values.hidValues[0] = call->bus->hidValues[0];
    values.hidValues[1] = call->bus->hidValues[1];
    values.hidCalls = call->bus->hidCalls;
    for (i = 0; i < ZKUPTP_SIM_MAX_PORTS; ++i)
        if (call->bus->ports[i].used) ++values.portCount;
    RtlCopyMemory(call->buffer, &values, sizeof values);
    call->information = sizeof values;
    return STATUS_SUCCESS;
}

static NTSTATUS ListPorts(Call* call) {
    ULONG i, count = 0, used = sizeof(ULONG);
    if (call->outLength < sizeof(ULONG)) return STATUS_BUFFER_TOO_SMALL;
    for (i = 0; i < ZKUPTP_SIM_MAX_PORTS; ++i) {
        const SimPort* port = &call->bus->ports[i];
        SimPortInfo info;
        if (!port->used) continue;
        if (call->outLength - used < sizeof info) break;
        RtlZeroMemory(&info, sizeof info);
        info.port = port->name;
        info.state = ReportedState(port);
        info.attached = port->attached;
        info.lost = port->lost;
        info.held = port->held;
        info.comPort = port->comPort;
        info.blackout = port->blackout;
        info.value = port->value;
        RtlCopyMemory(info.deviceId, port->deviceId, sizeof info.deviceId);
        RtlCopyMemory(call->buffer + used, &info, sizeof info);
        used += sizeof info;
        ++count;
    }
    RtlCopyMemory(call->buffer, &count, sizeof count);
    call->information = used;
    return STATUS_SUCCESS;
}

static NTSTATUS PrivateCall(Call* call, BOOLEAN onMain) {
    SimCommand command;
    ULONG taken = call->inLength < sizeof command ? call->inLength : sizeof command;
    if (taken < offsetof(SimCommand, text)) return STATUS_INVALID_PARAMETER;
    RtlZeroMemory(&command, sizeof command);
    RtlCopyMemory(&command, call->buffer, taken);
    command.text[ZKUPTP_MAX_DEVICE_ID] = 0;
    switch (command.command) {
    case SIM_CMD_ATTACH:
    case SIM_CMD_DETACH:
    case SIM_CMD_SET_STATE:
    case SIM_CMD_HOLD:
    case SIM_CMD_LOSE:
    case SIM_CMD_SET_PORT_INFO:
    case SIM_CMD_SET_BLACKOUT:
    case SIM_CMD_SET_ID_COUNTS: return PortCommand(call, &command);
    case SIM_CMD_FAIL: return SetFault(call->bus, command.value, command.value2);
    case SIM_CMD_READ_LOG:
        if (call->outLength < sizeof(SimLogHeader)) return STATUS_BUFFER_TOO_SMALL;
        call->information = ReadLog(call->bus, command.value, call->buffer, call->outLength);
        return STATUS_SUCCESS;
    case SIM_CMD_CLEAR_LOG:
        /* Sequence numbers go on, so that a reader that kept one is not confused. */
        {
            ULONG next = call->bus->nextSequence;
            RtlZeroMemory(call->bus->log, sizeof call->bus->log);
            call->bus->nextSequence = next;
        }
        return STATUS_SUCCESS;
    case SIM_CMD_RESET: ResetBus(call->bus); return STATUS_SUCCESS;
    case SIM_CMD_GET_VALUES: return GetValues(call);
    case SIM_CMD_LIST_PORTS: return ListPorts(call);
    case SIM_CMD_OPEN_BUS: return onMain ? OpenBus(command.value) : STATUS_INVALID_DEVICE_REQUEST;
    case SIM_CMD_CLOSE_BUS: {
        LONG slot = FindBus(command.value);
        if (!onMain || slot < 0) return STATUS_NOT_FOUND;
        DeleteBus((ULONG)slot);
        return STATUS_SUCCESS;
    }
    default: return STATUS_INVALID_PARAMETER;
    }
}

/* --- Dispatch --- */

static NTSTATUS DispatchCreateClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DispatchRead(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    SimBus* bus = (SimBus*)device->DeviceExtension;
    ULONG length = stack->Parameters.Read.Length;
    UCHAR* out = (UCHAR*)irp->AssociatedIrp.SystemBuffer;
    NTSTATUS status = STATUS_SUCCESS;
    ULONG_PTR information = 0;
    Lock();
    LogCall(bus, ZKUPTP_SIM_READ_CODE, NULL, 0, length);
    if (TakeFault(bus, ZKUPTP_SIM_READ_CODE)) {
        status = STATUS_UNSUCCESSFUL;
    } else if (length >= 1 && out) {
        out[0] = AnyAttached(bus) ? 1 : 0;
        information = 1;
    }
    Unlock();
    return Complete(irp, status, information);
}

static NTSTATUS DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    Call call;
    NTSTATUS status;
    call.bus = (SimBus*)device->DeviceExtension;
    call.buffer = (UCHAR*)irp->AssociatedIrp.SystemBuffer;
    call.inLength = call.buffer ? stack->Parameters.DeviceIoControl.InputBufferLength : 0;
    call.outLength = call.buffer ? stack->Parameters.DeviceIoControl.OutputBufferLength : 0;
    call.information = 0;
    Lock();
    if (code == ZKUPTP_SIM_IOCTL) {
        status = PrivateCall(&call, device == g_buses[0]);
    } else {
        LogCall(call.bus, code, call.buffer, call.inLength, stack->Parameters.DeviceIoControl.OutputBufferLength);
        status = TakeFault(call.bus, code) ? STATUS_UNSUCCESSFUL : LibraryCall(&call, code);
    }
    Unlock();
    return Complete(irp, status, NT_SUCCESS(status) ? call.information : 0);
}

static VOID DriverUnload(PDRIVER_OBJECT driver) {
    ULONG i;
    (void)driver;
    Lock();
    for (i = 0; i < ZKUPTP_SIM_MAX_BUSES; ++i)
        if (g_buses[i]) DeleteBus(i);
    Unlock();
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    NTSTATUS status;
    (void)registryPath;
    KeInitializeMutex(&g_lock, 0);
    g_driver = driver;
    status = CreateBus(0, 0);
    if (!NT_SUCCESS(status)) return status;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_READ] = DispatchRead;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = DriverUnload;
    return STATUS_SUCCESS;
}
