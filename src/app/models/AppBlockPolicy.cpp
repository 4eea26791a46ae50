#include "AppBlockPolicy.h"

using namespace Qt::StringLiterals;

namespace kestravin::AppBlockPolicy {

const QSet<QString>& protectedBundleIDs()
{
    static const QSet<QString> ids {
        // This application, on either platform.
        u"com.kestravin.app"_s,
        u"com.apple.finder"_s,
        u"com.apple.systempreferences"_s,
        u"com.apple.ActivityMonitor"_s,
        u"com.apple.loginwindow"_s,
        // File managers.
        u"org.gnome.Nautilus"_s,
        u"nautilus"_s,
        u"org.kde.dolphin"_s,
        u"thunar"_s,
        u"nemo"_s,
        u"caja"_s,
        u"pcmanfm"_s,
        u"pcmanfm-qt"_s,
        u"io.elementary.files"_s,
        // System settings.
        u"org.gnome.Settings"_s,
        u"gnome-control-center"_s,
        u"systemsettings"_s,
        u"org.kde.systemsettings"_s,
        u"xfce-settings-manager"_s,
        u"cinnamon-settings"_s,
        u"mate-control-center"_s,
        u"lxqt-config"_s,
        // System monitors.
        u"org.gnome.SystemMonitor"_s,
        u"gnome-system-monitor"_s,
        u"gnome-system-monitor-kde"_s,
        u"org.kde.plasma-systemmonitor"_s,
        u"org.kde.ksysguard"_s,
        u"xfce4-taskmanager"_s,
        u"mate-system-monitor"_s,
        u"qps"_s,
    };
    return ids;
}

const QStringList& popularBundleIDs()
{
    // Each identifier of the other platform is followed by the native and
    // Flatpak desktop IDs of the same app here, where it exists.
    static const QStringList ids {
        u"net.whatsapp.WhatsApp"_s,
        u"desktop.WhatsApp"_s,
        u"com.github.eneshecan.WhatsAppForLinux"_s,
        u"com.hnc.Discord"_s,
        u"discord"_s,
        u"com.discordapp.Discord"_s,
        u"ru.keepcoder.Telegram"_s,
        u"org.telegram.desktop"_s,
        u"telegramdesktop"_s,
        u"com.tinyspeck.slackmacgap"_s,
        u"slack"_s,
        u"com.slack.Slack"_s,
        u"com.valvesoftware.steam"_s,
        u"steam"_s,
        u"com.valvesoftware.Steam"_s,
        u"com.spotify.client"_s,
        u"spotify"_s,
        u"com.spotify.Client"_s,
        u"com.apple.MobileSMS"_s,
        u"com.apple.Music"_s,
        u"com.netflix.Netflix"_s,
        u"com.apple.TV"_s,
        u"com.amazon.aiv.AIVApp"_s,
        u"com.epicgames.EpicGamesLauncher"_s,
        u"heroic"_s,
        u"com.heroicgameslauncher.hgl"_s,
        u"net.battle.app"_s,
        u"net.battle.bootstrapper"_s,
        u"com.roblox.RobloxPlayer"_s,
        u"org.vinegarhq.Sober"_s,
        u"com.mojang.minecraftlauncher"_s,
        u"minecraft-launcher"_s,
        u"com.mojang.Minecraft"_s,
        u"org.whispersystems.signal-desktop"_s,
        u"signal-desktop"_s,
        u"org.signal.Signal"_s,
        u"com.apple.podcasts"_s,
        u"org.gnome.Podcasts"_s,
    };
    return ids;
}

bool isProtected(QStringView bundleIdentifier, const std::optional<QString>& ownBundleID)
{
    if (ownBundleID && bundleIdentifier.compare(*ownBundleID, Qt::CaseInsensitive) == 0)
        return true;
    const QSet<QString>& ids = protectedBundleIDs();
    return std::any_of(ids.cbegin(), ids.cend(),
        [bundleIdentifier](const QString& id) { return bundleIdentifier.compare(id, Qt::CaseInsensitive) == 0; });
}

QList<BlockedApp> setting(const BlockedApp& app, bool blocked, const QList<BlockedApp>& apps)
{
    QList<BlockedApp> result;
    for (const BlockedApp& other : apps) {
        if (other.bundleIdentifier.compare(app.bundleIdentifier, Qt::CaseInsensitive) != 0)
            result.append(other);
    }
    if (blocked && !isProtected(app.bundleIdentifier))
        result.append(app);
    return result;
}

} // namespace kestravin::AppBlockPolicy
