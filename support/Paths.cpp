#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString &programFolderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

namespace paths {

QString programFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    if (QCoreApplication::instance())
        return removeTrailingSeparator(QCoreApplication::applicationDirPath());
    return removeTrailingSeparator(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath());
}

void setProgramFolderForTesting(const QString &folder)
{
    programFolderOverride() = removeTrailingSeparator(folder);
}

bool isProgramFolderWritable()
{
    // An installed program's folder belongs to the system even where this user may write
    // to it (root, a home-made prefix); the install puts a mark there.
    const QString folder = programFolder();
    if (QFileInfo::exists(join(folder, QStringLiteral("cankestrova.installed"))))
        return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

QString fileFolder()
{
    // A program folder that is not there is left to the callers, which then write nothing.
    const QString folder = programFolder();
    if (!QFileInfo(folder).isDir() || isProgramFolderWritable())
        return folder;
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = join(QDir::homePath(), QStringLiteral(".local/share"));
    const QString data = join(removeTrailingSeparator(base), QStringLiteral("pelmora/CanKestrova"));
    QDir().mkpath(data);
    return data;
}

QString desktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return removeTrailingSeparator(desktop);
    return removeTrailingSeparator(QDir::homePath());
}

QString settingsBaseFolder()
{
    const QString programFiles = qEnvironmentVariable("ProgramFiles");
    if (!programFiles.isEmpty())
        return removeTrailingSeparator(programFiles);
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return removeTrailingSeparator(xdg);
    return join(QDir::homePath(), QStringLiteral(".config"));
}

QString driverFolder()
{
    const QString env = qEnvironmentVariable("CANKESTROVA_DRIVER_DIR");
    if (!env.isEmpty())
        return removeTrailingSeparator(env);
    return programFolder();
}

QString join(const QString &a, const QString &b)
{
    if (a.isEmpty())
        return b;
    if (a.endsWith(QLatin1Char('/')))
        return a + b;
    return a + QLatin1Char('/') + b;
}

QString removeTrailingSeparator(const QString &path)
{
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        return path.left(path.size() - 1);
    return path;
}

bool isExistingFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool isExistingFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

} // namespace paths
