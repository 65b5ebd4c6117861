#ifndef PROXYLOGIN_H
#define PROXYLOGIN_H

#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

#include <functional>

// The user name and password for a proxy that asks for them (407), shared by the page, the
// update check and the transfer agent. The user is asked once per run; the answer is held in
// memory only, and a proxy that refuses it has the user asked again.
class ProxyLogin : public QObject
{
    Q_OBJECT

public:
    struct Answer
    {
        QString user;
        QString password;
        // Counts the user's answers; 0 before the first.
        int round = 0;
    };
    // Shows the dialog; false when the user cancelled. Runs on the GUI thread.
    using Asker = std::function<bool(const QString& proxyHost, QString* user, QString* password)>;

    // Lives on the GUI thread, where the asker runs.
    explicit ProxyLogin(QObject* parent = nullptr);

    // Set by the shell; without it nobody is asked and a proxy's 407 ends the request.
    void setAsker(Asker asker);
    // The latest answer, without asking. Safe from any thread.
    Answer current() const;
    // The answer to give proxyHost, which refused the answer of round refused (0: none was
    // given yet). Asks the user unless a newer answer exists already; another thread waits
    // for the answer. An answer of no newer round means the user cancelled. Safe from any thread.
    Answer answerFor(const QString& proxyHost, int refused);
    // At exit: nobody is asked any more, and threads waiting for an answer go on without one.
    void close();

private:
    void ask(const QString& proxyHost, int refused);

    mutable QMutex m_mutex;
    QWaitCondition m_questionClosed;
    Answer m_answer;
    Asker m_asker;
    bool m_asking = false;
    bool m_queued = false;
    bool m_closed = false;
};

#endif // PROXYLOGIN_H
