// The real client, in the tray with no window in front, tells the user through a real
// notification daemon (dunst on a session bus of the test's own) when a transfer ends;
// without a notification service the tray icon shows the message.
#include "app/ApplicationId.h"
#include "common/DesktopSession.h"
#include "common/LocalService.h"
#include "common/NodePeer.h"
#include "common/NotificationBus.h"
#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"
#include "platform/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

namespace {
const int TransferTimeoutMs = 60000;
const QByteArray FileName = QByteArrayLiteral("report.txt");
const QByteArray MissingName = QByteArrayLiteral("missing.txt");
const int Chinese = 1;
const int English = 0;

void storeLanguage(int language)
{
    QSettings(TestEnvironment::clientSettingsPath(), QSettings::IniFormat)
        .setValue(QStringLiteral("Language"), language);
}

// The client on a session bus of the test's own (with dunst when withDaemon), its local
// service reached from the file server's origin.
struct NotifiedClient
{
    ProcessSet processes;
    NotificationBus bus;
    LocalService service;
    QProcess* client = nullptr;

    // inTray: started as the autostart entry starts it, with no window.
    bool start(bool withDaemon, bool inTray, const QString& origin)
    {
        // The page comes from origin, a saved server of the client's.
        if (!TestEnvironment::storeClientServer(origin, false) || !bus.start(processes, withDaemon)) {
            return false;
        }
        QStringList arguments;
        if (inTray) {
            TestEnvironment::storeClientMiniTray(true);
            arguments = QStringList {QStringLiteral("-min"), QStringLiteral("-autorun")};
        }
        client = processes.start(TestEnvironment::clientPath(), arguments, bus.environment());
        service.origin = origin.toLatin1();
        return service.attach(client);
    }
};

// Downloads name from the file server through the client's local service; the transfer's id.
QString download(LocalService& service, const QByteArray& name)
{
    const auto created =
        service.send("POST",
                     "/transfers",
                     "{\"download\": {\"url\": \"" + service.origin + '/' + name + "\", \"folder\": \"downloads\"}}");
    return QJsonDocument::fromJson(created.second).object().value(QStringLiteral("id")).toString();
}

bool endsAs(LocalService& service, const QString& id, const QString& state)
{
    return QTest::qWaitFor([&] { return service.transfer(id).value(QStringLiteral("state")).toString() == state; },
                           TransferTimeoutMs);
}
} // namespace

// A notification service of the test's own, on a second connection to this program's session
// bus: it holds every Notify answer until the test releases it.
class HeldNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    const QString name = QStringLiteral("org.freedesktop.Notifications");
    const QString path = QStringLiteral("/org/freedesktop/Notifications");
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("held"));
    QList<QDBusMessage> held;

    bool start()
    {
        return bus.registerObject(path, this, QDBusConnection::ExportAllSlots) && bus.registerService(name);
    }
    // Answers the held calls with id, then clicks that notification as a user would.
    void answerAndClick(uint id)
    {
        for (const QDBusMessage& call : qAsConst(held)) {
            bus.send(call.createReply(id));
        }
        bus.send(QDBusMessage::createSignal(path, name, QStringLiteral("ActionInvoked"))
                 << id << QStringLiteral("default"));
    }

public slots:
    uint Notify(const QString&,
                uint,
                const QString&,
                const QString&,
                const QString&,
                const QStringList&,
                const QVariantMap&,
                int,
                const QDBusMessage& call)
    {
        call.setDelayedReply(true);
        held.append(call);
        return 0;
    }
};

class TestNotifications : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void finishedDownloadIsNotifiedAndItsClickShowsTheFile();
    void failedDownloadIsNotifiedInTheCurrentLanguage();
    void windowClosedToTheTrayIsNotInFront();
    void withoutAServiceTheTrayShowsTheNotice();
    void aSlowServiceNeverHoldsUpTheWindows();

private:
    QTemporaryDir m_served;
    NodePeer m_files;
};

void TestNotifications::initTestCase()
{
    QFile file(m_served.filePath(QString::fromLatin1(FileName)));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("quarterly figures\n") > 0);
    file.close();
    QVERIFY2(m_files.start(QStringLiteral("range-server.mjs"), {m_served.path()}), "the file server did not start");
}

