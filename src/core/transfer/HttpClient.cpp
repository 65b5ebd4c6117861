#include "HttpClient.h"
#include "core/CoreLogging.h"

#include "CertificateTrust.h"
#include "CurlTls.h"
#include "ProxyRoute.h"
#include "core/ProxyLogin.h"

#include <QFile>
#include <QObject>

#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <array>
#include <utility>

namespace {
// Error bodies are kept only for their text.
const int MaxKeptBodyBytes = 64 * 1024;
const long ConnectTimeoutSeconds = 30;
// Every change of the queue wakes the client's thread; this only bounds a wake-up missed.
const int PollTimeoutMs = 1000;
const QByteArray HttpsScheme = QByteArrayLiteral("https");
// Bodies of files move in larger pieces than libcurl's own (16 KiB received, 64 KiB sent):
// fewer calls into the sink or the file and fewer system calls. Only for bodies larger
// than a piece: each exchange allocates its pieces, which for thousands of small files
// cost more than they saved.
const long PieceBytes = 512 * 1024;
const int ProxyAuthenticationRequired = 407;
// Some proxies (tinyproxy) refuse a wrong login with 401. Through a tunnel that answer can only
// be the proxy's; without one it could be the server's, so there only 407 counts.
const int Unauthorized = 401;
const QByteArray ProxyChallengeField = QByteArrayLiteral("proxy-authenticate");

// libcurl's mask of the schemes a proxy named in its Proxy-Authenticate. Told of one scheme,
// libcurl sends the login with the first request (Basic) or authenticates the connection at once
// (NTLM, Negotiate), which later requests reuse; told "any", it first asks without a login, takes
// a 407 for every request and, on an upload, resends what the proxy refused of the body.
unsigned long namedSchemes(const QByteArray& challenges)
{
    static const std::pair<const char*, unsigned long> Schemes[] = {{"basic", CURLAUTH_BASIC},
                                                                    {"digest", CURLAUTH_DIGEST},
                                                                    {"ntlm", CURLAUTH_NTLM},
                                                                    {"negotiate", CURLAUTH_NEGOTIATE}};
    unsigned long mask = 0;
    for (const QByteArray& challenge : challenges.toLower().split(',')) {
        const QByteArray scheme = challenge.trimmed().split(' ').value(0);
        for (const auto& [name, bit] : Schemes) {
            mask |= scheme == name ? bit : 0;
        }
    }
    return mask == 0 ? CURLAUTH_ANY : mask;
}

// A connection kept from an earlier exchange that turns out closed by the other end (proxies
// such as tinyproxy close after each answer without saying so): the request is sent again at
// once on a new connection, rather than failing into the job's backoff.
const std::array<int, 3> StaleConnectionResults {CURLE_SEND_ERROR, CURLE_RECV_ERROR, CURLE_GOT_NOTHING};

// Failures before the server was reached, by this way out: the next proxy the system names is tried.
const std::array<int, 4> UnreachedResults {
    CURLE_COULDNT_RESOLVE_PROXY, CURLE_COULDNT_RESOLVE_HOST, CURLE_COULDNT_CONNECT, CURLE_PROXY};

void initialiseCurlOnce()
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(initialised);
}
} // namespace

struct HttpClient::Exchange
{
    quint64 id = 0;
    HttpClient* client = nullptr;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    HttpExchangeRequest request;
    HttpExchangeDone done;
    ByteCounter moved;
    QFile body;
    qint64 bodyLeft = 0;
    QByteArray url;
    // The proxies still to try, the one of this attempt first; empty for a direct connection.
    QList<QByteArray> route;
    QByteArray proxy;
    // The proxy login's round given with this attempt, 0 for none.
    int loginRound = 0;
    qint64 counted = 0;
    HttpExchangeResult result;
    bool sinkAsked = false;
    bool sinkTakes = false;
    // The first exchange through a proxy of unknown schemes; the others wait for its answer.
    bool probe = false;
    // Sent again on a new connection after a kept one was found closed; only once.
    bool freshConnection = false;
    char errorText[CURL_ERROR_SIZE] = {};

