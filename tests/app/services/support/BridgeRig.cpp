#include "BridgeRig.h"

#include <QFile>
#include <QJsonDocument>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace kestravin::testing {

BridgeRig::BridgeRig(bool syncOn, QDateTime start) : time(std::move(start))
{
    // A settings file of the rig's own: tests run in parallel under one home.
    QSettings(dir.filePath(u"settings.ini"_s), QSettings::IniFormat)
        .setValue(DesktopBrowserBridge::syncSettingsKey, syncOn);
    recreate();
}

DesktopBrowserBridge& BridgeRig::recreate()
{
    m_bridge.reset();
    m_bridge = std::make_unique<DesktopBrowserBridge>(DesktopBrowserBridge::Environment {
        dir.filePath(u"data/Kestravin/browser-bridge"_s),
        &time,
        &time,
        QTimeZone::utc(),
        [this] { return configuration; },
        [this] { return supportsBrowserSync; },
        [this](const BrowserHelperControl& control, const HelperScheduleConfig& expected,
            DesktopBrowserBridge::DaemonCompletion done) {
            pushes.append({ control, expected, nowMs(), std::move(done) });
        },
        &account,
        [this](const QDateTime& end) { sessionEnds.append(end); },
        [this](const QString& text) { remainingTimes.append(text); },
        dir.filePath(u"settings.ini"_s),
    });
    return *m_bridge;
}

QString BridgeRig::path(const QString& name) const
{
    return m_bridge->directory() + u'/' + name;
}

void BridgeRig::write(const QString& name, const QByteArray& bytes) const
{
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

void BridgeRig::receipt(const QString& client, double receivedAtMs)
{
    const QJsonObject current = state();
    const QJsonObject receipt { { u"revision"_s, current.value(u"revision"_s) },
        { u"focusId"_s, current.value(u"focus"_s).toObject().value(u"id"_s) }, { u"receivedAt"_s, receivedAtMs } };
    write(u"receipt-"_s + client + u".json"_s, QJsonDocument(receipt).toJson(QJsonDocument::Compact));
}

QJsonObject BridgeRig::state() const
{
    QFile file(path(u"state.json"_s));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool BridgeRig::storedSwitch() const
{
    return QSettings(dir.filePath(u"settings.ini"_s), QSettings::IniFormat)
        .value(DesktopBrowserBridge::syncSettingsKey, false)
        .toBool();
}

void BridgeRig::second()
{
    time.advance(DesktopBrowserBridge::tickInterval);
}

void BridgeRig::answer(bool success, const QString& message)
{
    if (answered < pushes.size()) {
        auto done = pushes[answered++].done;
        done(success, message);
    }
}

} // namespace kestravin::testing
