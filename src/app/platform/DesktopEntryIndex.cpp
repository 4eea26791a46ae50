#include "app/platform/DesktopEntryIndex.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

// Programs that start something else: their name says nothing about which
// app runs, so they never identify an entry.
const QSet<QString>& launcherPrograms()
{
    static const QSet<QString> names { u"env"_s, u"flatpak"_s, u"snap"_s, u"sh"_s, u"bash"_s, u"dash"_s, u"python"_s,
        u"python3"_s, u"perl"_s, u"java"_s, u"mono"_s, u"wine"_s, u"gtk-launch"_s, u"xdg-open"_s };
    return names;
}

QString unescapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            out.append(c);
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's':
            out.append(u' ');
            break;
        case 'n':
            out.append(u'\n');
            break;
        case 't':
            out.append(u'\t');
            break;
        case 'r':
            out.append(u'\r');
            break;
        default:
            out.append(next);
            break;
        }
    }
    return out;
}

// Splits an Exec line into arguments by the quoting rules of desktop
// entries: double quotes group, a backslash inside them escapes.
QStringList splitExec(const QString& exec)
{
    QStringList args;
    QString current;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == u'\\' && i + 1 < exec.size()) {
                current.append(exec.at(++i));
            } else if (c == u'"') {
                quoted = false;
            } else {
                current.append(c);
            }
        } else if (c == u'"') {
            quoted = true;
            any = true;
        } else if (c.isSpace()) {
            if (any || !current.isEmpty()) {
                args.append(current);
            }
            current.clear();
            any = false;
        } else {
            current.append(c);
        }
    }
    if (any || !current.isEmpty()) {
        args.append(current);
    }
    return args;
}

QString programOf(const QString& exec)
{
    const QStringList args = splitExec(exec);
    for (const QString& arg : args) {
        // "env VAR=value program": the program is the first word that is
        // neither env nor an assignment.
        if (arg == u"env"_s || (arg.contains(u'=') && !arg.startsWith(u'/'))) {
            continue;
        }
        const QString name = QFileInfo(arg).fileName();
        return launcherPrograms().contains(name) ? QString() : name;
    }
    return {};
}

struct ParsedEntry {
    QHash<QString, QString> values;
    bool ok = false;
};

// Reads the [Desktop Entry] group; other groups (actions) are skipped.
ParsedEntry parseEntry(const QString& path)
{
    ParsedEntry parsed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return parsed;
    }
    bool inMain = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            inMain = line == u"[Desktop Entry]"_s;
            parsed.ok = parsed.ok || inMain;
            continue;
        }
        if (!inMain) {
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            continue;
        }
        const QString key = line.left(eq).trimmed();
        if (!parsed.values.contains(key)) {
            parsed.values.insert(key, unescapeValue(line.mid(eq + 1).trimmed()));
        }
    }
    return parsed;
}

QString localizedName(const QHash<QString, QString>& values)
{
    // The application speaks Brazilian Portuguese, so its app names do too
    // where the entry has them; then the desktop's own language.
    static const QStringList keys = [] {
        const QString locale = QLocale::system().name(); // "pt_BR"
        const QString language = locale.section(u'_', 0, 0);
        return QStringList { u"Name[pt_BR]"_s, u"Name[pt]"_s, u"Name[%1]"_s.arg(locale), u"Name[%1]"_s.arg(language) };
    }();
    for (const QString& key : keys) {
        const QString value = values.value(key);
        if (!value.isEmpty()) {
            return value;
        }
    }
    return values.value(u"Name"_s);
}

bool isTrue(const QHash<QString, QString>& values, const QString& key)
{
    return values.value(key).compare(u"true"_s, Qt::CaseInsensitive) == 0;
}

QDateTime folderTime(const QString& dir)
{
    const QFileInfo info(dir);
    return info.exists() ? info.lastModified() : QDateTime();
}

} // namespace

DesktopEntryIndex::DesktopEntryIndex(QStringList applicationDirs) : m_dirs(std::move(applicationDirs))
{
    reload();
}

QStringList DesktopEntryIndex::standardApplicationDirs()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) {
        dataHome = QDir::homePath() + u"/.local/share"_s;
    }
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) {
        dataDirs = u"/usr/local/share:/usr/share"_s;
    }
    QStringList dirs { dataHome + u"/applications"_s };
    for (const QString& dir : dataDirs.split(u':', Qt::SkipEmptyParts)) {
        const QString path = dir + u"/applications"_s;
        if (!dirs.contains(path)) {
            dirs.append(path);
        }
    }
    return dirs;
}