    ~Exchange()
    {
        curl_slist_free_all(headerList);
        if (easy) {
            curl_easy_cleanup(easy);
        }
    }

    void count(qint64 bytes)
    {
        counted += bytes;
        if (moved) {
            moved->fetch_add(bytes);
        }
    }

    bool refusedByProxy() const
    {
        long connectStatus = 0;
        curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectStatus);
        return !proxy.isEmpty()
            && (result.status == ProxyAuthenticationRequired || connectStatus == ProxyAuthenticationRequired
                || connectStatus == Unauthorized);
    }

    // Back to before the attempt, to be admitted again.
    void reset()
    {
        curl_slist_free_all(headerList);
        headerList = nullptr;
        curl_easy_cleanup(easy);
        easy = nullptr;
        body.close();
        result = HttpExchangeResult();
        sinkAsked = false;
        sinkTakes = false;
        errorText[0] = '\0';
        count(-counted);
    }

    bool askSink()
    {
        sinkAsked = true;
        sinkTakes = request.sink && request.sink->begin(result.status, result.headers);
        return !request.sink || request.sink->failure().isEmpty();
    }

    static size_t onHeader(char* data, size_t size, size_t count, void* self)
    {
        auto* exchange = static_cast<Exchange*>(self);
        const QByteArray line = QByteArray(data, static_cast<int>(size * count)).trimmed();
        if (line.startsWith("HTTP/")) {
            // A new answer, after an interim one: only the final answer's fields count.
            exchange->result.headers.clear();
            exchange->result.status = line.split(' ').value(1).toInt();
        } else if (line.isEmpty()) {
            exchange->client->learnProxySchemes(exchange);
        } else if (const int colon = line.indexOf(':'); colon > 0) {
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            QByteArray& stored = exchange->result.headers[name];
            stored = stored.isEmpty() ? value : stored + ", " + value;
        }
        return size * count;
    }

    static size_t onBody(char* data, size_t size, size_t count, void* self)
    {
        auto* exchange = static_cast<Exchange*>(self);
        const qint64 bytes = static_cast<qint64>(size * count);
        // The proxy's refusal is not the server's answer: the sink never sees it.
        if (exchange->refusedByProxy()) {
            return size * count;
        }
        if (!exchange->sinkAsked && !exchange->askSink()) {
            return 0;
        }
        exchange->count(bytes);
        if (exchange->sinkTakes) {
            return exchange->request.sink->write(data, bytes) ? size * count : 0;
        }
        QByteArray& kept = exchange->result.body;
        kept.append(data, static_cast<int>(std::min<qint64>(bytes, MaxKeptBodyBytes - kept.size())));
        return size * count;
    }

    static size_t onSend(char* buffer, size_t size, size_t count, void* self)
    {
        auto* exchange = static_cast<Exchange*>(self);
        const qint64 wanted = std::min<qint64>(static_cast<qint64>(size * count), exchange->bodyLeft);
        if (wanted <= 0) {
            return 0;
        }
        const qint64 read = exchange->body.read(buffer, wanted);
        if (read <= 0) {
            return CURL_READFUNC_ABORT;
        }
        exchange->bodyLeft -= read;
        exchange->count(read);
        return static_cast<size_t>(read);
    }

    // curl sends the body again when a reused connection turned out to be closed.
    static int onSeek(void* self, curl_off_t offset, int origin)
    {
        auto* exchange = static_cast<Exchange*>(self);
        const qint64 length = exchange->request.bodyLength;
        if (origin != SEEK_SET || offset < 0 || offset > length
            || (length > 0 && !exchange->body.seek(exchange->request.bodyOffset + offset))) {
            return CURL_SEEKFUNC_CANTSEEK;
        }
        exchange->bodyLeft = length - offset;
        return CURL_SEEKFUNC_OK;
    }
};

HttpClient::HttpClient(const CertificateTrust* trust, QObject* receiver, ProxyLogin* proxyLogin)
    : m_trust(trust)
    , m_proxyLogin(proxyLogin)
    , m_receiver(receiver)
{
}

