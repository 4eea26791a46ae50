#include "AccountStore.h"

#include "app/models/InternetDateTime.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray compact(const QJsonArray& array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

// 256 random bits from the system's source, as unpadded base64url.
QString randomToken()
{
    std::array<quint32, 8> words {};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), qsizetype(sizeof(words)));
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString digest(const QString& token)
{
    return QString::fromLatin1(QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}

// Eight letters and digits that cannot be mistaken for one another, "ABCD-2345".
QString linkCode()
{
    static constexpr char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    QString code;
    for (int i = 0; i < 8; ++i) {
        if (i == 4)
            code.append(u'-');
        code.append(QChar::fromLatin1(alphabet[QRandomGenerator::system()->bounded(int(sizeof(alphabet) - 1))]));
    }
    return code;
}

QString isoInstant(qint64 ms)
{
    return InternetDateTime::format(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()));
}

QString dayKey(qint64 ms, const QTimeZone& zone)
{
    return QDateTime::fromMSecsSinceEpoch(ms, zone).date().toString(u"yyyy-MM-dd"_s);
}

qint64 startOfDay(qint64 ms, const QTimeZone& zone)
{
    return QDateTime::fromMSecsSinceEpoch(ms, zone).date().startOfDay(zone).toMSecsSinceEpoch();
}

// Folgas stay valid until the end of the Sunday of the week they were earned in.
qint64 endOfWeek(qint64 ms, const QTimeZone& zone)
{
    const QDate day = QDateTime::fromMSecsSinceEpoch(ms, zone).date();
    return day.addDays(8 - day.dayOfWeek()).startOfDay(zone).toMSecsSinceEpoch();
}

QJsonObject defaultSettings(const QString& timezone)
{
    return { { u"onboarded"_s, false }, { u"enabled"_s, false }, { u"timezone"_s, timezone },
        { u"platforms"_s, QJsonArray {} }, { u"schedule"_s, QJsonArray {} }, { u"sites"_s, QJsonArray {} } };
}

bool sameToken(const QString& a, const QString& b)
{
    // Compares digests so that the time taken says nothing about the token.
    return digest(a) == digest(b);
}

} // namespace

QJsonObject AccountStore::Session::toJson() const
{
    return { { u"accessToken"_s, accessToken }, { u"refreshToken"_s, refreshToken },
        { u"expiresAt"_s, double(expiresAt) } };
}

AccountStore::AccountStore(QString connectionName) : m_connection(std::move(connectionName))
{
}

