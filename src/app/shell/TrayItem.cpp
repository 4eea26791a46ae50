#include "app/shell/TrayItem.h"

#include "app/shell/OrlaStatusIcon.h"
#include "app/shell/StatusNotifierItem.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandTokens.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

// Panels do not tint tray icons here; draw in the ink of the desktop's scheme.
QColor iconColor()
{
    return BrandPalette::current().ink;
}

QPoint trayAnchor(const QRect& geometry)
{
    if (!geometry.isValid()) {
        return {};
    }
    const QScreen* screen = QGuiApplication::screenAt(geometry.center());
    const bool topHalf = !screen || geometry.center().y() < screen->geometry().center().y();
    return { geometry.center().x(), topHalf ? geometry.bottom() : geometry.top() };
}

} // namespace

TrayItem::TrayItem(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus))
{
}

TrayItem::~TrayItem()
{
    delete m_tray;
}

void TrayItem::show()
{
    if (m_watcherWatch) {
        return;
    }
    m_watcherWatch = new QDBusServiceWatcher(
        StatusNotifierItem::watcherService.toString(), m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcherWatch, &QDBusServiceWatcher::serviceRegistered, this, [this] { useStatusNotifier(); });
    connect(m_watcherWatch, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (m_sni) {
            m_sni->unregister();
        }
        useSystemTray();
    });
    const bool watcherPresent = m_bus.isConnected() && m_bus.interface()
        && m_bus.interface()->isServiceRegistered(StatusNotifierItem::watcherService.toString()).value();
    if (watcherPresent) {
        useStatusNotifier();
    } else {
        useSystemTray();
    }
}

void TrayItem::useStatusNotifier()
{
    if (!m_sni) {
        m_sni = std::make_unique<StatusNotifierItem>(m_bus);
        connect(m_sni.get(), &StatusNotifierItem::activated, this, &TrayItem::activated);
        connect(m_sni.get(), &StatusNotifierItem::registrationFinished, this, [this](bool registered) {
            if (registered) {
                setKind(Kind::statusNotifier);
            } else {
                useSystemTray();
            }
        });
    }
    publish();
    if (!m_sni->registerWithWatcher()) {
        useSystemTray();
    }
}

void TrayItem::useSystemTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        setKind(Kind::none);
        return;
    }
    if (!m_tray) {
        m_tray = new QSystemTrayIcon;
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) {
                Q_EMIT activated(trayAnchor(m_tray->geometry()));
            }
        });
    }
    setKind(Kind::systemTray);
    publish();
}

void TrayItem::setKind(Kind kind)
{
    if (kind != Kind::systemTray && m_tray) {
        m_tray->hide();
    }
    if (kind == Kind::systemTray && m_tray) {
        m_tray->show();
    }
    if (kind != m_kind) {
        m_kind = kind;
        Q_EMIT kindChanged(kind);
    }
}

void TrayItem::setState(bool active, const QString& label, const QString& guide)
{
    const bool iconChanged = active != m_active;
    m_active = active;
    m_label = label;
    m_guide = guide;
    if (iconChanged || m_kind == Kind::none) {
        publish();
        return;
    }
    const QString description = OrlaStatusIcon::accessibilityDescription(m_active);
    if (m_sni) {
        m_sni->setLabel(m_label, m_guide);
        m_sni->setToolTip(description, m_label.trimmed());
    }
    if (m_tray && m_kind == Kind::systemTray) {
        const QString tip = m_label.isEmpty() ? description : description + u"\n"_s + m_label.trimmed();
        if (m_tray->toolTip() != tip) {
            m_tray->setToolTip(tip);
        }
    }
}

void TrayItem::publish()
{
    const QString description = OrlaStatusIcon::accessibilityDescription(m_active);
    const QColor color = iconColor();
    if (m_sni) {
        m_sni->setIcon({ SniPixmap::fromImage(OrlaStatusIcon::image(m_active, 1.0, color)),
            SniPixmap::fromImage(OrlaStatusIcon::image(m_active, 2.0, color)) });
        m_sni->setLabel(m_label, m_guide);
        m_sni->setToolTip(description, m_label.trimmed());
    }
    if (m_tray) {
        QIcon icon;
        icon.addPixmap(QPixmap::fromImage(OrlaStatusIcon::image(m_active, 1.0, color)));
        icon.addPixmap(QPixmap::fromImage(OrlaStatusIcon::image(m_active, 2.0, color)));
        m_tray->setIcon(icon);
        m_tray->setToolTip(m_label.isEmpty() ? description : description + u"\n"_s + m_label.trimmed());
    }
}

} // namespace kestravin
