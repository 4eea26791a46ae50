#include "BlockedApp.h"

#include "contract/ContractJson.h"

using namespace Qt::StringLiterals;

namespace kestravin {

BlockedApp::BlockedApp(QString bundleIdentifier_, QString name_)
    : bundleIdentifier(std::move(bundleIdentifier_)), name(std::move(name_))
{
}

QJsonObject BlockedApp::toJson() const
{
    return QJsonObject { { u"bundleIdentifier"_s, bundleIdentifier }, { u"name"_s, name } };
}

std::optional<BlockedApp> BlockedApp::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    BlockedApp app;
    if (!requireObject(value, u"BlockedApp"_s, object, error)
        || !readString(object, u"bundleIdentifier"_s, app.bundleIdentifier, error)
        || !readString(object, u"name"_s, app.name, error))
        return std::nullopt;
    return app;
}

size_t qHash(const BlockedApp& app, size_t seed) noexcept
{
    return qHashMulti(seed, app.bundleIdentifier, app.name);
}

} // namespace kestravin
