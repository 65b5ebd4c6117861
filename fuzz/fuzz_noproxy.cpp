// Which way out the agent takes, on arbitrary no_proxy lists: the input's first line is the list,
// the second a host to ask about. Matching never crashes, and every host the list names as it
// stands goes direct, whatever else the list holds. Asked of the system's decision itself, as
// the agent keeps a server's answer a while.
#include "FuzzCheck.h"
#include "core/transfer/SystemProxy.h"

namespace {
const QByteArray Proxy = QByteArrayLiteral("http://proxy.invalid:3128");

QUrl urlFor(const QByteArray& host)
{
    return QUrl(QStringLiteral("http://") + QString::fromUtf8(host.constData(), host.size()) + QLatin1Char('/'),
                QUrl::StrictMode);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("http_proxy", Proxy);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const int lineEnd = input.indexOf('\n');
    // The environment holds a value up to its first NUL, and so does the list.
    const QByteArray line = input.left(lineEnd);
    const QByteArray list = line.left(line.indexOf('\0'));
    qputenv("no_proxy", list);
    SystemProxy::forUrl(urlFor(lineEnd < 0 ? QByteArray() : input.mid(lineEnd + 1)));
    for (const QByteArray& entry : list.split(',')) {
        const QUrl url = urlFor(entry.trimmed());
        // Only a plain host name or address, as the URL spells it.
        if (url.isValid() && !url.host().isEmpty() && url.host().toUtf8() == entry.trimmed()) {
            FuzzCheck::require(SystemProxy::forUrl(url) == QStringList {QStringLiteral("direct://")},
                               "a listed host goes direct",
                               entry);
        }
    }
    return 0;
}