void TestNotifications::finishedDownloadIsNotifiedAndItsClickShowsTheFile()
{
    storeLanguage(English);
    NotifiedClient run;
    QVERIFY2(run.start(true, true, m_files.origin()), "the session bus, dunst or the client did not start");

    QVERIFY(endsAs(run.service, download(run.service, FileName), QStringLiteral("done")));
    QTRY_VERIFY_WITH_TIMEOUT(run.bus.monitored().contains("member=Notify"), TransferTimeoutMs);
    const QByteArray notify = run.bus.monitored().mid(run.bus.monitored().indexOf("member=Notify"));
    QVERIFY2(notify.contains("string \"Transfer finished\""), notify.constData());
    QVERIFY2(notify.contains("string \"" + FileName + '"'), notify.constData());
    const QRegularExpression desktopEntry(
        QStringLiteral("string \"desktop-entry\"\\s+variant\\s+string \"%1\"").arg(QString::fromLatin1(ApplicationId)));
    QVERIFY2(desktopEntry.match(QString::fromUtf8(notify)).hasMatch(), notify.constData());
    // Clickable through its default action; the daemon answered with the notification's id.
    QVERIFY2(notify.contains("string \"default\""), notify.constData());

    run.bus.clickNewest();
    const QByteArray shownFile = QUrl::fromLocalFile(TestEnvironment::homeFolder() + QStringLiteral("/Downloads/")
                                                     + QString::fromLatin1(FileName))
                                     .toEncoded();
    QTRY_VERIFY_WITH_TIMEOUT(run.bus.monitored().contains("member=ShowItems"), TransferTimeoutMs);
    QVERIFY2(run.bus.monitored().mid(run.bus.monitored().indexOf("member=ShowItems")).contains(shownFile),
             run.bus.monitored().constData());
}

void TestNotifications::failedDownloadIsNotifiedInTheCurrentLanguage()
{
    storeLanguage(Chinese);
    NotifiedClient run;
    QVERIFY2(run.start(true, true, m_files.origin()), "the session bus, dunst or the client did not start");

    QVERIFY(endsAs(run.service, download(run.service, MissingName), QStringLiteral("failed")));
    QTRY_VERIFY_WITH_TIMEOUT(run.bus.monitored().contains("member=Notify"), TransferTimeoutMs);
    const QByteArray notify = run.bus.monitored().mid(run.bus.monitored().indexOf("member=Notify"));
    QVERIFY2(notify.contains(QStringLiteral("string \"传输失败\"").toUtf8()), notify.constData());
    // Nothing to show: no action offered.
    QVERIFY2(!notify.contains("string \"default\""), notify.constData());
}

void TestNotifications::windowClosedToTheTrayIsNotInFront()
{
    storeLanguage(English);
    NotifiedClient run;
    QVERIFY2(run.start(true, false, m_files.origin()), "the session bus, dunst or the client did not start");
    QTRY_VERIFY_WITH_TIMEOUT(DesktopSession::clientWindowShown(), TransferTimeoutMs);
    DesktopSession::closeClientWindow();
    QTRY_VERIFY_WITH_TIMEOUT(!DesktopSession::clientWindowShown(), TransferTimeoutMs);

    QVERIFY(endsAs(run.service, download(run.service, FileName), QStringLiteral("done")));
    QTRY_VERIFY_WITH_TIMEOUT(run.bus.monitored().contains("member=Notify"), TransferTimeoutMs);
}

void TestNotifications::withoutAServiceTheTrayShowsTheNotice()
{
    storeLanguage(English);
    NotifiedClient run;
    QVERIFY2(run.start(false, true, m_files.origin()), "the session bus, dunst or the client did not start");

    QTRY_VERIFY_WITH_TIMEOUT(!DesktopSession::trayIconWindow().isEmpty(), TransferTimeoutMs);
    const int windowsBefore = DesktopSession::shownClientWindows().size();

    QVERIFY(endsAs(run.service, download(run.service, FileName), QStringLiteral("done")));
    QVERIFY(waitForStandardError(run.client, "no notification service, the tray shows the notice", TransferTimeoutMs));
    QVERIFY(run.bus.monitored().contains("member=Notify"));
    // The tray's message is a small window of the client's own beside the icon.
    QTRY_VERIFY_WITH_TIMEOUT(DesktopSession::shownClientWindows().size() > windowsBefore, TransferTimeoutMs);
}

void TestNotifications::aSlowServiceNeverHoldsUpTheWindows()
{
    HeldNotifications service;
    QVERIFY2(service.start(), "no session bus of the program's own (run it under dbus-run-session)");
    DesktopNotifier notifier(nullptr);
    QSignalSpy clicked(&notifier, &DesktopNotifier::clicked);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);

    notifier.show({QStringLiteral("Transfer finished"), QString::fromLatin1(FileName), QStringLiteral("key"), {}});
    // The event loop goes on while the service holds its answer.
    QTRY_COMPARE_WITH_TIMEOUT(service.held.size(), 1, TransferTimeoutMs);
    const int ticksWhileHeld = ticks;
    QTRY_VERIFY(ticks > ticksWhileHeld);
    // However late the answer, the notice is the service's, and its click comes back.
    service.answerAndClick(7);
    QTRY_COMPARE_WITH_TIMEOUT(clicked.size(), 1, TransferTimeoutMs);
    QCOMPARE(clicked.first().first().toString(), QStringLiteral("key"));
}

NORV_TEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
