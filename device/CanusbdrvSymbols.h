#pragma once

#include "CANUSB.h"
#include "DriverLibrary.h"

#include <cstdint>

// The entry points of libcanusbdrv.so, resolved by name at the first call. Shared by the
// whole program, as the vendor DLL is in the process that loads it.
class CanusbdrvSymbols final
{
public:
    static CanusbdrvSymbols &instance();

    // True when every entry point the program calls was found.
    bool bind();
    DriverLibrary &library() { return m_library; }

    using AdapterFn = int (*)(char *, int);
    using OpenFn = int32_t (*)(const char *, const char *, uint32_t, uint32_t, uint32_t);
    using HandleFn = int (*)(int32_t);
    using MsgFn = int (*)(int32_t, CANUSB::CANMsg *);
    using ReadFirstFn = int (*)(int32_t, uint32_t, uint32_t, CANUSB::CANMsg *);
    using VersionFn = int (*)(int32_t, char *);
    using FlushFn = int (*)(int32_t, uint8_t);
    using WriteAtFn = int (*)(int32_t, CANUSB::CANMsg *, uint64_t);
    using WriteAtStatusFn = int (*)(int32_t, uint32_t *, uint32_t *);
    using ProblemFn = int (*)(int32_t, char *, int);
    using IgnoredFn = int (*)(int, char *, int);

    AdapterFn getFirstAdapter = nullptr;
    AdapterFn getNextAdapter = nullptr;
    OpenFn open = nullptr;
    HandleFn close = nullptr;
    MsgFn read = nullptr;
    MsgFn write = nullptr;
    VersionFn versionInfo = nullptr;
    // Part of the published interface but never called by the program: optional.
    ReadFirstFn readFirst = nullptr;
    HandleFn status = nullptr;
    FlushFn flush = nullptr;
    // Timed transmission, which a library built before it lacks: then the program sends
    // each frame itself when it is due.
    WriteAtFn writeAt = nullptr;
    WriteAtStatusFn writeAtStatus = nullptr;
    // What a library that knows the machine's interfaces tells about them: optional.
    ProblemFn getProblem = nullptr;
    IgnoredFn getIgnoredEntry = nullptr;

    // The next call binds again from the driver folder (tests move it around).
    void unbindForTesting();

private:
    CanusbdrvSymbols();
    void clear();

    DriverLibrary m_library;
};
