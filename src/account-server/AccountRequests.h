#pragma once

#include "app/models/AccountFolga.h"
#include "app/models/BrowserSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The bodies that clients send to the account service, read strictly: a body
// that is not JSON, misses a key or carries a wrong type is refused with a
// short reason and nothing of it is used. The records the client itself reads
// (sessions, snapshots, replies) are the application's wire records.
namespace kestravin::AccountRequests {

// Lengths the service accepts, in characters as a person counts them.
inline constexpr int reasonMinimum = 8;
inline constexpr int reasonMaximum = 1500;
inline constexpr qint64 exceptionMinutesMaximum = 30;
inline constexpr qint64 focusMinutesMaximum = 24 * 60;
inline constexpr int identifierMaximum = 200;

struct Refresh {
    QString refreshToken;
};

struct Poll {
    QString secret;
};

struct FocusStart {
    qint64 minutes = 0;
};

struct SettingsUpdate {
    BrowserSettings settings;
    qint64 revision = 0;
};

struct Missions {
    QList<AccountMission> missions;
};

struct FolgaEarn {
    AccountMission mission;
};

// One request to "/api/decide": either a platform or site ("app" or "site"
// mode) or one link.
struct Decide {
    enum class Mode { app, site, link };
    Mode mode = Mode::app;
    // The site's root in site mode.
    QString site;
    // The link's canonical address and its platform ("youtube" or "x") in link mode.
    QString url;
    QString platform;
    QString reason;
    qint64 minutes = 0;
    QString appId;
    QString appName;
    QString focusId;
    QString requestId;
    // The end of the focus as the client sees it, Unix milliseconds; absent in link mode.
    std::optional<double> focusEnd;
};

// The confirmation form of the device link (application/x-www-form-urlencoded).
struct LinkForm {
    enum class Action { confirm, cancel };
    QString code;
    QString token;
    Action action = Action::confirm;
    QString name;
    QString install;
};

std::optional<Refresh> refresh(const QByteArray& body, QString* error);
std::optional<Poll> poll(const QByteArray& body, QString* error);
std::optional<FocusStart> focusStart(const QByteArray& body, QString* error);
std::optional<SettingsUpdate> settingsUpdate(const QByteArray& body, QString* error);
std::optional<Missions> missions(const QByteArray& body, QString* error);
std::optional<FolgaEarn> folgaEarn(const QByteArray& body, QString* error);
std::optional<Decide> decide(const QByteArray& body, QString* error);
std::optional<LinkForm> linkForm(const QByteArray& body, QString* error);

// Characters as a person counts them (grapheme clusters).
int characters(const QString& text);
// A site root as the block list keeps it: lower-case labels of letters,
// digits and hyphens joined by dots, at most 253 characters.
bool isSiteRoot(const QString& text);
// A name a person typed: trimmed, 1 to 80 characters, no control characters.
std::optional<QString> personName(const QString& text);

} // namespace kestravin::AccountRequests
