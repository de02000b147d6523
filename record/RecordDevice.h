#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class ELM327_Info;
class RunHost;

// One frame as the record loop takes it from a device: the identifier as the device gave
// it (the loop refuses 0x800 and above), the DLC as reported, the eight data bytes, and the
// device's own time stamp in whole milliseconds, still wrapped.
struct ReceivedFrame
{
    uint32_t id = 0;
    uint8_t dlc = 0;
    uint8_t data[8] = {};
    double deviceTimeMs = 0;
};

// What the record loop needs of one kind of device. The loop is the same for every vendor;
// only opening, polling, the time stamp's unit and wrap, and the order of closing differ.
class RecordDevice
{
public:
    virtual ~RecordDevice() = default;

    // The period after which the device's time stamp starts again at 0.
    virtual double wrapMs() const = 0;

    // Checks the bit rate, opens and starts the device. On failure the device has shown
    // its message box and the run goes straight to its end.
    virtual bool open(const ELM327_Info &params) = 0;

    // One frame, without waiting; false when nothing is waiting or the read failed.
    virtual bool poll(ReceivedFrame &frame) = 0;
    // The message once the device has dropped out (its bus went away): nothing more will
    // arrive and the run ends. Empty while the device works.
    virtual QString lostText() const { return QString(); }

    // True when the device is closed before the last record file is written.
    virtual bool closesBeforeLastFile() const = 0;

    // Ends the connection (also after a failed open when the vendor asks for it). What the
    // end of the run leaves in the status lines: an empty text clears the protocol box and
    // both status lines, a text goes to status line 0 alone, no value leaves them as they
    // are.
    virtual std::optional<QString> close() = 0;
};
