#include "MessagePump.h"

#include <QCoreApplication>

void pumpMessages()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}