HttpClient::~HttpClient()
{
    {
        const QMutexLocker lock(&m_mutex);
        m_stopping = true;
    }
    if (m_thread.joinable()) {
        curl_multi_wakeup(m_multi);
        m_thread.join();
    }
    if (m_multi) {
        curl_multi_cleanup(m_multi);
    }
}

bool HttpClient::startedThread()
{
    // libcurl and the thread come with the first exchange, not with the client: most runs of
    // the program move no file, and none should pay for loading libcurl at start.
    if (!m_multi) {
        initialiseCurlOnce();
        m_multi = curl_multi_init();
        if (!m_multi) {
            return false;
        }
        m_thread = std::thread([this] { run(); });
    }
    return true;
}

quint64 HttpClient::start(HttpExchangeRequest request, HttpExchangeDone done, ByteCounter moved)
{
    auto exchange = std::make_unique<Exchange>();
    exchange->client = this;
    exchange->request = std::move(request);
    exchange->done = std::move(done);
    exchange->moved = std::move(moved);
    // Asked on the caller's thread, before the lock: a PAC file to fetch holds up no one else.
    exchange->route = ProxyRoute::forUrl(exchange->request.url);
    const QMutexLocker lock(&m_mutex);
    exchange->id = ++m_lastId;
    const quint64 id = exchange->id;
    if (!startedThread()) {
        HttpExchangeResult result;
        result.failure = QString::fromLatin1(curl_easy_strerror(CURLE_FAILED_INIT));
        QMetaObject::invokeMethod(
            m_receiver, [done = std::move(exchange->done), result] { done(result); }, Qt::QueuedConnection);
        return id;
    }
    m_pending.push_back(std::move(exchange));
    curl_multi_wakeup(m_multi);
    return id;
}

void HttpClient::abort(quint64 id)
{
    const QMutexLocker lock(&m_mutex);
    const auto pending = std::find_if(
        m_pending.begin(), m_pending.end(), [id](const std::unique_ptr<Exchange>& e) { return e->id == id; });
    if (pending != m_pending.end()) {
        m_pending.erase(pending);
        return;
    }
    if (!m_multi) {
        return;
    }
    m_aborted.push_back(id);
    curl_multi_wakeup(m_multi);
}

void HttpClient::setRateLimit(qint64 bytesPerSecond)
{
    const QMutexLocker lock(&m_mutex);
    m_rateLimit = bytesPerSecond;
}

void HttpClient::setStallSeconds(long seconds)
{
    const QMutexLocker lock(&m_mutex);
    m_stallSeconds = seconds > 0 ? seconds : StallSeconds;
}

void HttpClient::run()
{
    for (;;) {
        {
            const QMutexLocker lock(&m_mutex);
            if (m_stopping) {
                break;
            }
            admitPending();
        }
        int running = 0;
        curl_multi_perform(m_multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            Exchange* exchange = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &exchange);
            finish(exchange, message->data.result);
        }
        curl_multi_poll(m_multi, nullptr, 0, PollTimeoutMs, nullptr);
    }
    const QMutexLocker lock(&m_mutex);
    for (auto& running : m_running) {
        curl_multi_remove_handle(m_multi, running.second->easy);
    }
    m_running.clear();
}

// Called with the mutex held.
void HttpClient::admitPending()
{
    for (const quint64 id : m_aborted) {
        const auto found = m_running.find(id);
        if (found != m_running.end()) {
            curl_multi_remove_handle(m_multi, found->second->easy);
            endProbe(found->second.get());
            m_running.erase(found);
        }
    }
    m_aborted.clear();
    std::vector<std::unique_ptr<Exchange>> waiting;
    for (auto& pending : m_pending) {
        // The system's decision, not curl's own reading of the environment: empty means no proxy.
        pending->proxy = pending->route.first();
        if (!pending->proxy.isEmpty() && m_probing.contains(pending->proxy)) {
            waiting.push_back(std::move(pending));
            continue;
        }
        if (!pending->proxy.isEmpty() && !m_proxySchemes.contains(pending->proxy)) {
            pending->probe = true;
            m_probing.insert(pending->proxy);
        }
        configure(pending.get());
        curl_multi_add_handle(m_multi, pending->easy);
        m_running.emplace(pending->id, std::move(pending));
    }
    m_pending = std::move(waiting);
}