AccountStore::~AccountStore()
{
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

namespace {

QSqlQuery run(QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery query(db);
    if (!query.prepare(sql))
        throw AccountStore::Failure(query.lastError().text().toStdString());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw AccountStore::Failure(query.lastError().text().toStdString());
    return query;
}

} // namespace

bool AccountStore::open(const QString& path, QString* error)
{
    m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    m_db.setDatabaseName(path);
    if (!m_db.open()) {
        if (error)
            *error = m_db.lastError().text();
        return false;
    }
    try {
        run(m_db, u"PRAGMA journal_mode=WAL"_s);
        run(m_db, u"PRAGMA synchronous=NORMAL"_s);
        run(m_db, u"PRAGMA foreign_keys=ON"_s);
        run(m_db, u"PRAGMA busy_timeout=5000"_s);
        transaction([this] {
            const QStringList schema = {
                u"CREATE TABLE IF NOT EXISTS account (id INTEGER PRIMARY KEY CHECK (id = 1), user_id TEXT NOT NULL,"
                "name TEXT NOT NULL, email TEXT NOT NULL, settings TEXT NOT NULL, revision INTEGER NOT NULL,"
                "missions TEXT NOT NULL, created_at INTEGER NOT NULL)"_s,
                u"CREATE TABLE IF NOT EXISTS devices (id INTEGER PRIMARY KEY, label TEXT NOT NULL,"
                "linked_at INTEGER NOT NULL, last_seen INTEGER NOT NULL)"_s,
                u"CREATE TABLE IF NOT EXISTS sessions (id INTEGER PRIMARY KEY, device_id INTEGER NOT NULL"
                " REFERENCES devices(id), access_hash TEXT NOT NULL UNIQUE, access_expires INTEGER NOT NULL,"
                "refresh_hash TEXT NOT NULL UNIQUE, refresh_expires INTEGER NOT NULL,"
                "revoked INTEGER NOT NULL DEFAULT 0)"_s,
                u"CREATE TABLE IF NOT EXISTS links (code TEXT PRIMARY KEY, secret_hash TEXT NOT NULL UNIQUE,"
                "form_token TEXT NOT NULL, expires_at INTEGER NOT NULL, state TEXT NOT NULL,"
                "install TEXT NOT NULL DEFAULT '')"_s,
                u"CREATE TABLE IF NOT EXISTS focus (id TEXT PRIMARY KEY, started_at INTEGER NOT NULL,"
                "ends_at INTEGER NOT NULL, stopped_at INTEGER)"_s,
                u"CREATE TABLE IF NOT EXISTS folgas (id INTEGER PRIMARY KEY, mission TEXT NOT NULL,"
                "day TEXT NOT NULL, earned_at INTEGER NOT NULL, expires_at INTEGER NOT NULL, used_at INTEGER,"
                "ends_at INTEGER, UNIQUE (mission, day))"_s,
                u"CREATE TABLE IF NOT EXISTS decisions (id INTEGER PRIMARY KEY, focus_id TEXT NOT NULL,"
                "target TEXT NOT NULL, decision TEXT NOT NULL, minutes INTEGER NOT NULL, at INTEGER NOT NULL)"_s,
                u"CREATE TABLE IF NOT EXISTS grants (id INTEGER PRIMARY KEY, site TEXT NOT NULL,"
                "focus_id TEXT NOT NULL, granted_at INTEGER NOT NULL, expires_at INTEGER NOT NULL)"_s,
                u"CREATE INDEX IF NOT EXISTS grants_focus ON grants (focus_id, expires_at)"_s,
                u"CREATE INDEX IF NOT EXISTS decisions_focus ON decisions (focus_id, target)"_s,
            };
            for (const QString& statement : schema)
                run(m_db, statement);
        });
    } catch (const Failure& failure) {
        if (error)
            *error = QString::fromStdString(failure.what());
        return false;
    }
    return true;
}

void AccountStore::transaction(const std::function<void()>& work)
{
    if (!m_db.transaction())
        throw Failure(m_db.lastError().text().toStdString());
    try {
        work();
    } catch (...) {
        m_db.rollback();
        throw;
    }
    if (!m_db.commit()) {
        const std::string text = m_db.lastError().text().toStdString();
        m_db.rollback();
        throw Failure(text);
    }
}

// Sessions

AccountStore::Session AccountStore::issueSession(qint64 deviceId, qint64 now)
{
    Session session { randomToken(), randomToken(), now + accessLifetimeMs };
    run(m_db,
        u"INSERT INTO sessions (device_id, access_hash, access_expires, refresh_hash, refresh_expires)"
        " VALUES (?, ?, ?, ?, ?)"_s,
        { deviceId, digest(session.accessToken), session.expiresAt, digest(session.refreshToken),
            now + refreshLifetimeMs });
    return session;
}

std::optional<AccountStore::Caller> AccountStore::authenticate(const QString& accessToken, qint64 now)
{
    QSqlQuery query = run(m_db,
        u"SELECT id, device_id FROM sessions WHERE access_hash = ? AND revoked = 0 AND access_expires > ?"_s,
        { digest(accessToken), now });
    if (!query.next())
        return std::nullopt;
    const Caller caller { query.value(0).toLongLong(), query.value(1).toLongLong() };
    touch(caller, now);
    return caller;
}

void AccountStore::touch(const Caller& caller, qint64 now)
{
    // Once a minute is enough for "last seen", and keeps reads free of writes.
    run(m_db, u"UPDATE devices SET last_seen = ? WHERE id = ? AND last_seen < ?"_s,
        { now, caller.deviceId, now - 60 * 1000 });
}

std::optional<AccountStore::Session> AccountStore::refresh(const QString& refreshToken, qint64 now)
{
    std::optional<Session> result;
    transaction([&] {
        QSqlQuery query = run(m_db,
            u"SELECT id, device_id FROM sessions WHERE refresh_hash = ? AND revoked = 0 AND refresh_expires > ?"_s,
            { digest(refreshToken), now });
        if (!query.next())
            return;
        const qint64 id = query.value(0).toLongLong();
        // Rotation: both tokens are replaced, so the used refresh token is dead.
        Session session { randomToken(), randomToken(), now + accessLifetimeMs };
        run(m_db,
            u"UPDATE sessions SET access_hash = ?, access_expires = ?, refresh_hash = ?, refresh_expires = ?"
            " WHERE id = ?"_s,
            { digest(session.accessToken), session.expiresAt, digest(session.refreshToken), now + refreshLifetimeMs,
                id });
        result = session;
    });
    return result;
}

void AccountStore::revoke(qint64 sessionId)
{
    transaction([&] { run(m_db, u"UPDATE sessions SET revoked = 1 WHERE id = ?"_s, { sessionId }); });
}

// Device link

AccountStore::LinkStart AccountStore::beginLink(qint64 now)
{
    LinkStart start;
    transaction([&] {
        run(m_db, u"DELETE FROM links WHERE expires_at < ?"_s, { now - linkLifetimeMs });
        QString code;
        do {
            code = linkCode();
        } while (run(m_db, u"SELECT 1 FROM links WHERE code = ?"_s, { code }).next());
        start = { code, randomToken(), now + linkLifetimeMs };
        run(m_db,
            u"INSERT INTO links (code, secret_hash, form_token, expires_at, state) VALUES (?, ?, ?, ?, 'pending')"_s,
            { code, digest(start.secret), randomToken(), start.expiresAt });
    });
    return start;
}

AccountStore::PollResult AccountStore::poll(const QString& secret, qint64 now, const QString& timezone)
{
    PollResult result;
    transaction([&] {
        QSqlQuery query = run(
            m_db, u"SELECT code, state, expires_at, install FROM links WHERE secret_hash = ?"_s, { digest(secret) });
        if (!query.next())
            return;
        const QString code = query.value(0).toString();
        const QString state = query.value(1).toString();
        const qint64 expiresAt = query.value(2).toLongLong();
        const QString install = query.value(3).toString();
        if (state == u"cancelled"_s) {
            result.status = PollResult::Status::cancelled;
            return;
        }
        if (state == u"delivered"_s)
            return; // A session goes out once; the secret is spent.
        if (now >= expiresAt) {
            result.status = PollResult::Status::expired;
            return;
        }
        if (state != u"confirmed"_s) {
            result.status = PollResult::Status::pending;
            return;
        }
        QSqlQuery numbered = run(m_db, u"SELECT COALESCE(MAX(id), 0) + 1 FROM devices"_s);
        numbered.next();
        const QString label = install.isEmpty() ? u"Computador %1"_s.arg(numbered.value(0).toLongLong())
                                                : u"Computador %1"_s.arg(install.left(8));
        const QSqlQuery device
            = run(m_db, u"INSERT INTO devices (label, linked_at, last_seen) VALUES (?, ?, ?)"_s, { label, now, now });
        result.session = issueSession(device.lastInsertId().toLongLong(), now);
        run(m_db, u"UPDATE links SET state = 'delivered' WHERE code = ?"_s, { code });
        // The first computer to link tells the account its time zone.
        const QTimeZone zone(timezone.toUtf8());
        if (zone.isValid()) {
            QSqlQuery account = run(m_db, u"SELECT settings, revision FROM account WHERE id = 1"_s);
            if (account.next() && account.value(1).toLongLong() == 0) {
                QJsonObject settings = QJsonDocument::fromJson(account.value(0).toByteArray()).object();
                settings.insert(u"timezone"_s, timezone);
                run(m_db, u"UPDATE account SET settings = ? WHERE id = 1"_s, { compact(settings) });
            }
        }
        result.status = PollResult::Status::connected;
    });
    return result;
}

std::optional<AccountStore::PendingLink> AccountStore::pendingLink(const QString& code, qint64 now)
{
    QSqlQuery query = run(m_db,
        u"SELECT form_token, expires_at FROM links WHERE code = ? AND state = 'pending' AND expires_at > ?"_s,
        { code.toUpper(), now });
    if (!query.next())
        return std::nullopt;
    return PendingLink { code.toUpper(), query.value(0).toString(), query.value(1).toLongLong() };
}

AccountStore::ConfirmResult AccountStore::answerLink(const AccountRequests::LinkForm& form, qint64 now)
{
    ConfirmResult result = ConfirmResult::unknown;
    transaction([&] {
        const auto link = pendingLink(form.code, now);
        if (!link)
            return;
        if (!sameToken(link->formToken, form.token)) {
            result = ConfirmResult::badToken;
            return;
        }
        if (form.action == AccountRequests::LinkForm::Action::cancel) {
            run(m_db, u"UPDATE links SET state = 'cancelled' WHERE code = ?"_s, { link->code });
            result = ConfirmResult::cancelled;
            return;
        }
        if (!person()) {
            const auto name = AccountRequests::personName(form.name);
            if (!name) {
                result = ConfirmResult::nameNeeded;
                return;
            }
            run(m_db,
                u"INSERT INTO account (id, user_id, name, email, settings, revision, missions, created_at)"
                " VALUES (1, ?, ?, '', ?, 0, '[]', ?)"_s,
                { QUuid::createUuid().toString(QUuid::WithoutBraces), *name, compact(defaultSettings(u"UTC"_s)), now });
        }
        static const QRegularExpression installPattern(u"^[A-Za-z0-9-]{1,64}$"_s);
        const QString install = installPattern.match(form.install).hasMatch() ? form.install : u""_s;
        run(m_db, u"UPDATE links SET state = 'confirmed', install = COALESCE(?, '') WHERE code = ?"_s,
            { install, link->code });
        result = ConfirmResult::confirmed;
    });
    return result;
}

// The account

std::optional<AccountStore::Person> AccountStore::person()
{
    QSqlQuery query = run(m_db, u"SELECT user_id, name, email FROM account WHERE id = 1"_s);
    if (!query.next())
        return std::nullopt;
    return Person { query.value(0).toString(), query.value(1).toString(), query.value(2).toString() };
}

QList<AccountStore::Device> AccountStore::devices(qint64 now)
{
    QSqlQuery query = run(m_db,
        u"SELECT DISTINCT d.label, d.linked_at, d.last_seen FROM devices d JOIN sessions s ON s.device_id = d.id"
        " WHERE s.revoked = 0 AND s.refresh_expires > ? ORDER BY d.linked_at"_s,
        { now });
    QList<Device> result;
    while (query.next())
        result.append({ query.value(0).toString(), query.value(1).toLongLong(), query.value(2).toLongLong() });
    return result;
}

QString AccountStore::settingsTimezone()
{
    QSqlQuery query = run(m_db, u"SELECT settings FROM account WHERE id = 1"_s);
    if (!query.next())
        return {};
    return QJsonDocument::fromJson(query.value(0).toByteArray()).object().value(u"timezone"_s).toString();
}

QByteArray AccountStore::bootstrap(qint64 now, const QTimeZone& zone)
{
    QSqlQuery query
        = run(m_db, u"SELECT user_id, name, email, settings, revision, missions FROM account WHERE id = 1"_s);
    if (!query.next())
        throw Failure("no account");
    QJsonObject user { { u"id"_s, query.value(0).toString() }, { u"email"_s, query.value(2).toString() } };
    if (!query.value(1).toString().isEmpty())
        user.insert(u"name"_s, query.value(1).toString());
    const QJsonObject folgaBlock = folga(now, zone);
    const QJsonObject active = folgaBlock.value(u"active"_s).toObject();
    double pausedUntil = 0;
    if (const auto end = InternetDateTime::parse(active.value(u"endsAt"_s).toString()))
        pausedUntil = double(end->toMSecsSinceEpoch());

    QJsonArray grants;
    if (const auto running = runningFocus(now)) {
        QSqlQuery rows = run(m_db,
            u"SELECT site, granted_at, expires_at FROM grants WHERE focus_id = ? AND expires_at > ?"
            " ORDER BY granted_at"_s,
            { running->id, now });
        while (rows.next()) {
            grants.append(QJsonObject { { u"site"_s, rows.value(0).toString() }, { u"focusId"_s, running->id },
                { u"grantedAt"_s, double(rows.value(1).toLongLong()) },
                { u"expiresAt"_s, double(rows.value(2).toLongLong()) } });
        }
    }

    // The settings and goals are stored as the compact JSON they were saved
    // in; they go out as they are instead of being parsed again.
    QByteArray out = "{\"user\":"_ba + compact(user);
    out += ",\"settings\":"_ba + query.value(3).toByteArray();
    out += ",\"revision\":"_ba + QByteArray::number(query.value(4).toLongLong());
    out += ",\"focus\":"_ba + compact(focus(now));
    out += ",\"pausedUntil\":"_ba + QByteArray::number(qint64(pausedUntil));
    out += ",\"folga\":"_ba + compact(folgaBlock);
    out += ",\"missions\":"_ba + query.value(5).toByteArray();
    out += ",\"grants\":"_ba + compact(grants) + "}"_ba;
    return out;
}

std::pair<AccountStore::SaveResult, qint64> AccountStore::saveSettings(const AccountRequests::SettingsUpdate& update)
{
    std::pair<SaveResult, qint64> result { SaveResult::stale, 0 };
    transaction([&] {
        // The revision check and the write are one statement: of two writers
        // that start from the same revision exactly one gets through.
        QSqlQuery query
            = run(m_db, u"UPDATE account SET settings = ?, revision = revision + 1 WHERE id = 1 AND revision = ?"_s,
                { compact(update.settings.toJson()), update.revision });
        QSqlQuery now = run(m_db, u"SELECT revision FROM account WHERE id = 1"_s);
        now.next();
        result = { query.numRowsAffected() == 1 ? SaveResult::saved : SaveResult::stale, now.value(0).toLongLong() };
    });
    return result;
}

void AccountStore::saveMissions(const QList<AccountMission>& missions)
{
    QJsonArray array;
    for (const AccountMission& mission : missions)
        array.append(mission.toJson());
    transaction([&] { run(m_db, u"UPDATE account SET missions = ? WHERE id = 1"_s, { compact(array) }); });
}

// Focus

std::optional<AccountStore::RunningFocus> AccountStore::runningFocus(qint64 now)
{
    QSqlQuery query = run(m_db,
        u"SELECT id, ends_at FROM focus WHERE stopped_at IS NULL AND started_at <= ? AND ends_at > ?"
        " ORDER BY started_at DESC LIMIT 1"_s,
        { now, now });
    if (!query.next())
        return std::nullopt;
    return RunningFocus { query.value(0).toString(), query.value(1).toLongLong() };
}

QJsonObject AccountStore::focus(qint64 now)
{
    const auto running = runningFocus(now);
    if (!running)
        return { { u"enabled"_s, false } };
    return { { u"enabled"_s, true }, { u"id"_s, running->id }, { u"endsAt"_s, double(running->endsAt) },
        { u"source"_s, u"account"_s } };
}

QJsonObject AccountStore::startFocus(qint64 minutes, qint64 now)
{
    transaction([&] {
        // A new focus takes the place of the running one.
        run(m_db, u"UPDATE focus SET stopped_at = ? WHERE stopped_at IS NULL AND ends_at > ?"_s, { now, now });
        run(m_db, u"INSERT INTO focus (id, started_at, ends_at) VALUES (?, ?, ?)"_s,
            { QUuid::createUuid().toString(QUuid::WithoutBraces), now, now + minutes * 60 * 1000 });
    });
    return focus(now);
}

QJsonObject AccountStore::stopFocus(qint64 now)
{
    transaction([&] {
        run(m_db, u"UPDATE focus SET stopped_at = ? WHERE stopped_at IS NULL AND ends_at > ?"_s, { now, now });
    });
    return focus(now);
}

// Folgas

QJsonObject AccountStore::folga(qint64 now, const QTimeZone& zone)
{
    QSqlQuery available = run(
        m_db, u"SELECT COUNT(*), MIN(expires_at) FROM folgas WHERE used_at IS NULL AND expires_at > ?"_s, { now });
    available.next();
    const qint64 count = available.value(0).toLongLong();
    QJsonObject block { { u"available"_s, count }, { u"minutes"_s, folgaMinutes } };
    if (count > 0)
        block.insert(u"expiresAt"_s, isoInstant(available.value(1).toLongLong()));
    QSqlQuery active
        = run(m_db, u"SELECT MAX(ends_at) FROM folgas WHERE used_at IS NOT NULL AND ends_at > ?"_s, { now });
    const bool running = active.next() && !active.value(0).isNull();
    if (running)
        block.insert(u"active"_s, QJsonObject { { u"endsAt"_s, isoInstant(active.value(0).toLongLong()) } });
    else if (count > 0)
        block.insert(u"endsAtIfUsed"_s, isoInstant(now + folgaMinutes * 60 * 1000));

    QJsonArray earned;
    QSqlQuery today
        = run(m_db, u"SELECT mission FROM folgas WHERE day = ? ORDER BY earned_at"_s, { dayKey(now, zone) });
    while (today.next())
        earned.append(today.value(0).toString());
    block.insert(u"earnedToday"_s, earned);

    // Focus beyond the schedule: the account's own focus sessions, counted
    // from the start of the day up to now.
    const qint64 dayStart = startOfDay(now, zone);
    QSqlQuery sessions = run(m_db,
        u"SELECT started_at, MIN(ends_at, COALESCE(stopped_at, ends_at)) FROM focus"
        " WHERE started_at < ? AND ends_at > ?"_s,
        { now, dayStart });
    qint64 focusedMs = 0;
    while (sessions.next()) {
        const qint64 from = std::max(sessions.value(0).toLongLong(), dayStart);
        const qint64 to = std::min(sessions.value(1).toLongLong(), now);
        focusedMs += std::max<qint64>(0, to - from);
    }
    block.insert(u"focusMinutes"_s, focusedMs / 60000);
    return block;
}

std::pair<AccountStore::FolgaResult, QJsonObject> AccountStore::useFolga(qint64 now, const QTimeZone& zone)
{
    FolgaResult result = FolgaResult::done;
    transaction([&] {
        if (run(m_db, u"SELECT 1 FROM folgas WHERE used_at IS NOT NULL AND ends_at > ?"_s, { now }).next()) {
            result = FolgaResult::alreadyActive;
            return;
        }
        // The folga closest to expiring goes first.
        QSqlQuery next = run(m_db,
            u"SELECT id FROM folgas WHERE used_at IS NULL AND expires_at > ? ORDER BY expires_at, id LIMIT 1"_s,
            { now });
        if (!next.next()) {
            result = FolgaResult::noneAvailable;
            return;
        }
        run(m_db, u"UPDATE folgas SET used_at = ?, ends_at = ? WHERE id = ?"_s,
            { now, now + folgaMinutes * 60 * 1000, next.value(0) });
    });
    if (result != FolgaResult::done)
        return { result, {} };
    return { result, { { u"folga"_s, folga(now, zone) }, { u"focus"_s, focus(now) } } };
}

std::pair<AccountStore::FolgaResult, QJsonObject> AccountStore::earnFolga(
    const AccountMission& mission, qint64 now, const QTimeZone& zone)
{
    FolgaResult result = FolgaResult::done;
    transaction([&] {
        QSqlQuery saved = run(m_db, u"SELECT missions FROM account WHERE id = 1"_s);
        saved.next();
        const QJsonArray missions = QJsonDocument::fromJson(saved.value(0).toByteArray()).array();
        const bool known = std::any_of(missions.cbegin(), missions.cend(),
            [&](const QJsonValue& value) { return value.toObject().value(u"kind"_s).toString() == mission.kind; });
        if (!known) {
            result = FolgaResult::unknownMission;
            return;
        }
        const QString day = dayKey(now, zone);
        if (run(m_db, u"SELECT 1 FROM folgas WHERE mission = ? AND day = ?"_s, { mission.kind, day }).next()) {
            result = FolgaResult::alreadyEarned;
            return;
        }
        run(m_db, u"INSERT INTO folgas (mission, day, earned_at, expires_at) VALUES (?, ?, ?, ?)"_s,
            { mission.kind, day, now, endOfWeek(now, zone) });
    });
    if (result != FolgaResult::done)
        return { result, {} };
    return { result, { { u"folga"_s, folga(now, zone) } } };
}

QJsonArray AccountStore::folgaHistory(qint64 now)
{
    QSqlQuery rows = run(m_db,
        u"SELECT mission, earned_at, expires_at, used_at, ends_at FROM folgas ORDER BY earned_at DESC, id DESC"
        " LIMIT 200"_s);
    QJsonArray entries;
    while (rows.next()) {
        const qint64 expiresAt = rows.value(2).toLongLong();
        QJsonObject entry { { u"mission"_s, rows.value(0).toString() },
            { u"earnedAt"_s, double(rows.value(1).toLongLong()) }, { u"expiresAt"_s, double(expiresAt) } };
        QString status;
        if (!rows.value(3).isNull()) {
            const qint64 endsAt = rows.value(4).toLongLong();
            entry.insert(u"usedAt"_s, double(rows.value(3).toLongLong()));
            entry.insert(u"endsAt"_s, double(endsAt));
            status = endsAt > now ? u"active"_s : u"used"_s;
        } else {
            status = expiresAt > now ? u"available"_s : u"expired"_s;
        }
        entry.insert(u"status"_s, status);
        entries.append(entry);
    }
    return entries;
}

// Exceptions

AccountStore::DecideOutcome AccountStore::decide(const AccountRequests::Decide& request, qint64 now)
{
    using Mode = AccountRequests::Decide::Mode;
    DecideOutcome outcome;
    transaction([&] {
        const auto running = runningFocus(now);
        if (!running || running->id != request.focusId) {
            outcome.status = 409;
            outcome.error = u"A agenda ou o foco mudou. Faça um novo pedido."_s;
            return;
        }
        QString target;
        switch (request.mode) {
        case Mode::link:
            target = u"platform:"_s + request.platform;
            break;
        case Mode::site:
            target = request.site;
            break;
        case Mode::app:
            target = request.appId;
            break;
        }
        QSqlQuery used = run(m_db,
            u"SELECT COALESCE(SUM(CASE WHEN decision = 'allow' THEN minutes ELSE 0 END), 0),"
            " COALESCE(SUM(CASE WHEN decision = 'clarify' AND target = ? THEN 1 ELSE 0 END), 0)"
            " FROM decisions WHERE focus_id = ?"_s,
            { target, running->id });
        used.next();

        DecideRules::Input input;
        input.nowMs = now;
        input.focusEndMs = running->endsAt;
        if (request.focusEnd && std::isfinite(*request.focusEnd))
            input.focusEndMs = std::min(input.focusEndMs, qint64(*request.focusEnd));
        input.minutes = request.minutes;
        input.reasonCharacters = AccountRequests::characters(request.reason.trimmed());
        input.allowedMinutes = used.value(0).toLongLong();
        input.clarified = used.value(1).toLongLong() > 0;
        const DecideRules::Decision decision = DecideRules::decide(input);

        run(m_db, u"INSERT INTO decisions (focus_id, target, decision, minutes, at) VALUES (?, ?, ?, ?, ?)"_s,
            { running->id, target, decision.decision, decision.minutesGranted, now });
        // A site or a link platform opens through the account's grants; a
        // whole platform without a site is opened by the computer itself.
        if (decision.expiresAtMs && request.mode != Mode::app) {
            run(m_db, u"INSERT INTO grants (site, focus_id, granted_at, expires_at) VALUES (?, ?, ?, ?)"_s,
                { target, running->id, now, *decision.expiresAtMs });
        }

        QJsonObject reply { { u"decision"_s, decision.decision }, { u"reason"_s, decision.reason } };
        if (request.mode == Mode::link) {
            if (decision.expiresAtMs)
                reply.insert(u"grantExpiresAt"_s, double(*decision.expiresAtMs));
        } else {
            reply.insert(u"requestId"_s, request.requestId);
            reply.insert(u"focusId"_s, running->id);
            reply.insert(u"appId"_s, request.appId);
            if (decision.expiresAtMs)
                reply.insert(u"expiresAt"_s, double(*decision.expiresAtMs));
        }
        outcome.reply = reply;
    });
    return outcome;
}

} // namespace kestravin
