#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>

namespace kestravin {

// One icon image on the wire: width, height and ARGB32 pixels in network
// byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;

    static SniPixmap fromImage(const QImage& image);
};
using SniPixmapList = QList<SniPixmap>;

// (icon name, icon pixmaps, title, text).
struct SniToolTip {
    QString iconName;
    SniPixmapList pixmaps;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip);

// The tray item published as org.kde.StatusNotifierItem on the session bus
// under "org.kde.StatusNotifierItem-<pid>-<n>" and registered with the
// desktop's org.kde.StatusNotifierWatcher. The countdown travels as the
// XAyatanaLabel extension, with its widest text as the guide.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    static constexpr QStringView watcherService = u"org.kde.StatusNotifierWatcher";
    static constexpr QStringView watcherPath = u"/StatusNotifierWatcher";
    static constexpr QStringView itemPath = u"/StatusNotifierItem";

    explicit StatusNotifierItem(QDBusConnection bus, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Claims the item's name, exports the object and asks the watcher to take
    // it; registrationFinished tells the answer. False at once (with nothing
    // left behind) when the name or the object cannot be had.
    bool registerWithWatcher();
    // Withdraws the item from the bus.
    void unregister();
    bool isRegistered() const { return m_registered; }
    QString serviceName() const { return m_serviceName; }

    void setIcon(const SniPixmapList& pixmaps);
    void setToolTip(const QString& title, const QString& text);
    void setLabel(const QString& label, const QString& guide);

    // Read by the adaptor.
    const SniPixmapList& iconPixmaps() const { return m_pixmaps; }
    SniToolTip toolTip() const;
    QString label() const { return m_label; }
    QString labelGuide() const { return m_guide; }

Q_SIGNALS:
    // A click on the item; `anchor` is the host's screen point (may be 0,0
    // when the host does not know it).
    void activated(QPoint anchor);
    void registrationFinished(bool registered);

private:
    QDBusConnection m_bus;
    QString m_serviceName;
    bool m_registered = false;
    SniPixmapList m_pixmaps;
    QString m_toolTipTitle;
    QString m_toolTipText;
    QString m_label;
    QString m_guide;
    class StatusNotifierItemAdaptor* m_adaptor = nullptr;
};

class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(kestravin::SniPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyText)
    Q_PROPERTY(QString AttentionIconName READ emptyText)
    Q_PROPERTY(QString IconThemePath READ emptyText)
    Q_PROPERTY(kestravin::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item);

    QString category() const;
    QString id() const;
    QString title() const;
    QString status() const;
    int windowId() const { return 0; }
    QString iconName() const { return {}; }
    SniPixmapList iconPixmap() const { return m_item->iconPixmaps(); }
    QString emptyText() const { return {}; }
    SniToolTip toolTip() const { return m_item->toolTip(); }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const;
    QString label() const { return m_item->label(); }
    QString labelGuide() const { return m_item->labelGuide(); }

public Q_SLOTS:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void XAyatanaNewLabel(const QString& label, const QString& guide);

private:
    StatusNotifierItem* m_item;
};

} // namespace kestravin

Q_DECLARE_METATYPE(kestravin::SniPixmap)
Q_DECLARE_METATYPE(kestravin::SniToolTip)