void HttpClient::learnProxySchemes(Exchange* exchange)
{
    if (exchange->proxy.isEmpty()) {
        return;
    }
    const HttpExchangeResult& answer = exchange->result;
    const QByteArray challenges = answer.headers.value(ProxyChallengeField);
    if (answer.status == ProxyAuthenticationRequired || (answer.status == Unauthorized && !challenges.isEmpty())) {
        if (!challenges.isEmpty()) {
            m_proxySchemes.insert(exchange->proxy, namedSchemes(challenges));
        }
        // The probe ends once the exchange has the user's login, in finish().
        return;
    }
    // Let through: a proxy that asks for nothing keeps libcurl's default.
    if (!m_proxySchemes.contains(exchange->proxy)) {
        m_proxySchemes.insert(exchange->proxy, CURLAUTH_ANY);
    }
    endProbe(exchange);
}

void HttpClient::endProbe(Exchange* exchange)
{
    if (exchange->probe) {
        exchange->probe = false;
        m_probing.remove(exchange->proxy);
        // The exchanges held back are admitted in the next turn, not after the poll's timeout.
        curl_multi_wakeup(m_multi);
    }
}

void HttpClient::configure(Exchange* exchange)
{
    const HttpExchangeRequest& request = exchange->request;
    CURL* easy = curl_easy_init();
    exchange->easy = easy;
    exchange->url = request.url.toEncoded();
    curl_easy_setopt(easy, CURLOPT_URL, exchange->url.constData());
    curl_easy_setopt(easy, CURLOPT_PROXY, exchange->proxy.constData());
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, exchange->freshConnection ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    const ProxyLogin::Answer login = m_proxyLogin ? m_proxyLogin->current() : ProxyLogin::Answer();
    exchange->loginRound = login.round;
    if (!exchange->proxy.isEmpty() && login.round > 0) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, login.user.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, login.password.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, m_proxySchemes.value(exchange->proxy, CURLAUTH_ANY));
    }
    curl_easy_setopt(easy, CURLOPT_PRIVATE, exchange);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, exchange->errorText);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, m_stallSeconds);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Exchange::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, exchange);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Exchange::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, exchange);
    if (request.sink) {
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, PieceBytes);
    }
    if (m_rateLimit > 0) {
        curl_easy_setopt(easy, CURLOPT_MAX_SEND_SPEED_LARGE, static_cast<curl_off_t>(m_rateLimit));
        curl_easy_setopt(easy, CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(m_rateLimit));
    }
    if (request.url.scheme().toLatin1() == HttpsScheme) {
        CurlTls::trustPinned(easy, m_trust);
    }
    if (request.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (request.method != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.constData());
    }
    if (request.bodyLength >= 0) {
        exchange->bodyLeft = request.bodyLength;
        if (request.bodyLength > 0) {
            exchange->body.setFileName(request.bodyPath);
            if (!exchange->body.open(QIODevice::ReadOnly) || !exchange->body.seek(request.bodyOffset)) {
                exchange->bodyLeft = 0;
            }
        }
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        if (request.bodyLength > PieceBytes) {
            curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, PieceBytes);
        }
        curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(request.bodyLength));
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Exchange::onSend);
        curl_easy_setopt(easy, CURLOPT_READDATA, exchange);
        curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &Exchange::onSeek);
        curl_easy_setopt(easy, CURLOPT_SEEKDATA, exchange);
    }
    // No waiting for "100 Continue": tus servers answer at once or not at all.
    exchange->headerList = curl_slist_append(exchange->headerList, "Expect:");
    for (const QByteArray& header : request.headers) {
        exchange->headerList = curl_slist_append(exchange->headerList, header.constData());
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, exchange->headerList);
}

