// The header fields a page hands over in a request's JSON body, on arbitrary bodies. Every field
// taken has a token for its name and a value that cannot end the line or the request, none is
// one the agent sets itself, and a refusal says why and hands nothing over.
#include "core/transfer/PageHeaders.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {
const QByteArray TokenCharacters = QByteArrayLiteral("!#$%&'*+-.^_`|~");
// The agent's own fields, spelled as they appear on the wire.
const QList<QByteArray> OwnFields = {"host",
                                     "content-length",
                                     "transfer-encoding",
                                     "connection",
                                     "te",
                                     "upgrade",
                                     "expect",
                                     "range",
                                     "if-range",
                                     "content-type",
                                     "keep-alive",
                                     "trailer"};
const QList<QByteArray> OwnPrefixes = {"upload-", "tus-", "proxy-"};

bool isToken(const QByteArray& name)
{
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && !TokenCharacters.contains(c)) {
            return false;
        }
    }
    return !name.isEmpty();
}

bool isOwnField(const QByteArray& name)
{
    const QByteArray lower = name.toLower();
    return OwnFields.contains(lower) || std::any_of(OwnPrefixes.begin(), OwnPrefixes.end(), [&](const QByteArray& p) {
               return lower.startsWith(p);
           });
}

bool isSafeValue(const QByteArray& value)
{
    return !value.contains('\r') && !value.contains('\n') && !value.contains('\0');
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonDocument body = QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    HeaderList headers;
    QString error;
    if (!PageHeaders::parse(body.object().value(QStringLiteral("headers")), headers, error)) {
        if (error.isEmpty() || !headers.isEmpty()) {
            std::abort();
        }
        return 0;
    }
    for (const auto& [name, value] : headers) {
        if (!isToken(name) || isOwnField(name) || !isSafeValue(value)) {
            std::abort();
        }
    }
    return 0;
}