void DesktopEntryIndex::reload()
{
    m_entries.clear();
    m_byId.clear();
    m_byWmClass.clear();
    m_byLowerId.clear();
    m_byIdTail.clear();
    m_byName.clear();
    m_byProgram.clear();
    m_dirTimes.clear();

    QHash<QString, bool> claimed;
    for (const QString& dir : std::as_const(m_dirs)) {
        m_dirTimes.append(folderTime(dir));
        readFolder(dir, claimed);
    }

    // Earlier entries win every table, so that the user's own entries and the
    // first folder of the search path take precedence: fill from the back and
    // let earlier ones overwrite.
    for (int i = int(m_entries.size()) - 1; i >= 0; --i) {
        const DesktopEntry& e = m_entries[size_t(i)];
        m_byId.insert(e.id, i);
        if (!e.startupWMClass.isEmpty()) {
            m_byWmClass.insert(e.startupWMClass.toLower(), i);
        }
        m_byLowerId.insert(e.id.toLower(), i);
        m_byIdTail.insert(e.id.section(u'.', -1).toLower(), i);
        if (!e.name.isEmpty()) {
            m_byName.insert(e.name.toLower(), i);
        }
        for (const QString& program : e.programs) {
            m_byProgram.insert(program, i);
        }
    }
}

void DesktopEntryIndex::readFolder(const QString& root, QHash<QString, bool>& claimed)
{
    const QDir base(root);
    if (!base.exists()) {
        return;
    }
    QStringList files;
    QDirIterator it(root, { u"*.desktop"_s }, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.append(it.next());
    }
    files.sort();
    for (const QString& path : std::as_const(files)) {
        QString id = base.relativeFilePath(path);
        id.chop(int(qstrlen(".desktop")));
        id.replace(u'/', u'-');
        if (claimed.contains(id)) {
            continue;
        }
        claimed.insert(id, true);
        const ParsedEntry parsed = parseEntry(path);
        if (!parsed.ok || parsed.values.value(u"Type"_s) != u"Application"_s || isTrue(parsed.values, u"Hidden"_s)
            || isTrue(parsed.values, u"NoDisplay"_s)) {
            continue;
        }
        DesktopEntry entry;
        entry.id = id;
        entry.name = localizedName(parsed.values);
        entry.iconName = parsed.values.value(u"Icon"_s);
        entry.startupWMClass = parsed.values.value(u"StartupWMClass"_s);
        entry.filePath = path;
        for (const QString& key : { u"Exec"_s, u"TryExec"_s }) {
            const QString program = programOf(parsed.values.value(key));
            if (!program.isEmpty() && !entry.programs.contains(program)) {
                entry.programs.append(program);
            }
        }
        m_entries.push_back(std::move(entry));
    }
}

const DesktopEntry* DesktopEntryIndex::lookup(const QHash<QString, int>& table, const QString& key) const
{
    if (key.isEmpty()) {
        return nullptr;
    }
    const auto it = table.constFind(key);
    return it == table.constEnd() ? nullptr : &m_entries[size_t(*it)];
}

const DesktopEntry* DesktopEntryIndex::entry(const QString& id) const
{
    return lookup(m_byId, id);
}

const DesktopEntry* DesktopEntryIndex::matchWindowClass(const QString& instance, const QString& className) const
{
    const QString cls = className.toLower();
    const QString inst = instance.toLower();
    for (const auto* table : { &m_byWmClass, &m_byLowerId, &m_byIdTail, &m_byName }) {
        for (const QString& key : { cls, inst }) {
            if (const DesktopEntry* found = lookup(*table, key)) {
                return found;
            }
        }
    }
    return nullptr;
}

const DesktopEntry* DesktopEntryIndex::matchExecutable(const QString& executable) const
{
    return lookup(m_byProgram, QFileInfo(executable).fileName());
}

bool DesktopEntryIndex::reloadIfChanged()
{
    for (int i = 0; i < m_dirs.size(); ++i) {
        if (folderTime(m_dirs.at(i)) != m_dirTimes.value(i)) {
            reload();
            return true;
        }
    }
    return false;
}

} // namespace kestravin
