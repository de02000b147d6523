#pragma once

#include "PlaySender.h"
#include "PlaySource.h"

#include <cstdint>
#include <optional>

class CAN_DB;
class CAN_DB_Interface;
class CAN_PlayDB;
class CAN_ReadDB;
class CANUSB;
class ELM327_Info;
class InterfaceCAN;
class PlayDevice;
class RunHost;

// Which engine plays a target: the plain one, the one with exclusion and skip-time, or
// the memory one (folders only). None for a device kind the program does not know. The
// one choice the window, its preload timer and the command line all follow.
enum class PlayEngine { None, Plain, Kept, Memory };
PlayEngine playEngineFor(const ELM327_Info &params, int32_t targetKind);

// A whole run of `source` through the CANUSB adapter, or the Interface CAN board, that the
// settings choose. Returns what skips of long gaps had added to the cycle's playing time
// when the run ended.
double playThroughCanusb(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, CANUSB &CAN_u,
                         CAN_DB &CAN_d, CAN_PlayDB &play, FrameSource &source);
double playThroughInterface(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                            InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d, CAN_PlayDB &play,
                            FrameSource &source);

// One playback run: the device opened, the source loaded, the bus checked, then one loop
// that takes the source's next frame as a value, waits until the pacer says it is due,
// sends it or hands it to the driver, enters it into the per-ID table once it has left,
// and asks the source what follows the end of its data. A device that drops out ends the
// run in one place, with its message.
class PlayRun final
{
public:
    PlayRun(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device,
            CAN_PlayDB &play, FrameSource &source);
    ~PlayRun();
    PlayRun(const PlayRun &) = delete;
    PlayRun &operator=(const PlayRun &) = delete;

    // The whole run; returns when it has ended, with RxFlag 0.
    void run();

    // The Pause and Resume buttons, while they are handled: nothing leaves after a Pause.
    void pauseClicked();
    void resumeClicked();
    bool sendsTimed() const { return m_sender.timed(); }
    // What skips of long gaps have added to the playing time of the cycle.
    double skipOffset() const;

private:
    bool beginSending();
    void loop();
    // Sends (or hands over) one due frame. False when the same frame is to be tried again
    // or the run is ending.
    bool send(const PlayFrame &frame);
    // A pass with nothing to send: clock, pause, the window system, what has left, a rest.
    void waitingPass(const RecordFrame *next);
    // Waits until every frame handed over has left. False when a pause took them back, or
    // the run is ending.
    bool settle();
    void takeBack();
    void frameLeft(const PlayMessage &message, double atMs);
    void showPosition();
    void deviceLost();
    void end();

    RunHost &m_host;
    ELM327_Info &m_params;
    CAN_ReadDB &m_rx;
    PlayDevice &m_device;
    CAN_PlayDB &m_play;
    FrameSource &m_source;
    PlaySender m_sender;
    PlayContext m_ctx;
    std::optional<int32_t> m_rewindTo;
    double m_lastDueMs = 0;
    bool m_sending = false;
    bool m_periodHeld = false;
};
