#include "SettingsFile.h"

#include "Paths.h"
#include "SettingsRecord.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

// The record holds at most a dozen strings of 64 KiB; nothing beyond this is read.
constexpr qint64 kMaxRecordBytes = 4 * 1024 * 1024;

QString settingsFolder()
{
    return paths::join(paths::join(paths::settingsBaseFolder(), QStringLiteral("pelmora")),
                       QStringLiteral("CanKestrova"));
}

void forceRemove(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    QFile::remove(path);
}

} // namespace

QString settingsFilePath()
{
    return paths::join(settingsFolder(), QStringLiteral("config.dat"));
}

int32_t LoadSettingsFile(ELM327_Info &params, PlayTarget &player)
{
    const QString path = settingsFilePath();
    if (!paths::isExistingFile(path))
        return -1;

    QByteArray data;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        data = file.read(kMaxRecordBytes);
    file.close();

    // Read into copies: a rejected file must leave every member untouched.
    ELM327_Info read = params;
    PlayTarget readTarget = player;
    // The three identification fields count only when they were really in the file.
    read.Application_title.clear();
    read.Copy_light.clear();
    read.install_version = 0;
    const bool complete = settingsrecord::parse(data, read, readTarget);

    if (read.Copy_light != params.Copy_light || read.Application_title != params.Application_title
        || read.install_version != params.install_version) {
        forceRemove(path);
        return -2;
    }
    params = read;
    player = readTarget;
    return complete ? 0 : -3;
}

int32_t SaveSettingsFile(const ELM327_Info &params, const PlayTarget &player)
{
    const QString folder = settingsFolder();
    if (!QDir().mkpath(folder))
        return -1;
    QSaveFile file(paths::join(folder, QStringLiteral("config.dat")));
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    const QByteArray record = settingsrecord::serialize(params, player);
    if (file.write(record) != record.size()) {
        file.cancelWriting();
        return -1;
    }
    return file.commit() ? 0 : -1;
}
