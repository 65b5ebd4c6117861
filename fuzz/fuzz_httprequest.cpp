// The local service's request parser on arbitrary bytes, fed in pieces whose sizes the
// input's first byte chooses, as a socket would deliver them.
#include "core/httpd/HttpRequestParser.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const int pieceSize = 1 + data[0];
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size) - 1);
    HttpRequestParser parser;
    for (int offset = 0; offset < bytes.size() && parser.result() == HttpRequestParser::Result::NeedMore;
         offset += pieceSize) {
        parser.feed(bytes.mid(offset, pieceSize));
    }
    const HttpRequest& request = parser.request();
    // The limits hold whatever arrives.
    if (request.body.size() > HttpRequestParser::MaxBodyBytes
        || request.target.size() > HttpRequestParser::MaxHeadBytes) {
        std::abort();
    }
    if (parser.result() == HttpRequestParser::Result::Complete && !request.target.startsWith('/')) {
        std::abort();
    }
    return 0;
}
