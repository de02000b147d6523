#pragma once

#include <QLibrary>
#include <QString>

#include <initializer_list>
#include <memory>

// A vendor driver library bound by name: looked up in the driver folder at the first call,
// its entry points resolved by name. A missing file or entry point becomes an error text;
// the callers then answer with the driver's own failure codes instead of crashing.
class DriverLibrary final
{
public:
    explicit DriverLibrary(QString fileName);

    QString fileName() const { return m_fileName; }
    // Where the file is looked for now (the driver folder can be moved by the environment).
    QString path() const;
    bool isPresent() const;

    // Loads the file once; later calls give the first outcome.
    bool load();
    // The entry point, or nullptr. Missing required names are collected into the error.
    void *resolve(const char *name, bool required = true);
    // Call after resolving: when a required name was missing the binding counts as failed.
    bool finish();

    bool isBound() const { return m_bound; }
    bool wasTried() const { return m_tried; }
    QString errorString() const { return m_error; }

    // Forgets the binding so that the next call binds again from the driver folder. The
    // old file stays loaded: a driver's worker threads may still run code from it.
    void forget();

private:
    QString m_fileName;
    std::unique_ptr<QLibrary> m_library;
    QString m_error;
    QStringList m_missing;
    bool m_tried = false;
    bool m_bound = false;
    bool m_reported = false;
};
