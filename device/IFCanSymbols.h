#pragma once

#include "DriverLibrary.h"
#include "InterfaceCAN.h"

#include <cstdint>

// The entry points of libIFCan.so, resolved by name at the first call.
class IFCanSymbols final
{
public:
    static IFCanSymbols &instance();

    // True when every entry point the program needs was found.
    bool bind();
    DriverLibrary &library() { return m_library; }

    using OpenFn = int32_t (*)(const char *);
    using HandleFn = uint32_t (*)(int32_t);
    using InfoFn = uint32_t (*)(int32_t, InterfaceCAN::CAN_PORT_INFORMATION *);
    using GetConfigFn = uint32_t (*)(int32_t, InterfaceCAN::CAN_CONFIG *);
    using SetConfigFn = uint32_t (*)(int32_t, const InterfaceCAN::CAN_CONFIG *);
    using ReceiveFn = uint32_t (*)(int32_t, InterfaceCAN::CAN_MESSAGE *, uint32_t);
    using SendFn = uint32_t (*)(int32_t, const InterfaceCAN::CAN_MESSAGE *, uint32_t);
    using SendAtFn = uint32_t (*)(int32_t, const InterfaceCAN::CAN_MESSAGE *, uint32_t, uint64_t);
    using StatusAtFn = uint32_t (*)(int32_t, uint32_t *, uint32_t *);
    using StatusFn = uint32_t (*)(int32_t, uint32_t *);
    using ProblemFn = uint32_t (*)(int32_t, char *, uint32_t);
    using PortDeviceFn = uint32_t (*)(const char *, char *, uint32_t);
    using IgnoredFn = uint32_t (*)(uint32_t, char *, uint32_t);

    OpenFn openPort = nullptr;
    HandleFn closePort = nullptr;
    InfoFn getPortInformation = nullptr;
    GetConfigFn getConfig = nullptr;
    SetConfigFn setConfig = nullptr;
    HandleFn activate = nullptr;
    HandleFn deactivate = nullptr;
    ReceiveFn receiveMessage = nullptr;
    SendFn sendMessage = nullptr;
    // Timed transmission, which a library built before it lacks: then the program sends
    // each message itself when it is due.
    SendAtFn sendMessageAt = nullptr;
    HandleFn flushMessageAt = nullptr;
    StatusAtFn getMessageAtStatus = nullptr;
    // What a library that knows the machine's interfaces tells about them: optional.
    StatusFn getStatus = nullptr;
    ProblemFn getProblem = nullptr;
    PortDeviceFn getPortDevice = nullptr;
    IgnoredFn getIgnoredEntry = nullptr;

    void unbindForTesting();

private:
    IFCanSymbols();
    void clear();

    DriverLibrary m_library;
};
