#pragma once

#include <QDateTime>
#include <QString>

namespace kestravin {

// The state of the site block as the user sees it. Never stored.
class BlockingStatus {
public:
    enum class Kind { active, inactive, manualOverride, scheduledFor, error };

    BlockingStatus() = default;

    static BlockingStatus active() { return BlockingStatus(Kind::active); }
    static BlockingStatus inactive() { return BlockingStatus(Kind::inactive); }
    static BlockingStatus manualOverride() { return BlockingStatus(Kind::manualOverride); }
    static BlockingStatus scheduledFor(const QDateTime& date);
    // `message` is shown to the user as it stands.
    static BlockingStatus error(const QString& message);

    Kind kind() const { return m_kind; }
    // The instant of scheduledFor(); invalid for the other kinds.
    QDateTime date() const { return m_date; }
    // The message of error(); empty for the other kinds.
    QString message() const { return m_message; }

    // The same kind with equal payloads (dates compare as instants).
    bool operator==(const BlockingStatus&) const = default;

private:
    explicit BlockingStatus(Kind kind) : m_kind(kind) { }

    Kind m_kind = Kind::inactive;
    QDateTime m_date;
    QString m_message;
};

} // namespace kestravin
