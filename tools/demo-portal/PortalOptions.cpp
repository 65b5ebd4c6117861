#include "PortalOptions.h"

#include "ServerTls.h"
#include "app/Product.h"

#include <QCommandLineParser>
#include <QFile>

namespace {
const QString PortOption = QStringLiteral("port");
const QString HttpsOption = QStringLiteral("https");
const QString CertificateOption = QStringLiteral("cert");
const QString KeyOption = QStringLiteral("key");
const QString VersionOption = QStringLiteral("version");
const QString VersionBodyOption = QStringLiteral("version-body");
const QString RedirectVersionOption = QStringLiteral("redirect-version");
const QString ThirdPartyOriginOption = QStringLiteral("third-party-origin");
const QString DataOption = QStringLiteral("data");
const QString AgentPortOption = QStringLiteral("agent-port");
const QString UploadRateOption = QStringLiteral("upload-rate");
const QString DefaultAgentPort = QStringLiteral("9887");
const qint64 KiB = 1024;
// The client's own version without its build: a check against the demo finds nothing newer.
const QString DefaultVersion = QString::fromLatin1(ClientVersion).section(QLatin1Char(' '), 0, 0);

void declareOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral("A stand-in for the enterprise portal, on 127.0.0.1."));
    parser.addHelpOption();
    parser.addOptions({
        {PortOption,
         QStringLiteral("Port to listen on; 0 picks a free one."),
         QStringLiteral("port"),
         QStringLiteral("0")},
        {HttpsOption, QStringLiteral("Speak HTTPS with --cert and --key.")},
        {CertificateOption, QStringLiteral("PEM certificate, optionally with its chain."), QStringLiteral("file")},
        {KeyOption, QStringLiteral("PEM private key of the certificate."), QStringLiteral("file")},
        {VersionOption, QStringLiteral("Version the version file announces."), QStringLiteral("x.y.z"), DefaultVersion},
        {VersionBodyOption, QStringLiteral("Serve this file's bytes as the version file."), QStringLiteral("file")},
        {RedirectVersionOption, QStringLiteral("Answer the version file with a redirect.")},
        {ThirdPartyOriginOption,
         QStringLiteral("Origin the /mixed page loads an image from, e.g. https://localhost:8443."),
         QStringLiteral("url")},
        {DataOption,
         QStringLiteral("Folder for uploaded files; by default a temporary one, made on first use."),
         QStringLiteral("dir")},
        {AgentPortOption,
         QStringLiteral("Port of the client's local service the page calls, unless its address has httpd=PORT."),
         QStringLiteral("port"),
         DefaultAgentPort},
        {UploadRateOption,
         QStringLiteral("Read request bodies at most this many KiB a second; 0 for no limit."),
         QStringLiteral("kib"),
         QStringLiteral("0")},
    });
}

std::optional<QByteArray> readFile(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

bool readPort(const QCommandLineParser& parser, PortalOptions& options, QString& error)
{
    bool valid = false;
    options.port = parser.value(PortOption).toUShort(&valid);
    if (!valid) {
        error = QStringLiteral("--port needs a number from 0 to 65535, not \"%1\"").arg(parser.value(PortOption));
    }
    return valid;
}

bool readAgentPort(const QCommandLineParser& parser, PortalOptions& options, QString& error)
{
    bool valid = false;
    options.agentPort = parser.value(AgentPortOption).toUShort(&valid);
    if (!valid || options.agentPort == 0) {
        error = QStringLiteral("--agent-port needs a number from 1 to 65535, not \"%1\"")
                    .arg(parser.value(AgentPortOption));
        return false;
    }
    return true;
}

bool readUploadRate(const QCommandLineParser& parser, PortalOptions& options, QString& error)
{
    bool valid = false;
    const uint kib = parser.value(UploadRateOption).toUInt(&valid);
    if (!valid) {
        error = QStringLiteral("--upload-rate needs a number of KiB, not \"%1\"").arg(parser.value(UploadRateOption));
        return false;
    }
    options.uploadBytesPerSecond = kib * KiB;
    return true;
}

bool readTls(const QCommandLineParser& parser, PortalOptions& options, QString& error)
{
    const bool namesCertificate = parser.isSet(CertificateOption);
    const bool namesKey = parser.isSet(KeyOption);
    if (!parser.isSet(HttpsOption)) {
        if (namesCertificate || namesKey) {
            error = QStringLiteral("--cert and --key only go with --https");
            return false;
        }
        return true;
    }
    if (!namesCertificate || !namesKey) {
        error = QStringLiteral("--https needs --cert and --key");
        return false;
    }
    const std::optional<QByteArray> certificates = readFile(parser.value(CertificateOption), error);
    const std::optional<QByteArray> key = certificates ? readFile(parser.value(KeyOption), error) : std::nullopt;
    if (key) {
        options.tls = ServerTls::fromPem(*certificates, *key, error);
    }
    return options.tls.has_value();
}

bool readVersionBody(const QCommandLineParser& parser, PortalOptions& options, QString& error)
{
    if (parser.isSet(VersionBodyOption)) {
        options.versionBody = readFile(parser.value(VersionBodyOption), error);
        return options.versionBody.has_value();
    }
    return true;
}

bool readThirdPartyOrigin(const QCommandLineParser& parser, PortalOptions& options, QString& error)
{
    if (!parser.isSet(ThirdPartyOriginOption)) {
        return true;
    }
    const QUrl url(parser.value(ThirdPartyOriginOption), QUrl::StrictMode);
    // An origin only: the image's path is the portal's own, so any instance can be the other origin.
    const bool isOrigin = (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))
        && !url.host().isEmpty() && (url.path().isEmpty() || url.path() == QLatin1String("/")) && !url.hasQuery()
        && !url.hasFragment() && url.userInfo().isEmpty();
    if (!isOrigin) {
        error = QStringLiteral("--third-party-origin needs an origin such as https://localhost:8443, not \"%1\"")
                    .arg(parser.value(ThirdPartyOriginOption));
        return false;
    }
    options.thirdPartyOrigin = url.adjusted(QUrl::RemovePath);
    return true;
}
} // namespace

std::optional<PortalOptions> PortalOptions::parse(const QStringList& arguments, QString& error)
{
    QCommandLineParser parser;
    declareOptions(parser);
    parser.process(arguments);
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst());
        return std::nullopt;
    }
    PortalOptions options;
    options.version = parser.value(VersionOption);
    options.redirectVersion = parser.isSet(RedirectVersionOption);
    options.dataFolder = parser.value(DataOption);
    const bool usable = readPort(parser, options, error) && readAgentPort(parser, options, error)
        && readUploadRate(parser, options, error) && readTls(parser, options, error)
        && readVersionBody(parser, options, error) && readThirdPartyOrigin(parser, options, error);
    return usable ? std::optional<PortalOptions>(options) : std::nullopt;
}
