#pragma once

#include "app/models/OrlaConversation.h"
#include "app/models/SiteTileItem.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kestravin {

// The decisions of the assistant's request form, apart from its widgets: which
// kinds of request are on offer, which platform a choice stands for, when the
// form and a reply may be sent, and the texts that depend on the choice.
namespace AssistantForm {

// Kinds of request, as the service and the form store them.
inline const QString linkKind = QStringLiteral("link");
inline const QString tiktokKind = QStringLiteral("tiktok");
inline const QString siteKind = QStringLiteral("site");

// The minutes on offer, and what an X authorization link always asks for.
inline const QList<int> minuteChoices { 5, 10, 15, 30 };
inline constexpr int xAuthorizationMinutes = 3;
// The longest justification the window sends, in UTF-16 units.
inline constexpr int conversationLimit = 1500;

// The ways a link could be applied now.
struct LinkRoute {
    bool bridgeEnabled = false;
    bool bridgeConnected = false;
    bool helperReady = false;
    bool hasSession = false;

    // Links are offered at all: the extension is on or there is an account.
    bool offered() const { return bridgeEnabled || hasSession; }
    // A link could be applied: through the extension when it is connected
    // (its daemon control ready), else through the account.
    bool usable() const { return bridgeEnabled && bridgeConnected ? helperReady : hasSession; }
};

// Kinds offered now (never empty); `roots` are the blocked list's own domains.
QStringList kinds(bool linksOffered, const QStringList& roots);
// The chip label of a kind or platform.
QString chipLabel(const QString& kind);
// "5 min".
QString minutesLabel(int minutes);

// The site the form stands for: the choice when it is still a root, else the
// first root, else empty.
QString currentSite(const QStringList& roots, const QString& siteChoice);
// The kind shown: the stored one when it is on offer, else the first kind.
QString shownKind(const QStringList& kinds, const QString& currentKind);
// The platform a kind asks about ("youtube" for links, the site for a site).
QString platformOf(const QString& kind, const QString& currentSite);

// What adopting a platform (from the shield or the service) changes.
struct Adoption {
    QString currentKind;
    // Set when the platform is one of the roots.
    std::optional<QString> siteChoice;
    // Set only when the platform to publish differs from the current one.
    std::optional<QString> selectedPlatform;
};
Adoption adopt(const QString& platform, const QStringList& kinds, const QStringList& roots, const QString& siteChoice,
    const QString& selectedPlatform);

// The form as typed.
struct Fields {
    QString kind;
    QString url;
    int minutes = 5;
    QString reason;
    QString currentSite;
};

// User-perceived characters of `text` without blanks and line breaks at both ends.
qsizetype trimmedCharacters(const QString& text);

bool canSend(const Fields& fields, const LinkRoute& route, bool busy);

// The line under the form.
QString hint(const Fields& fields, bool extensionConnected);

// The fixed duration text that replaces the minute chips for an X authorization link.
QString xAuthorizationDuration();
// The link is an X authorization link, as the form would send it.
bool isXAuthorizationLink(const Fields& fields);

// The request last sent, reused by the conversation.
struct Target {
    bool link = false;
    QString url;
    QString platform;
    int minutes = 0;
    QString what;
    QString original;
    bool operator==(const Target&) const = default;
};
Target target(const Fields& fields);

// One clarifying question and the answer given to it.
using Turn = OrlaConversation::Turn;

// The limits of a reply to a clarifying question. `joinedWith` gives the
// justification the window would send with `answer` as the newest answer.
struct ReplyLimits {
    bool fits = true;
    bool full = false;
};
ReplyLimits replyLimits(const std::function<QString(const QString& answer)>& joinedWith, const QString& reply);
bool canReply(const QString& reply, const ReplyLimits& limits, bool busy, bool hasTarget);
// The warning under the reply field; none while the reply fits.
std::optional<QString> replyWarning(const ReplyLimits& limits);

// The item the site selector shows for a host: the catalogue's entry when it
// knows the host, else the host itself as an added site.
SiteTileItem siteItem(const QString& host);

} // namespace AssistantForm
} // namespace kestravin
