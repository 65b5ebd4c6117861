#include "common/PrivateDisplay.h"
#include "common/TestEnvironment.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {
// What desktops announce on a screen scaled to 200 %.
const QByteArray DoubleDensityResources = QByteArrayLiteral("Xft.dpi: 192");
const int Scale = 2;
const int ToolMs = 120000;
// The selection window's banner, placed at this point of the window and drawn from this image.
const QPoint BannerPosition(85, 54);
const QString BannerImage = QStringLiteral(NORV_IMAGE_DIR "/norv_login_en@2x.png");
} // namespace

// The windows' fixed sizes on a screen that announces 192 dpi the way desktops do, with no
// scale factor forced on Qt: norv-screenshots builds the shell through the client's start-up
// and saves each window as drawn, in device pixels.
class TestHighDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fixedSizesComeOutDoubled_data();
    void fixedSizesComeOutDoubled();
    void imagesAreDrawnFromTheirDoubleSizeFiles();

private:
    QImage picture(const QString& name) const;

    QTemporaryDir m_pictures;
};

void TestHighDpi::initTestCase()
{
    PrivateDisplay screen(DoubleDensityResources);
    QVERIFY(!screen.display().isEmpty());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), screen.display());
    environment.insert(QStringLiteral("NORV_HTTPD_PORT"), QStringLiteral("0"));
    for (const char* forced : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR"}) {
        environment.remove(QString::fromLatin1(forced));
    }
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(TestEnvironment::binFolder() + QStringLiteral("/norv-screenshots"), {m_pictures.path()});
    QVERIFY2(tool.waitForFinished(ToolMs), "norv-screenshots did not end");
    QCOMPARE(tool.exitCode(), 0);
}

QImage TestHighDpi::picture(const QString& name) const
{
    return QImage(m_pictures.filePath(name + QStringLiteral("-en.png")));
}

void TestHighDpi::fixedSizesComeOutDoubled_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("selection window") << QStringLiteral("login-select") << QSize(500, 593);
    QTest::newRow("tip dialog") << QStringLiteral("dialog-device-code") << QSize(310, 170);
    QTest::newRow("settings dialog") << QStringLiteral("dialog-settings") << QSize(370, 170);
    QTest::newRow("about dialog") << QStringLiteral("dialog-about") << QSize(330, 414);
}

void TestHighDpi::fixedSizesComeOutDoubled()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QCOMPARE(picture(name).size(), size * Scale);
}

void TestHighDpi::imagesAreDrawnFromTheirDoubleSizeFiles()
{
    QImage banner(BannerImage);
    QVERIFY(!banner.isNull());
    // Read from the file, it carries its ratio; the picture is plain device pixels.
    banner.setDevicePixelRatio(1);
    const QImage drawn = picture(QStringLiteral("login-select")).copy(QRect(BannerPosition * Scale, banner.size()));
    QCOMPARE(drawn.convertToFormat(QImage::Format_RGB32), banner.convertToFormat(QImage::Format_RGB32));
}

NORV_TEST_MAIN(TestHighDpi)
#include "tst_highdpi.moc"
