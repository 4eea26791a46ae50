#include "app/services/account/SessionStore.h"

#include "app/models/AccountJson.h"

#include <QLoggingCategory>
#include <QTimer>

#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

Q_LOGGING_CATEGORY(lcSession, "com.kestravin.app.Account")

void later(std::function<void()> work)
{
    QTimer::singleShot(0, std::move(work));
}

std::optional<DesktopAccountSession> decodeStored(const QByteArray& data)
{
    if (data.isEmpty())
        return std::nullopt;
    QString error;
    auto session = AccountJson::decode<DesktopAccountSession>(data, &error);
    if (!session)
        qCWarning(lcSession) << "stored session is unreadable:" << error;
    return session;
}

QString keyringError()
{
    return u"Não foi possível guardar a sessão no chaveiro do sistema. Verifique se o chaveiro está disponível e desbloqueado."_s;
}

} // namespace

void MemorySessionStore::read(ReadDone done)
{
    later([data = m_data, fail = m_readsFail, done = std::move(done)] {
        done(fail ? SessionRead { std::nullopt, true } : SessionRead { decodeStored(data) });
    });
}

void MemorySessionStore::save(const DesktopAccountSession& session, Done done)
{
    if (!m_saveError)
        m_data = session.toJsonBytes();
    later([error = m_saveError, done = std::move(done)] { done(error); });
}

void MemorySessionStore::remove(Done done)
{
    m_data.clear();
    later([done = std::move(done)] { done(std::nullopt); });
}

const QString KeychainSessionStore::service = u"com.kestravin.account"_s;

KeychainSessionStore::KeychainSessionStore(QString account) : m_account(std::move(account))
{
}

void KeychainSessionStore::read(ReadDone done)
{
    auto* job = new QKeychain::ReadPasswordJob(service);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(m_account);
    QObject::connect(job, &QKeychain::Job::finished, job, [job, done = std::move(done)] {
        if (job->error() == QKeychain::EntryNotFound) {
            done({});
            return;
        }
        if (job->error() != QKeychain::NoError) {
            qCWarning(lcSession) << "keyring read failed:" << job->errorString();
            done({ std::nullopt, true });
            return;
        }
        done({ decodeStored(job->textData().toUtf8()) });
    });
    job->start();
}

void KeychainSessionStore::save(const DesktopAccountSession& session, Done done)
{
    auto* job = new QKeychain::WritePasswordJob(service);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(m_account);
    job->setTextData(QString::fromUtf8(session.toJsonBytes()));
    QObject::connect(job, &QKeychain::Job::finished, job, [job, done = std::move(done)] {
        if (job->error() != QKeychain::NoError) {
            qCWarning(lcSession) << "keyring write failed:" << job->errorString();
            done(keyringError());
            return;
        }
        done(std::nullopt);
    });
    job->start();
}

void KeychainSessionStore::remove(Done done)
{
    auto* job = new QKeychain::DeletePasswordJob(service);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(m_account);
    QObject::connect(job, &QKeychain::Job::finished, job, [job, done = std::move(done)] {
        if (job->error() != QKeychain::NoError && job->error() != QKeychain::EntryNotFound) {
            qCWarning(lcSession) << "keyring delete failed:" << job->errorString();
            done(job->errorString());
            return;
        }
        done(std::nullopt);
    });
    job->start();
}

} // namespace kestravin
