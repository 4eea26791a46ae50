#include "HelperConfigStore.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

const QString manualSitesKey = u"manualBlockSites"_s;
const QString manualEndsAtKey = u"manualBlockEndsAt"_s;

} // namespace

std::optional<HelperConfigStore::Contents> HelperConfigStore::read() const
{
    QByteArray bytes;
    if (!AtomicFile::read(m_path, bytes, nullptr))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    const QJsonObject object = document.object();

    Contents contents;
    if (document.isObject())
        contents.config = HelperScheduleConfig::fromJson(object);

    const QJsonValue sites = object.value(manualSitesKey);
    const QJsonValue endsAt = object.value(manualEndsAtKey);
    if (sites.isArray() && endsAt.isDouble()) {
        QStringList list;
        for (const QJsonValue& site : sites.toArray())
            list.append(site.toString());
        contents.manualBlock = ManualBlock { list, Instant(endsAt.toDouble()) };
    }
    return contents;
}

QByteArray HelperConfigStore::encode(
    const std::optional<HelperScheduleConfig>& config, const std::optional<ManualBlock>& manualBlock)
{
    QJsonObject object = config ? config->toJson() : QJsonObject();
    if (manualBlock) {
        object.insert(manualSitesKey, QJsonArray::fromStringList(manualBlock->sites));
        object.insert(manualEndsAtKey, manualBlock->endsAt.secondsSinceReference);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool HelperConfigStore::write(const std::optional<HelperScheduleConfig>& config,
    const std::optional<ManualBlock>& manualBlock, bool createFolder, QString* error)
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (createFolder && !QFileInfo::exists(folder)) {
        // Only root reads the daemon's state.
        if (QDir().mkpath(folder))
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!AtomicFile::write(m_path, encode(config, manualBlock), 0600, error))
        return false;
    m_manualOnly = !config && manualBlock;
    return true;
}

void HelperConfigStore::remove()
{
    QFile::remove(m_path);
    m_manualOnly = false;
}

} // namespace kestravin
