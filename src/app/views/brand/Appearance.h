#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <QVariant>

#include <optional>

namespace kestravin {

enum class ColorScheme { Light, Dark };

// The desktop's light/dark preference and its wish for less motion, read from the
// settings portal and followed as it changes. Every brand control connects to
// `changed` and repaints. KESTRAVIN_COLOR_SCHEME=light|dark and
// KESTRAVIN_REDUCE_MOTION=1 force the values (tests, screenshots); without a
// session bus or a portal the values stay light / full motion, silently.
class Appearance : public QObject {
    Q_OBJECT
    Q_PROPERTY(ColorScheme colorScheme READ colorScheme NOTIFY colorSchemeChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion NOTIFY reduceMotionChanged)

public:
    // `bus` is where the portal is asked; a disconnected bus gives the fallback.
    explicit Appearance(const QDBusConnection& bus, QObject* parent = nullptr);

    static Appearance& shared();

    ColorScheme colorScheme() const;
    bool reduceMotion() const;
    bool isDark() const { return colorScheme() == ColorScheme::Dark; }

    // Forced values win over the portal; std::nullopt gives the portal back its say.
    void overrideColorScheme(std::optional<ColorScheme> scheme);
    void overrideReduceMotion(std::optional<bool> reduce);

    // Value of the portal's "color-scheme" key (0 none, 1 dark, 2 light).
    static ColorScheme schemeFromPortal(uint value);

Q_SIGNALS:
    void colorSchemeChanged();
    void reduceMotionChanged();
    // Either of the two changed.
    void changed();

private Q_SLOTS:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void readFromPortal(const QString& group, const QString& key);
    void applySetting(const QString& group, const QString& key, const QVariant& value);
    void setPortalScheme(ColorScheme scheme);
    void setPortalReduceMotion(bool reduce);

    QDBusConnection m_bus;
    ColorScheme m_portalScheme = ColorScheme::Light;
    bool m_portalReduceMotion = false;
    std::optional<ColorScheme> m_forcedScheme;
    std::optional<bool> m_forcedReduceMotion;
};

} // namespace kestravin
