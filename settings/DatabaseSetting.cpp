#include "DatabaseSetting.h"

#include "SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString kKey = QStringLiteral("database/file");
}

namespace databasesetting {

QString filePath()
{
    return QFileInfo(settingsFilePath()).dir().filePath(QStringLiteral("candb.ini"));
}

QString load()
{
    const QSettings file(filePath(), QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        return {};
    return file.value(kKey).toString();
}

bool save(const QString &databasePath)
{
    QDir().mkpath(QFileInfo(filePath()).path());
    QSettings file(filePath(), QSettings::IniFormat);
    if (databasePath.isEmpty())
        file.remove(kKey);
    else
        file.setValue(kKey, QFileInfo(databasePath).absoluteFilePath());
    file.sync();
    return file.status() == QSettings::NoError;
}

} // namespace databasesetting
