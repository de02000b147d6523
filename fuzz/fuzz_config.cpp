// config.dat: the settings record as the program reads it at start-up, and what it would
// write back at exit read once more.
#include "ELM327_Info.h"
#include "PlayTarget.h"
#include "SettingsRecord.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    ELM327_Info params;
    PlayTarget target;
    settingsrecord::parse(bytes, params, target);
    const QByteArray written = settingsrecord::serialize(params, target);
    ELM327_Info again;
    PlayTarget againTarget;
    if (!settingsrecord::parse(written, again, againTarget))
        std::abort();   // what was written must read back whole
    return 0;
}