bool HttpClient::retriedWithNewLogin(Exchange* exchange)
{
    if (!m_proxyLogin) {
        return false;
    }
    // Waits while the user answers: every exchange through this proxy needs the answer.
    const QString proxyHost = QUrl(QString::fromLatin1(exchange->proxy)).authority();
    if (m_proxyLogin->answerFor(proxyHost, exchange->loginRound).round <= exchange->loginRound) {
        return false;
    }
    requeue(exchange);
    return true;
}

bool HttpClient::retriedByNextProxy(Exchange* exchange, int curlResult)
{
    if (exchange->route.size() < 2 || !std::count(UnreachedResults.begin(), UnreachedResults.end(), curlResult)) {
        return false;
    }
    exchange->route.removeFirst();
    // The exchanges held back for this proxy's first answer must not wait for one that never comes.
    endProbe(exchange);
    requeue(exchange);
    return true;
}

bool HttpClient::retriedOnNewConnection(Exchange* exchange, int curlResult)
{
    long newConnections = 0;
    curl_easy_getinfo(exchange->easy, CURLINFO_NUM_CONNECTS, &newConnections);
    if (exchange->freshConnection || newConnections != 0 || exchange->result.status != 0
        || !std::count(StaleConnectionResults.begin(), StaleConnectionResults.end(), curlResult)) {
        return false;
    }
    exchange->freshConnection = true;
    endProbe(exchange);
    requeue(exchange);
    return true;
}

void HttpClient::requeue(Exchange* exchange)
{
    exchange->reset();
    const QMutexLocker lock(&m_mutex);
    const auto running = m_running.find(exchange->id);
    m_pending.push_back(std::move(running->second));
    m_running.erase(running);
    // Sent again in the next turn: with nothing else running, the poll would sleep its limit
    // first (a second lost on every kept connection a proxy had closed).
    curl_multi_wakeup(m_multi);
}

void HttpClient::finish(Exchange* exchange, int curlResult)
{
    curl_multi_remove_handle(m_multi, exchange->easy);
    HttpExchangeResult& result = exchange->result;
    if (exchange->refusedByProxy()) {
        if (retriedWithNewLogin(exchange)) {
            endProbe(exchange);
            return;
        }
        // The user cancelled: the exchange ends as refused, not as a passing failure.
        curlResult = CURLE_OK;
        result.status = ProxyAuthenticationRequired;
        result.failure = QStringLiteral("the proxy asks for a user name and password");
    } else if (retriedByNextProxy(exchange, curlResult) || retriedOnNewConnection(exchange, curlResult)) {
        return;
    }
    endProbe(exchange);
    if (curlResult == CURLE_OK && !exchange->sinkAsked && result.failure.isEmpty()) {
        // An empty body: the sink still learns the answer, to create an empty file.
        exchange->askSink();
    }
    if (exchange->request.sink && !exchange->request.sink->failure().isEmpty()) {
        result.failure = exchange->request.sink->failure();
    } else if (curlResult != CURLE_OK) {
        const QString text = QString::fromLatin1(exchange->errorText);
        result.failure =
            text.isEmpty() ? QString::fromLatin1(curl_easy_strerror(static_cast<CURLcode>(curlResult))) : text;
        result.status = 0;
        long verifyResult = X509_V_OK;
        curl_easy_getinfo(exchange->easy, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
        result.untrusted = curlResult == CURLE_PEER_FAILED_VERIFICATION || verifyResult != X509_V_OK;
        if (result.untrusted) {
            // With a pin, a failed check means another leaf than the one the user trusted.
            const bool pinned = !m_trust->pinned(exchange->request.url).isEmpty();
            result.failure = pinned ? QStringLiteral("the server's certificate changed")
                                    : QStringLiteral("the server's certificate is not trusted");
        }
    }
    const HttpExchangeDone done = std::move(exchange->done);
    QMetaObject::invokeMethod(
        m_receiver, [done, result] { done(result); }, Qt::QueuedConnection);
    const QMutexLocker lock(&m_mutex);
    m_running.erase(exchange->id);
}
