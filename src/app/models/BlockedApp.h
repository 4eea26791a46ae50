#pragma once

#include <QHashFunctions>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace kestravin {

// An app hidden during a focus. On Linux the identifier is the app's
// desktop-file ID without ".desktop" (for example "org.mozilla.firefox").
struct BlockedApp {
    QString bundleIdentifier;
    QString name;

    BlockedApp() = default;
    BlockedApp(QString bundleIdentifier, QString name);

    QJsonObject toJson() const;
    static std::optional<BlockedApp> fromJson(const QJsonValue& value, QString* error = nullptr);

    bool operator==(const BlockedApp&) const = default;
};

size_t qHash(const BlockedApp& app, size_t seed = 0) noexcept;

} // namespace kestravin
