#pragma once

#include "EngineRun.h"
#include "FolderFileList.h"
#include "RecordFiles.h"

#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <vector>

namespace playtest {

// The preload timer as the main window runs it: with skip-time or exclusion on it loads
// through the variant engine.
inline void preloadAsTheWindowDoes(EngineRun &run)
{
    QObject::disconnect(&run.host.fileRecPlay, &QTimer::timeout, nullptr, nullptr);
    QObject::connect(&run.host.fileRecPlay, &QTimer::timeout, &run.host, [&run] {
        run.host.fileRecPlay.stop();
        if (run.play.PlayMode != 1 || run.play.t_RecPlay_FileType != 2)
            return;
        ++run.host.preloads;
        if (run.params.t_SkipTimeON == 1 || IsPlayExclusionEnabled(run.params) == 1)
            run.play.FolderPlayMode_PreLoadFile_Mulit(run.host, run.params);
        else
            run.play.FolderPlayMode_PreLoadFile(run.host, run.params);
    });
}

inline void excludeRange(ELM327_Info &params, int k, int32_t start, int32_t end)
{
    params.t_DisableID_Play_MAX = 7;
    params.t_DisableID_Play_ON(int16_t(k), 1);
    params.t_DisableID_Play_Start(int16_t(k), start);
    params.t_DisableID_Play_End(int16_t(k), end);
}

// When the engine sent the first frame of an identifier, on the run's own time line (ms
// after the first frame was due). The table holds whole milliseconds, so the start is taken
// whole too: a frame sent d ms after it never reads as less than floor(d).
inline double sentAt(EngineRun &run, int16_t id)
{
    return run.rx.CAN11_ReceivedTime(id).toDouble() - std::floor(run.play.vx_start_time);
}

// Record files in a folder whose listing order is known: names are made first, then the
// contents are written in the order the folder lists them. content(i) gives the frames of
// the i-th listed file.
inline std::vector<QString> writeListedFolder(const QString &folder, int count,
                                              const std::function<std::vector<RecordFrame>(int)> &content)
{
    for (int i = 0; i < count; ++i)
        if (!writeRecord(QStringLiteral("%1/F%2.dat").arg(folder).arg(i, 3, 10, QLatin1Char('0')), {}))
            return {};
    ELM327_Info params;
    const std::vector<QString> listed = folderRecordFiles(folder, params, nullptr);
    for (size_t i = 0; i < listed.size(); ++i)
        if (!writeRecord(folder + QLatin1Char('/') + listed[i], content(int(i)),
                         QStringLiteral("コメント%1").arg(i)))
            return {};
    return listed;
}

} // namespace playtest
