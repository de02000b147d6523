#pragma once

class CAN_DB;
class CAN_DB_Interface;
class CAN_PlayDB;
class CAN_ReadDB;
class CANUSB;
class ELM327_Info;
class InterfaceCAN;
class RunHost;

// A playback engine that FilePlayMain hands a run to instead of its own loop: the
// skip-time and exclusion engine (CAN_PlayDB_Multi) and the memory engine
// (CAN_PlayDB_Multi_MM). Such an engine keeps no run state of its own: it reads and writes
// the calling CAN_PlayDB's run state, so the main window's status lines and timers work
// unchanged, and plays through the same run (PlayRun) over a frame source of its own.
class PlayVariant
{
public:
    virtual ~PlayVariant() = default;

    virtual void FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                 CANUSB &CAN_u, CAN_DB &CAN_d, CAN_PlayDB &caller) = 0;
    virtual void FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                       InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                                       CAN_PlayDB &caller) = 0;
    // The preload of the next folder file into the engine's idle buffer, from the main
    // window's Timer_File_REC_Play. The memory engine loads everything up front and needs
    // none.
    virtual void FolderPlayMode_PreLoadFile(RunHost &host, ELM327_Info &params, CAN_PlayDB &caller)
    {
        (void)host;
        (void)params;
        (void)caller;
    }
};
