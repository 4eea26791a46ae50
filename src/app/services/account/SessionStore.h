#pragma once

#include "app/models/AccountRecords.h"

#include <QString>

#include <functional>
#include <optional>

namespace kestravin {

// Where the account session is kept between runs. Every operation finishes
// through its callback on the GUI thread, never before the call returns.
class SessionStore {
public:
    // No session is an empty optional; a store that cannot be read answers the
    // same after logging why.
    using ReadDone = std::function<void(std::optional<DesktopAccountSession>)>;
    // An empty error means success; otherwise the sentence to show.
    using Done = std::function<void(std::optional<QString> error)>;

    virtual ~SessionStore() = default;
    virtual void read(ReadDone done) = 0;
    virtual void save(const DesktopAccountSession& session, Done done) = 0;
    virtual void remove(Done done) = 0;
};

// A store in memory, for tests and for builds without a keyring.
class MemorySessionStore final : public SessionStore {
public:
    void read(ReadDone done) override;
    void save(const DesktopAccountSession& session, Done done) override;
    void remove(Done done) override;

    // The stored JSON, or empty.
    QByteArray stored() const { return m_data; }
    void setStored(QByteArray data) { m_data = std::move(data); }
    // Makes every later save fail with `error` (a missing keyring).
    void failSaves(std::optional<QString> error) { m_saveError = std::move(error); }

private:
    QByteArray m_data;
    std::optional<QString> m_saveError;
};

// The Secret Service through QtKeychain, under the service
// "com.kestravin.account" and the environment's account name. There is no
// plain-text fallback: without a keyring, saving fails.
class KeychainSessionStore final : public SessionStore {
public:
    explicit KeychainSessionStore(QString account);

    void read(ReadDone done) override;
    void save(const DesktopAccountSession& session, Done done) override;
    void remove(Done done) override;

    static const QString service;

private:
    QString m_account;
};

} // namespace kestravin
