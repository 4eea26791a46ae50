#pragma once

#include "app/models/AccountRecords.h"

#include <QString>

#include <functional>
#include <optional>

namespace kestravin {

// Where the lookup of the stored session stands. A keyring that is locked or
// missing says nothing about whether a session is stored.
enum class SessionLookup : quint8 { pending, unavailable, loaded };

// What a read of the store found.
struct SessionRead {
    std::optional<DesktopAccountSession> session;
    // The keyring did not answer (locked, no Secret Service running).
    bool unavailable = false;
};

// Where the account session is kept between runs. Every operation finishes
// through its callback on the GUI thread, never before the call returns.
class SessionStore {
public:
    // No session is an empty optional; a keyring that cannot be asked is
    // `unavailable`, an unreadable stored value reads as no session.
    using ReadDone = std::function<void(SessionRead)>;
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
    // Makes every later read answer that the keyring is unavailable.
    void failReads(bool unavailable) { m_readsFail = unavailable; }

private:
    QByteArray m_data;
    bool m_readsFail = false;
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
