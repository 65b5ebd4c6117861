// The portal's certificate in the shell with the real engine: trusted on first use, the same
// leaf loads again unasked, a changed one is a question (or, with no window, a refusal), and
// a certificate of a CA the user added as the README says loads unpinned.
#include "app/CMainWindow.h"
#include "common/ShellFixture.h"
#include "common/TestCertificates.h"
#include "common/TestEnvironment.h"
#include "common/TlsTestServer.h"
#include "core/TesselPortal.h"
#include "core/transfer/CertificateTrust.h"
#include "i18n/CTextTable.h"
#include "login/CLoginUI.h"
#include "transfers/CertificateChangeUI.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSslCertificate>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

namespace {
const int LoadTimeoutMs = 60000;
const QString CompanyLeaf = QStringLiteral("company");
const QStringList SelfSignedLeaves = {QStringLiteral("first"),
                                      QStringLiteral("same"),
                                      QStringLiteral("old"),
                                      QStringLiteral("cancelled"),
                                      QStringLiteral("trusted"),
                                      QStringLiteral("hidden")};
const QByteArray Page = QByteArrayLiteral("<html><head><title>norv-enterprise</title></head><body></body></html>");

// The README's step for the engine: the CA into the user's NSS database.
bool addToUserNssDatabase(const QString& caFile)
{
    const QString database = TestEnvironment::homeFolder() + QStringLiteral("/.pki/nssdb");
    QDir().mkpath(database);
    const QString sql = QStringLiteral("sql:") + database;
    return QProcess::execute(QStringLiteral("certutil"),
                             {QStringLiteral("-N"), QStringLiteral("-d"), sql, QStringLiteral("--empty-password")})
        == 0
        && QProcess::execute(QStringLiteral("certutil"),
                             {QStringLiteral("-A"),
                              QStringLiteral("-d"),
                              sql,
                              QStringLiteral("-t"),
                              QStringLiteral("C,,"),
                              QStringLiteral("-n"),
                              QStringLiteral("Company CA"),
                              QStringLiteral("-i"),
                              caFile})
        == 0;
}
} // namespace

class TestCertificatesFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void portalCertificate_data();
    void portalCertificate();

private:
    QString leafPath(const QString& name) const { return m_work.filePath(name + QStringLiteral(".pem")); }
    QString keyPath(const QString& name) const { return m_work.filePath(name + QStringLiteral(".key")); }
    QByteArray leafDer(const QString& name) const;
    QString origin() const { return QStringLiteral("https://127.0.0.1:%1").arg(m_server.serverPort()); }

    QTemporaryDir m_work;
    TlsTestServer m_server {[](QSslSocket* socket) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: "
                      + QByteArray::number(Page.size()) + "\r\n\r\n" + Page);
        socket->disconnectFromHost();
    }};
    CMainWindow* m_window = nullptr;
    QTimer m_dialogWatcher;
    QString m_answer;
    bool m_asked = false;
};

QByteArray TestCertificatesFlow::leafDer(const QString& name) const
{
    return name.isEmpty() ? QByteArray() : QSslCertificate::fromPath(leafPath(name)).value(0).toDer();
}

void TestCertificatesFlow::initTestCase()
{
    QVERIFY(QFile::copy(TestCertificates::file("cert.pem"), leafPath(CompanyLeaf)));
    QVERIFY(QFile::copy(TestCertificates::file("key.pem"), keyPath(CompanyLeaf)));
    for (const QString& name : SelfSignedLeaves) {
        QVERIFY(!TestCertificates::makeSelfSigned(leafPath(name), keyPath(name)).isNull());
    }
    QVERIFY(addToUserNssDatabase(TestCertificates::file("ca.pem")));
    QVERIFY(m_server.isListening());
    // Built only: the test loads the portal itself, with the window it needs shown.
    m_window = ShellFixture::build();
    // Gives each question the row's answer, as the user clicks it.
    connect(&m_dialogWatcher, &QTimer::timeout, this, [this] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<CertificateChangeUI*>(widget);
            if (dialog && dialog->isVisible() && !m_asked) {
                m_asked = true;
                dialog->findChild<QPushButton*>(m_answer)->click();
            }
        }
    });
    m_dialogWatcher.start(20);
}

void TestCertificatesFlow::cleanupTestCase()
{
    ShellFixture::stop(m_window);
}

void TestCertificatesFlow::portalCertificate_data()
{
    QTest::addColumn<QString>("pinned");
    QTest::addColumn<QString>("served");
    QTest::addColumn<bool>("windowShown");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("pinnedAfter");

    const QString trust = QLatin1String(CertificateChangeUI::TrustButtonName);
    const QString cancel = QLatin1String(CertificateChangeUI::CancelButtonName);
    QTest::newRow("first use") << QString() << "first" << true << QString() << true << "first";
    QTest::newRow("same leaf") << "same"
                               << "same" << true << QString() << true << "same";
    QTest::newRow("changed, cancelled") << "old"
                                        << "cancelled" << true << cancel << false << "old";
    QTest::newRow("changed, trusted") << "old"
                                      << "trusted" << true << trust << true << "trusted";
    QTest::newRow("changed, in the tray") << "old"
                                          << "hidden" << false << QString() << false << "old";
    QTest::newRow("company CA") << QString() << CompanyLeaf << true << QString() << true << QString();
}

void TestCertificatesFlow::portalCertificate()
{
    QFETCH(QString, pinned);
    QFETCH(QString, served);
    QFETCH(bool, windowShown);
    QFETCH(QString, answer);
    QFETCH(bool, loads);
    QFETCH(QString, pinnedAfter);

    CertificateTrust& trust = m_window->portal->certificateTrust();
    trust.forgetHost(QStringLiteral("127.0.0.1"));
    if (!pinned.isEmpty()) {
        trust.pin(QUrl(origin()), leafDer(pinned));
    }
    m_server.setConfiguration(TestCertificates::serverConfiguration(leafPath(served), keyPath(served)));
    m_window->hide();
    m_window->inPortal = false;
    m_window->loginUI->setVisible(windowShown);
    m_answer = answer;
    m_asked = false;

    m_window->handle_load(QStringLiteral("Test"), origin(), true);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->loading, LoadTimeoutMs);
    QCOMPARE(m_window->inPortal, loads);
    QCOMPARE(m_asked, !answer.isEmpty());
    if (!loads) {
        QCOMPARE(m_window->loginUI->labelMessage->text(), m_window->textTable->ConnectFailed);
    }
    const QByteArray expected =
        pinnedAfter.isEmpty() ? QByteArray() : CertificateTrust::fingerprint(leafDer(pinnedAfter));
    // Read back from the file, as the next run finds it.
    QCOMPARE(CertificateTrust(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).pinned(QUrl(origin())),
             expected);
}

NORV_TEST_MAIN(TestCertificatesFlow)
#include "tst_certificates.moc"
