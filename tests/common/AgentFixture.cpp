#include "AgentFixture.h"

#include "TransferWatch.h"

#include <QDir>

bool AgentFixture::makeFolders()
{
    m_work = std::make_unique<QTemporaryDir>();
    m_data = m_work->filePath(QStringLiteral("data"));
    m_downloads = m_work->filePath(QStringLiteral("Downloads"));
    return m_work->isValid() && QDir().mkpath(m_downloads);
}

TransferAgent& AgentFixture::agent(ProxyLogin* proxyLogin)
{
    m_agent = std::make_unique<TransferAgent>(m_data, m_downloads, &m_trust, &m_grants, proxyLogin);
    return *m_agent;
}

QJsonObject AgentFixture::transfer(const QString& id) const
{
    return TransferWatch::transfer(*m_agent, id);
}

QString AgentFixture::startUpload(const QString& path, const QUrl& collection, const QString& origin)
{
    m_grants.grantUpload(origin, path);
    return m_agent->startUpload(path, collection, {}, {}, origin).transfer.value(QStringLiteral("id")).toString();
}

QString AgentFixture::startDownload(const QUrl& url, const QString& name, const QString& origin)
{
    return m_agent->startDownload(url, name, QStringLiteral("downloads"), {}, origin)
        .transfer.value(QStringLiteral("id"))
        .toString();
}
