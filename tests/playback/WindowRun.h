#pragma once

#include "BrowseFileOrFolder.h"
#include "Form1.h"
#include "Paths.h"
#include "PlaybackFixture.h"
#include "Vexa100.h"
#include "HookGuard.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace playtest {

// A main window brought up headless on the test's private bus, with its own settings and
// runtime folders: adapter "PLAYUSB" and Interface port 1 both on that bus.
class PlaybackWindow : public ::testing::Test
{
protected:
    // Ends after the window: the hooks it may have used go back to their defaults.
    ResetGuard hooks{[] {
        setBrowseFileOrFolderForTesting({});
        paths::setProgramFolderForTesting(QString());
        vexa::unbindForTesting();
    }};
    QTemporaryDir settings;
    QTemporaryDir runtime;
    QTemporaryDir files;
    ScopedEnv programFiles{"ProgramFiles", settings.path().toUtf8()};
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path().toUtf8()};
    MessageRecorder messages;
    std::unique_ptr<ScopedEnv> adapters;
    std::unique_ptr<ScopedEnv> ports;
    std::unique_ptr<Form1> w;

    // vendor 1 selects the adapter, 2 the board.
    ::testing::AssertionResult bringUp(int port, int vendor = 1)
    {
        adapters = std::make_unique<ScopedEnv>("CANUSB_ADAPTERS", "PLAYUSB=" + driverBus(port));
        ports = std::make_unique<ScopedEnv>("IFCAN_PORTS", "1=" + driverBus(port));
        w = std::make_unique<Form1>();
        if (!w->Form_Load())
            return ::testing::AssertionFailure() << messages.texts().join('|').toStdString();
        auto *list = w->findChild<QComboBox *>("Cmb_Serect_Device");
        list->setCurrentIndex(vendor - 1);
        w->Cmb_Serect_Device_Click();
        if (w->device.t_select_Vender != vendor)
            return ::testing::AssertionFailure() << "vendor " << w->device.t_select_Vender;
        return ::testing::AssertionSuccess();
    }

    template <class T>
    T *child(const char *name) const
    {
        return w->findChild<T *>(QLatin1String(name));
    }
    QString text(const char *lineEdit) const;
    std::array<int, 8> states() const
    {
        std::array<int, 8> s{};
        for (int i = 0; i < 8; ++i)
            s[size_t(i)] = w->ButtonState()[size_t(i)];
        return s;
    }

    // Files dropped on a control, as the window system delivers them.
    void dropOn(const char *control, QMimeData *data)
    {
        QWidget *target = child<QWidget>(control);
        ASSERT_NE(target, nullptr) << control;
        const QPoint at(2, 2);
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        delete data;
    }
    void dropPaths(const char *control, const QStringList &paths)
    {
        auto *data = new QMimeData;
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        dropOn(control, data);
    }

    // Clicks Connect; `during` runs on a 5 ms probe while the run is on (the tests'
    // hands), and the run is stopped after watchdogMs. False when the watchdog stopped it.
    bool play(const std::function<void()> &during = {}, int watchdogMs = 30000)
    {
        bool stopped = false;
        QTimer probe;
        probe.setInterval(5);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (during && w->RxFlag == 1)
                during();
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            stopped = true;
            w->Bt_Disconnect_Click();
        });
        probe.start();
        watchdog.start(watchdogMs);
        w->Bt_Connect_Click();
        return !stopped;
    }

    QToolButton *button(const char *name) const { return child<QToolButton>(name); }
    void click(const char *name) { button(name)->click(); }
};

} // namespace playtest
