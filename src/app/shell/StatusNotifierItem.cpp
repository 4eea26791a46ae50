#include "app/shell/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace kestravin {

SniPixmap SniPixmap::fromImage(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap pixmap { argb.width(), argb.height(), {} };
    pixmap.bytes.resize(qsizetype(argb.width()) * argb.height() * 4);
    auto* out = reinterpret_cast<quint32*>(pixmap.bytes.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            *out++ = qToBigEndian(line[x]);
        }
    }
    return pixmap;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap)
{
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.bytes;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap)
{
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.bytes;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip)
{
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip)
{
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.text;
    argument.endStructure();
    return argument;
}

namespace {

void registerTypes()
{
    static const bool done = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<SniPixmapList>();
        qDBusRegisterMetaType<SniToolTip>();
        return true;
    }();
    Q_UNUSED(done);
}

int nextItemNumber()
{
    static int counter = 0;
    return ++counter;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus))
{
    registerTypes();
    m_adaptor = new StatusNotifierItemAdaptor(this);
}

StatusNotifierItem::~StatusNotifierItem()
{
    unregister();
}

bool StatusNotifierItem::registerWithWatcher()
{
    if (!m_serviceName.isEmpty()) {
        return true; // registered, or the watcher's answer is on its way
    }
    if (!m_bus.isConnected()) {
        return false;
    }
    const QString name
        = u"org.kde.StatusNotifierItem-%1-%2"_s.arg(QCoreApplication::applicationPid()).arg(nextItemNumber());
    if (!m_bus.registerService(name)) {
        return false;
    }
    if (!m_bus.registerObject(itemPath.toString(), this, QDBusConnection::ExportAdaptors)) {
        m_bus.unregisterService(name);
        return false;
    }
    m_serviceName = name;
    QDBusMessage call = QDBusMessage::createMethodCall(
        watcherService.toString(), watcherPath.toString(), watcherService.toString(), u"RegisterStatusNotifierItem"_s);
    call << m_serviceName;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 5000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        m_registered = !pending->isError();
        if (!m_registered) {
            unregister();
        }
        Q_EMIT registrationFinished(m_registered);
    });
    return true;
}

void StatusNotifierItem::unregister()
{
    if (m_serviceName.isEmpty()) {
        return;
    }
    m_bus.unregisterObject(itemPath.toString());
    m_bus.unregisterService(m_serviceName);
    m_serviceName.clear();
    m_registered = false;
}

void StatusNotifierItem::setIcon(const SniPixmapList& pixmaps)
{
    m_pixmaps = pixmaps;
    Q_EMIT m_adaptor->NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& title, const QString& text)
{
    if (title == m_toolTipTitle && text == m_toolTipText) {
        return;
    }
    m_toolTipTitle = title;
    m_toolTipText = text;
    Q_EMIT m_adaptor->NewToolTip();
}

void StatusNotifierItem::setLabel(const QString& label, const QString& guide)
{
    if (label == m_label && guide == m_guide) {
        return;
    }
    m_label = label;
    m_guide = guide;
    Q_EMIT m_adaptor->XAyatanaNewLabel(label, guide);
}

SniToolTip StatusNotifierItem::toolTip() const
{
    return { {}, {}, m_toolTipTitle, m_toolTipText };
}

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem* item)
    : QDBusAbstractAdaptor(item), m_item(item)
{
}

QString StatusNotifierItemAdaptor::category() const
{
    return u"ApplicationStatus"_s;
}

QString StatusNotifierItemAdaptor::id() const
{
    return u"com.kestravin.app"_s;
}

QString StatusNotifierItemAdaptor::title() const
{
    return u"Kestravin"_s;
}

QString StatusNotifierItemAdaptor::status() const
{
    return u"Active"_s;
}

QDBusObjectPath StatusNotifierItemAdaptor::menu() const
{
    // No menu: a click opens the popover.
    return QDBusObjectPath(u"/NO_DBUSMENU"_s);
}

void StatusNotifierItemAdaptor::Activate(int x, int y)
{
    Q_EMIT m_item->activated(QPoint(x, y));
}

void StatusNotifierItemAdaptor::SecondaryActivate(int x, int y)
{
    Q_EMIT m_item->activated(QPoint(x, y));
}

void StatusNotifierItemAdaptor::ContextMenu(int x, int y)
{
    // The item has no menu of its own; the popover holds every action.
    Q_EMIT m_item->activated(QPoint(x, y));
}

void StatusNotifierItemAdaptor::Scroll(int, const QString&)
{
}

} // namespace kestravin
