#pragma once

#include "contract/HelperScheduleConfig.h"
#include "contract/Instant.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// A manual focus with an end: these hosts stay blocked until `endsAt`,
// whatever the weekly hours say.
struct ManualBlock {
    QStringList sites;
    Instant endsAt;
    bool operator==(const ManualBlock&) const = default;
};

// The daemon's configuration file: the schedule it enforces and a manual
// block with an end, as one compact JSON object, replaced atomically with mode
// 0600 in a folder that only root reads. It knows the file's format and
// remembers whether the file holds a manual block alone; the daemon decides
// what to keep and checks the hosts it reads back.
class HelperConfigStore {
public:
    // What the file holds, as written: the hosts are not checked here.
    struct Contents {
        std::optional<HelperScheduleConfig> config;
        std::optional<ManualBlock> manualBlock;
    };

    explicit HelperConfigStore(QString path) : m_path(std::move(path)) { }

    const QString& path() const { return m_path; }

    // Nothing when the file cannot be read; a part that does not decode is
    // left out.
    std::optional<Contents> read() const;
    static QByteArray encode(
        const std::optional<HelperScheduleConfig>& config, const std::optional<ManualBlock>& manualBlock);
    // Replaces the file; `createFolder` makes a missing folder first, for
    // root alone. False with the reason in `error` when it was not written.
    bool write(const std::optional<HelperScheduleConfig>& config, const std::optional<ManualBlock>& manualBlock,
        bool createFolder, QString* error);
    void remove();

    // The file holds only a manual block (no schedule was ever received).
    bool manualOnly() const { return m_manualOnly; }
    void setManualOnly(bool manualOnly) { m_manualOnly = manualOnly; }

private:
    QString m_path;
    bool m_manualOnly = false;
};

} // namespace kestravin
