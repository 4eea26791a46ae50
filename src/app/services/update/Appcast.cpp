#include "app/services/update/Appcast.h"

#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace kestravin::Appcast {

namespace {

QList<qulonglong> components(const QString& version)
{
    QList<qulonglong> numbers;
    for (const QString& part : version.trimmed().split(u'.')) {
        qsizetype digits = 0;
        while (digits < part.size() && part.at(digits).isDigit() && part.at(digits).unicode() < 128) {
            ++digits;
        }
        numbers << part.left(std::min<qsizetype>(digits, 18)).toULongLong();
    }
    return numbers;
}

} // namespace

int compareVersions(const QString& a, const QString& b)
{
    const QList<qulonglong> left = components(a);
    const QList<qulonglong> right = components(b);
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qulonglong x = i < left.size() ? left.at(i) : 0;
        const qulonglong y = i < right.size() ? right.at(i) : 0;
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

std::optional<std::vector<AppcastItem>> parse(const QByteArray& xml, QString* error)
{
    QXmlStreamReader reader(xml);
    std::vector<AppcastItem> items;
    bool sawRss = false;
    bool inItem = false;
    AppcastItem current;
    const QString ns = xmlNamespace.toString();
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QStringView name = reader.name();
            if (!sawRss) {
                if (name != u"rss"_s) {
                    break;
                }
                sawRss = true;
            } else if (name == u"item"_s && reader.namespaceUri().isEmpty()) {
                inItem = true;
                current = {};
            } else if (inItem && reader.namespaceUri() == ns && name == u"version"_s) {
                current.version = reader.readElementText().trimmed();
            } else if (inItem && reader.namespaceUri() == ns && name == u"shortVersionString"_s) {
                current.displayVersion = reader.readElementText().trimmed();
            } else if (inItem && name == u"enclosure"_s && reader.namespaceUri().isEmpty()) {
                const QXmlStreamAttributes attributes = reader.attributes();
                current.archiveUrl = QUrl(attributes.value(u"url"_s).toString().trimmed());
                bool ok = false;
                current.length = attributes.value(u"length"_s).toLongLong(&ok);
                if (!ok) {
                    current.length = 0;
                }
                current.edSignature
                    = QByteArray::fromBase64(attributes.value(ns, u"edSignature"_s).toString().trimmed().toLatin1(),
                        QByteArray::AbortOnBase64DecodingErrors);
                if (attributes.hasAttribute(ns, u"version"_s)) {
                    current.version = attributes.value(ns, u"version"_s).toString().trimmed();
                }
                if (attributes.hasAttribute(ns, u"shortVersionString"_s)) {
                    current.displayVersion = attributes.value(ns, u"shortVersionString"_s).toString().trimmed();
                }
            }
        } else if (reader.isEndElement() && reader.name() == u"item"_s && inItem) {
            inItem = false;
            if (current.displayVersion.isEmpty()) {
                current.displayVersion = current.version;
            }
            const QString scheme = current.archiveUrl.scheme();
            if (!current.version.isEmpty() && current.archiveUrl.isValid()
                && (scheme == u"https"_s || scheme == u"http"_s) && current.length > 0
                && current.edSignature.size() == 64) {
                items.push_back(current);
            }
        }
    }
    if (!sawRss || reader.hasError()) {
        if (error) {
            *error = sawRss ? reader.errorString() : u"not an RSS feed"_s;
        }
        return std::nullopt;
    }
    return items;
}

std::optional<AppcastItem> newestUpdate(const std::vector<AppcastItem>& items, const QString& currentVersion)
{
    std::optional<AppcastItem> newest;
    for (const AppcastItem& item : items) {
        if (compareVersions(item.version, currentVersion) > 0
            && (!newest || compareVersions(item.version, newest->version) > 0)) {
            newest = item;
        }
    }
    return newest;
}

} // namespace kestravin::Appcast
