#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// The earned-break ("folga") balance of the account. Instants are internet
// date-time texts as the account sends them (read with InternetDateTime).
struct AccountFolga {
    struct Active {
        QString endsAt;
        bool operator==(const Active&) const = default;
    };

    qint64 available = 0;
    qint64 minutes = 0;
    std::optional<QString> expiresAt;
    std::optional<Active> active;
    std::optional<QString> endsAtIfUsed;
    QStringList earnedToday;
    qint64 focusMinutes = 0;

    bool operator==(const AccountFolga&) const = default;
};

} // namespace kestravin
