#pragma once

#include <QObject>
#include <QString>

class BusLink;

// One way of taking part in the bus. A mode starts once the bus is joined and ends by
// itself (finished) or when the run is ended from outside (stop).
class SimMode : public QObject
{
    Q_OBJECT

public:
    explicit SimMode(BusLink &bus, QObject *parent = nullptr) : QObject(parent), m_bus(bus) {}

    // Called before the bus is joined: whatever can fail without the bus (files) fails
    // here, so that a run that cannot work never announces readiness.
    virtual bool prepare(QString *error) { return true; }
    virtual bool start(QString *error) = 0;
    // Stops sending and writes out what is pending; called once, also after finished().
    virtual void stop() {}
    // One line for stdout at the end of the run.
    virtual QString summary() const = 0;
    // How long to stay on the bus after finishing, so frames sent last reach every node.
    virtual int defaultLingerMs() const { return 300; }

signals:
    void finished();

protected:
    BusLink &m_bus;
};
