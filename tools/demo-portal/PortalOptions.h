#ifndef PORTALOPTIONS_H
#define PORTALOPTIONS_H

#include <QByteArray>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// What the command line asks the demo portal to do, with the files it names already read.
struct PortalOptions
{
    // 0 lets the system pick a free port.
    quint16 port = 0;
    // Present when the portal speaks HTTPS.
    std::optional<QSslConfiguration> tls;
    QString version;
    // Served as the version file byte for byte instead of the one made from version.
    std::optional<QByteArray> versionBody;
    // Whether the version file answers with a redirect to where it moved.
    bool redirectVersion = false;
    // The second origin the mixed page loads an image from; empty when there is none.
    QUrl thirdPartyOrigin;
    // Where finished uploads land and downloads come from; empty for a temporary folder.
    QString dataFolder;
    // The port of the client's local service the page talks to, unless its address names another.
    quint16 agentPort = 9887;
    // Request bodies are read at most this fast, so that a demo can watch transfers move; 0: no limit.
    qint64 uploadBytesPerSecond = 0;

    // Ends the program itself for --help and unknown options, as QCommandLineParser does.
    // Otherwise empty, with the reason in error, when the options cannot be used.
    static std::optional<PortalOptions> parse(const QStringList& arguments, QString& error);
};

#endif // PORTALOPTIONS_H
