#pragma once

#include "SignalWatch.h"

#include <QWidget>

class QLabel;
class QTreeWidget;

// Beside the live table: the signals of the message on the line the cursor is on, with
// physical value, unit and value name, the comment as a tooltip, and a changed value in
// the change colour fading as the table's bytes do.
class SignalPane final : public QWidget
{
    Q_OBJECT

public:
    explicit SignalPane(QWidget *parent = nullptr);

    // Shows what watch holds; colour and fadeTime are the table's change colour
    // (0x00BBGGRR) and fade time, enabled as the table's.
    void showWatch(const SignalWatch &watch, bool colourOn, int32_t colour, int32_t fadeTime);

    // Below the signals: the database's file, its text format and its messages, with the
    // 29-bit ones, which are not on this bus.
    void setDatabaseInfo(const QString &fileName, const CanDatabase *db);
    QString databaseInfo() const;

    // "1A0  BODY_STATUS" and the cycle time, or a hint when nothing is chosen.
    QString titleText() const;
    QTreeWidget *tree() const { return m_tree; }

private:
    QLabel *m_title;
    QTreeWidget *m_tree;
    QLabel *m_info;
    const DbcMessage *m_shown = nullptr;
};
