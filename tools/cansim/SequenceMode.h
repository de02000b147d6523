#pragma once

#include "SimMode.h"

#include <QCanBusFrame>
#include <QTimer>

#include <vector>

// Sends the frames of a text file with the delays the file gives, each measured from the
// previous frame and anchored to the start, so delays never add up to a drift.
class SequenceMode final : public SimMode
{
    Q_OBJECT

public:
    SequenceMode(BusLink &bus, QString framesFile, QObject *parent = nullptr);

    // Reads the file; false with a message naming the line when it is not valid.
    bool prepare(QString *error) override;
    bool start(QString *error) override;
    void stop() override;
    QString summary() const override;

private:
    struct Step
    {
        double atMs; // from the start of the mode
        QCanBusFrame frame;
    };

    void sendDue();
    void scheduleNext();

    QString m_path;
    std::vector<Step> m_steps;
    size_t m_next = 0;
    double m_startMs = 0;
    QTimer m_timer;
};
