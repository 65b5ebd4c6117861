#include "ProxyLogin.h"

#include <QThread>

ProxyLogin::ProxyLogin(QObject* parent)
    : QObject(parent)
{
}

void ProxyLogin::setAsker(Asker asker)
{
    const QMutexLocker lock(&m_mutex);
    m_asker = std::move(asker);
}

ProxyLogin::Answer ProxyLogin::current() const
{
    const QMutexLocker lock(&m_mutex);
    return m_answer;
}

void ProxyLogin::close()
{
    const QMutexLocker lock(&m_mutex);
    m_closed = true;
    m_questionClosed.wakeAll();
}

ProxyLogin::Answer ProxyLogin::answerFor(const QString& proxyHost, int refused)
{
    if (QThread::currentThread() == thread()) {
        ask(proxyHost, refused);
        return current();
    }
    QMutexLocker lock(&m_mutex);
    if (!m_asking && !m_queued && m_answer.round <= refused && m_asker && !m_closed) {
        m_queued = true;
        QMetaObject::invokeMethod(
            this, [this, proxyHost, refused] { ask(proxyHost, refused); }, Qt::QueuedConnection);
    }
    while ((m_asking || m_queued) && m_answer.round <= refused && !m_closed) {
        m_questionClosed.wait(&m_mutex);
    }
    return m_answer;
}

void ProxyLogin::ask(const QString& proxyHost, int refused)
{
    Asker asker;
    QString user;
    {
        const QMutexLocker lock(&m_mutex);
        m_queued = false;
        // Answered meanwhile for someone else, or a question is open already (its modal loop
        // runs this call): that answer serves everyone.
        if (m_answer.round > refused || m_asking || !m_asker || m_closed) {
            m_questionClosed.wakeAll();
            return;
        }
        m_asking = true;
        asker = m_asker;
        user = m_answer.user;
    }
    QString password;
    const bool given = asker(proxyHost, &user, &password);
    const QMutexLocker lock(&m_mutex);
    m_asking = false;
    if (given) {
        m_answer = {user, password, m_answer.round + 1};
    }
    m_questionClosed.wakeAll();
}
