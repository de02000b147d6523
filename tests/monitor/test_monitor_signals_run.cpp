// The live view with a CAN database during a real record run: the simulator replays a
// recording of body and diagnosis frames on a private bus, the table names the messages,
// the signal pane follows the cursor's line, colours a changing signal, and switches
// multiplexed pages; the chosen database comes back at the next start.
#include "DatabaseChoice.h"
#include "DatabaseSetting.h"
#include "DbcFiles.h"
#include "RecordWindow.h"
#include "SignalPane.h"
#include "free_port.h"

#include <QTextBlock>
#include <QTreeWidget>

#include <set>

namespace {

using rectest::SentFrame;

class SignalRun : public rectest::RecordWindow
{
protected:
    // BODY_STATUS every 50 ms, quiet at first, then its COUNTER counting; DIAG_MUX 25 ms
    // later, pages 1 and 2 in turn.
    static std::vector<SentFrame> recording()
    {
        std::vector<SentFrame> out;
        for (int step = 0; step < 60; ++step) {
            const uint8_t counter = step < 30 ? 0 : uint8_t(1 + (step - 30) % 15);
            out.push_back({step == 0 ? 0.0 : 25.0, 0x1A0, 8, {0x01, 0x80, 0x01, 0, 0, 0, 0,
                                                               counter}});
            if (step % 2 == 0)
                out.push_back({25, 0x5F0, 8, {0x01, 0xE8, 0x03, 0xE8, 0x03, 0, 0, 0xFF}});
            else
                out.push_back({25, 0x5F0, 8, {0x02, 0x10, 0x27, 0, 0, 0, 0, 0xFF}});
        }
        out.push_back({25, 0x1A0, 8, {0x01, 0x80, 0x01, 0, 0, 0, 0, 0x0F}});
        return out;
    }

    QTextBlock lineOf(const char *head) const
    {
        const QTextDocument *doc = w->mainView()->document();
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            if (b.text().startsWith(QLatin1String(head)))
                return b;
        return {};
    }
    void putCursorOn(const QTextBlock &block)
    {
        QTextCursor c(block);
        w->mainView()->setTextCursor(c);
    }
    QTreeWidgetItem *item(const QString &name) const
    {
        QTreeWidget *tree = w->signalPane()->tree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (tree->topLevelItem(i)->text(0) == name)
                return tree->topLevelItem(i);
        return nullptr;
    }
    QColor valueColour(const QString &name) const
    {
        QTreeWidgetItem *i = item(name);
        return i ? i->foreground(1).color() : QColor();
    }
    QStringList shownNames() const
    {
        QStringList names;
        QTreeWidget *tree = w->signalPane()->tree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            names << tree->topLevelItem(i)->text(0);
        return names;
    }
};

TEST_F(SignalRun, SignalsAppearChangeColourAndSwitchPages)
{
    ASSERT_TRUE(bringUp(rectest::Vendor::Canusb, freeTestPort()));
    EXPECT_FALSE(w->signalPane()->isVisible());
    const QString jp = dbcfiles::path("jp_body_cp932.dbc");
    DatabaseChoice::setFileDialogForTesting([&] { return jp; });
    child<QAction>("menu_dbc_open")->trigger();
    DatabaseChoice::setFileDialogForTesting({});
    ASSERT_NE(w->databaseChoice()->database(), nullptr);
    // The one line of the file that cannot be used is told, with its number.
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.contains(QStringLiteral("26 行目")))
        << messages.texts().join('|').toStdString();
    messages.messages.clear();
    EXPECT_EQ(databasesetting::load(), jp);
    EXPECT_EQ(w->signalPane()->databaseInfo(),
              QStringLiteral("jp_body_cp932.dbc（CP932, CRLF）: メッセージ 2"));
    w->device.t_DataChangeColorTime = 300;   // a short fade, so a quiet signal is black again

