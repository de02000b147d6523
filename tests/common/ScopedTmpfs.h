#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <sys/mount.h>
#include <unistd.h>

// A small file system of the test's own (tmpfs) mounted on a folder, so a full disk or a
// read-only one is real. Needs root, as the tests have here and in CI; mounted() is false
// otherwise and the test says so and is skipped.
class ScopedTmpfs
{
public:
    ScopedTmpfs(const QString &folder, const QByteArray &options) : m_folder(folder)
    {
        QDir().mkpath(folder);
        m_mounted = ::geteuid() == 0
                    && ::mount("tmpfs", folder.toLocal8Bit().constData(), "tmpfs", 0,
                               options.constData()) == 0;
    }
    ~ScopedTmpfs()
    {
        if (m_mounted)
            ::umount2(m_folder.toLocal8Bit().constData(), MNT_DETACH);
    }
    ScopedTmpfs(const ScopedTmpfs &) = delete;
    ScopedTmpfs &operator=(const ScopedTmpfs &) = delete;

    bool mounted() const { return m_mounted; }
    // "ro", "rw", "size=4m", ...
    bool remount(const QByteArray &options)
    {
        const unsigned long ro = options.contains("ro") && !options.contains("rw") ? MS_RDONLY : 0;
        return ::mount("tmpfs", m_folder.toLocal8Bit().constData(), "tmpfs", MS_REMOUNT | ro,
                       options.constData()) == 0;
    }
    // Takes every free byte with one file; removing it gives them back.
    bool fill(const QString &name = QStringLiteral("filler"))
    {
        QFile f(m_folder + '/' + name);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(64 * 1024, 'x');
        while (f.write(block) == block.size() && f.flush()) {
        }
        const QByteArray byte(1, 'x');
        while (f.write(byte) == 1 && f.flush()) {
        }
        return true;
    }
    bool unfill(const QString &name = QStringLiteral("filler"))
    {
        return QFile::remove(m_folder + '/' + name);
    }

private:
    QString m_folder;
    bool m_mounted = false;
};
