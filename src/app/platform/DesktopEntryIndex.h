#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace kestravin {

// One application entry of the XDG menu, with the fields that identify its
// windows and processes.
struct DesktopEntry {
    // The desktop-file ID without ".desktop": the path below the applications
    // folder with '/' turned into '-'.
    QString id;
    QString name;
    QString iconName;
    QString startupWMClass;
    // File name of the program that Exec (or TryExec) starts, without folders.
    QStringList programs;
    QString filePath;
};

// The installed applications as XDG desktop entries: $XDG_DATA_HOME/applications
// first, then each $XDG_DATA_DIRS/*/applications. An ID found in an earlier
// folder hides the same ID further on; hidden and NoDisplay entries claim their
// ID but are left out.
class DesktopEntryIndex {
public:
    explicit DesktopEntryIndex(QStringList applicationDirs = standardApplicationDirs());

    static QStringList standardApplicationDirs();

    const std::vector<DesktopEntry>& entries() const { return m_entries; }
    const DesktopEntry* entry(const QString& id) const;
    // The entry whose StartupWMClass, ID or name matches a window's WM_CLASS
    // (instance and class), letter case ignored.
    const DesktopEntry* matchWindowClass(const QString& instance, const QString& className) const;
    // The entry that starts this executable (a path or a bare file name).
    const DesktopEntry* matchExecutable(const QString& executable) const;

    void reload();
    // Reads the folders again when one of them changed since the last read (an
    // app was installed); returns whether it did.
    bool reloadIfChanged();

private:
    void readFolder(const QString& root, QHash<QString, bool>& claimed);
    const DesktopEntry* lookup(const QHash<QString, int>& table, const QString& key) const;

    QStringList m_dirs;
    std::vector<DesktopEntry> m_entries;
    QHash<QString, int> m_byId;
    QHash<QString, int> m_byWmClass;
    QHash<QString, int> m_byLowerId;
    QHash<QString, int> m_byIdTail;
    QHash<QString, int> m_byName;
    QHash<QString, int> m_byProgram;
    QList<QDateTime> m_dirTimes;
};

} // namespace kestravin
