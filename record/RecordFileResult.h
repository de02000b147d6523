#pragma once

#include <QString>

#include <cstdint>

// Outcome of writing a record file or making a record folder. A failure is never
// silent: the caller gets the path it was about and the system's reason.
struct RecordFileResult
{
    int32_t code = 0;   // 0 done, -1 failed
    QString path;       // the file or folder made, or the last one tried
    QString error;      // empty on success

    bool ok() const { return code == 0; }

    static RecordFileResult success(const QString &path) { return {0, path, {}}; }
    static RecordFileResult failure(const QString &path, const QString &error)
    {
        return {-1, path, error};
    }
};