    QString bodyLine;
    QString muxLine;
    QString title;
    QColor quietCounter;
    QColor quietDoor;
    QColor countingCounter;
    QColor countingDoor;
    QString doorName;
    std::set<QStringList> pages;
    bool menuLocked = false;
    const QColor text = w->signalPane()->palette().color(QPalette::Text);
    ASSERT_TRUE(recordSequence(recording(), [&] {
        menuLocked = menuLocked || !child<QAction>("menu_dbc_open")->isEnabled();
        const CAN_ReadDB &rx = w->rxData();
        const QTextBlock body = lineOf("1A0");
        const QTextBlock mux = lineOf("5F0");
        if (!body.isValid() || !mux.isValid())
            return false;
        bodyLine = body.text();
        muxLine = mux.text();
        const uint8_t counter = rx.CAN11_Data8(0x1A0);
        if (counter < 8) {
            if (w->mainView()->textCursor().block() != body)
                putCursorOn(body);
            title = w->signalPane()->titleText();
            if (item(QStringLiteral("DOOR_FL")))
                doorName = item(QStringLiteral("DOOR_FL"))->text(3);
            if (counter == 0 && rx.CAN11_Data8(0x5F0) == 0xFF)
                quietCounter = valueColour(QStringLiteral("COUNTER")),
                quietDoor = valueColour(QStringLiteral("DOOR_FL"));
            if (counter >= 3)
                countingCounter = valueColour(QStringLiteral("COUNTER")),
                countingDoor = valueColour(QStringLiteral("DOOR_FL"));
        } else {
            if (w->mainView()->textCursor().block() != mux)
                putCursorOn(mux);
            if (w->signalPane()->titleText().contains(QStringLiteral("DIAG_MUX")))
                pages.insert(shownNames());
        }
        return false;   // until the recording has been sent
    })) << messages.texts().join('|').toStdString();

    EXPECT_TRUE(menuLocked);
    EXPECT_TRUE(bodyLine.endsWith(QStringLiteral("ms  BODY_STATUS"))) << bodyLine.toStdString();
    EXPECT_TRUE(muxLine.endsWith(QStringLiteral("ms  DIAG_MUX"))) << muxLine.toStdString();
    EXPECT_EQ(title, QStringLiteral("1A0  BODY_STATUS  (100 ms)"));
    EXPECT_EQ(doorName, QStringLiteral("開"));
    EXPECT_EQ(quietCounter, text);
    EXPECT_EQ(quietDoor, text);
    EXPECT_EQ(countingCounter, QColor(255, 0, 0));   // the change colour, at full strength
    EXPECT_EQ(countingDoor, text);
    EXPECT_TRUE(pages.count(QStringList{"PAGE", "VOLTAGE", "CURRENT"}));
    EXPECT_TRUE(pages.count(QStringList{"PAGE", "ODOMETER"}));
    EXPECT_TRUE(child<QAction>("menu_dbc_open")->isEnabled());

    // The next start brings the database back; one that has gone is told and forgotten.
    ASSERT_TRUE(bringUp(rectest::Vendor::Canusb, port));
    EXPECT_EQ(w->databaseChoice()->path(), jp);
    EXPECT_TRUE(w->signalPane()->isVisibleTo(w.get()));
    child<QAction>("menu_dbc_close")->trigger();
    EXPECT_EQ(w->databaseChoice()->database(), nullptr);
    EXPECT_FALSE(w->signalPane()->isVisibleTo(w.get()));
    EXPECT_TRUE(databasesetting::load().isEmpty());

    ASSERT_TRUE(databasesetting::save(work.filePath("gone.dbc")));
    messages.messages.clear();
    ASSERT_TRUE(bringUp(rectest::Vendor::Canusb, port));
    EXPECT_EQ(w->databaseChoice()->database(), nullptr);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(
        messages.messages[0].text.startsWith(QStringLiteral("CANデータベースを読み込めません。")));
    EXPECT_TRUE(databasesetting::load().isEmpty());
}

} // namespace
