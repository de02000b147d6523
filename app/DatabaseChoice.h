#pragma once

#include "CanDatabase.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QWidget;

// The CAN database of the live view: the two entries of the tool menu that choose and
// release it, its loading with what could not be read told to the user, and the setting
// that brings it back at the next start.
class DatabaseChoice final : public QObject
{
    Q_OBJECT

public:
    DatabaseChoice(QMenu *tools, QWidget *window, QString title);

    const CanDatabase *database() const { return m_database.get(); }
    QString path() const { return m_path; }

    // The database remembered from the last session, if any; one that cannot be read any
    // more is reported and forgotten. Its unusable lines were shown when it was chosen.
    void restore();
    // Reads path; with tellProblems, the lines that could not be used are shown.
    bool open(const QString &path, bool tellProblems = true);
    void release();
    // Off during a run: a dialog would stop the run's loop until it closes.
    void setEnabled(bool on);

    QAction *openAction() const { return m_open; }
    QAction *releaseAction() const { return m_release; }

    // What the file dialog answers; an empty function restores the dialog.
    static void setFileDialogForTesting(std::function<QString()> answer);

signals:
    void changed();

private:
    void chooseFile();
    void updateActions();

    QWidget *m_window;
    QString m_title;
    QAction *m_open;
    QAction *m_release;
    std::unique_ptr<CanDatabase> m_database;
    QString m_path;
    bool m_enabled = true;
};
