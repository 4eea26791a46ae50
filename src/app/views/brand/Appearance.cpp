#include "app/views/brand/Appearance.h"

#include "app/views/brand/BrandAccessibility.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

const QString portalService = u"org.freedesktop.portal.Desktop"_s;
const QString portalPath = u"/org/freedesktop/portal/desktop"_s;
const QString settingsInterface = u"org.freedesktop.portal.Settings"_s;

const QString appearanceGroup = u"org.freedesktop.appearance"_s;
const QString schemeKey = u"color-scheme"_s;
// GNOME's switch for animations, which the portal forwards as it is.
const QString gnomeInterfaceGroup = u"org.gnome.desktop.interface"_s;
const QString gnomeAnimationsKey = u"enable-animations"_s;
// KDE scales animations by a factor; 0 turns them off.
const QString kdeGroup = u"org.kde.kdeglobals.KDE"_s;
const QString kdeAnimationKey = u"AnimationDurationFactor"_s;

// The portal wraps the value in one variant (ReadOne) or two (the older Read).
QVariant unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value;
}

std::optional<ColorScheme> schemeFromEnvironment()
{
    const QByteArray value = qgetenv("KESTRAVIN_COLOR_SCHEME").trimmed().toLower();
    if (value == "dark") {
        return ColorScheme::Dark;
    }
    if (value == "light") {
        return ColorScheme::Light;
    }
    return std::nullopt;
}

std::optional<bool> reduceMotionFromEnvironment()
{
    const QByteArray value = qgetenv("KESTRAVIN_REDUCE_MOTION").trimmed().toLower();
    if (value == "1" || value == "true" || value == "yes") {
        return true;
    }
    if (value == "0" || value == "false" || value == "no") {
        return false;
    }
    return std::nullopt;
}

} // namespace

Appearance::Appearance(const QDBusConnection& bus, QObject* parent)
    : QObject(parent),
      m_bus(bus),
      m_forcedScheme(schemeFromEnvironment()),
      m_forcedReduceMotion(reduceMotionFromEnvironment())
{
    if (!m_bus.isConnected()) {
        return;
    }
    // The slot takes a QDBusVariant; its type must be known before connecting,
    // or the first connection of the process is refused.
    qRegisterMetaType<QDBusVariant>();
    // QtDBus connects to a remote signal by the slot's signature only.
    m_bus.connect(portalService, portalPath, settingsInterface, u"SettingChanged"_s, this,
        SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    readFromPortal(appearanceGroup, schemeKey);
    readFromPortal(gnomeInterfaceGroup, gnomeAnimationsKey);
    readFromPortal(kdeGroup, kdeAnimationKey);
}

Appearance& Appearance::shared()
{
    // Every control reads the appearance as it is made: the accessible
    // interfaces are then in place in any program that draws with the design
    // system, ahead of Qt's own.
    BrandAccessibility::install();
    static Appearance* instance = new Appearance(QDBusConnection::sessionBus());
    return *instance;
}

ColorScheme Appearance::colorScheme() const
{
    return m_forcedScheme.value_or(m_portalScheme);
}

bool Appearance::reduceMotion() const
{
    return m_forcedReduceMotion.value_or(m_portalReduceMotion);
}

void Appearance::overrideColorScheme(std::optional<ColorScheme> scheme)
{
    const ColorScheme before = colorScheme();
    m_forcedScheme = scheme;
    if (colorScheme() != before) {
        Q_EMIT colorSchemeChanged();
        Q_EMIT changed();
    }
}

void Appearance::overrideReduceMotion(std::optional<bool> reduce)
{
    const bool before = reduceMotion();
    m_forcedReduceMotion = reduce;
    if (reduceMotion() != before) {
        Q_EMIT reduceMotionChanged();
        Q_EMIT changed();
    }
}

ColorScheme Appearance::schemeFromPortal(uint value)
{
    return value == 1 ? ColorScheme::Dark : ColorScheme::Light;
}

void Appearance::readFromPortal(const QString& group, const QString& key)
{
    // Asked asynchronously: a desktop without a portal must not hold up start-up.
    QDBusMessage message = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, u"Read"_s);
    message << group << key;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, group, key](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (reply.isError()) {
            return;
        }
        applySetting(group, key, unwrap(QVariant::fromValue(reply.value())));
    });
}

void Appearance::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    applySetting(group, key, unwrap(value.variant()));
}

void Appearance::applySetting(const QString& group, const QString& key, const QVariant& value)
{
    if (group == appearanceGroup && key == schemeKey) {
        bool ok = false;
        const uint raw = value.toUInt(&ok);
        if (ok) {
            setPortalScheme(schemeFromPortal(raw));
        }
    } else if (group == gnomeInterfaceGroup && key == gnomeAnimationsKey) {
        if (value.metaType() == QMetaType::fromType<bool>()) {
            setPortalReduceMotion(!value.toBool());
        }
    } else if (group == kdeGroup && key == kdeAnimationKey) {
        bool ok = false;
        const double factor = value.toDouble(&ok);
        if (ok) {
            setPortalReduceMotion(factor <= 0.0);
        }
    }
}

void Appearance::setPortalScheme(ColorScheme scheme)
{
    const ColorScheme before = colorScheme();
    m_portalScheme = scheme;
    if (colorScheme() != before) {
        Q_EMIT colorSchemeChanged();
        Q_EMIT changed();
    }
}

void Appearance::setPortalReduceMotion(bool reduce)
{
    const bool before = reduceMotion();
    m_portalReduceMotion = reduce;
    if (reduceMotion() != before) {
        Q_EMIT reduceMotionChanged();
        Q_EMIT changed();
    }
}

} // namespace kestravin
