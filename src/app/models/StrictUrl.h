#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace kestravin {

// An absolute or relative URL reference split into its parts by the generic
// syntax, without repairs: a character that the syntax does not allow where
// it stands (a space, a non-ASCII letter, a bare "%") fails the whole text
// instead of being encoded. QUrl's tolerant mode accepts and rewrites such
// input, which the link rules and the shield must refuse.
struct StrictUrl {
    struct QueryItem {
        QString name;
        // None for an item without "=".
        std::optional<QString> value;
        bool operator==(const QueryItem&) const = default;
    };

    // Empty when the text has no scheme.
    QString scheme;
    std::optional<QString> user;
    std::optional<QString> password;
    // Present when the text has an authority ("//"), possibly empty.
    std::optional<QString> host;
    std::optional<int> port;
    // Percent-decoded; the encoded form is kept for rebuilding the text.
    QString path;
    QString encodedPath;
    // Present when the text has a "?"; items are split on "&" and the first
    // "=" and percent-decoded ("+" stays a plus).
    std::optional<QList<QueryItem>> queryItems;
    std::optional<QString> encodedQuery;
    std::optional<QString> fragment;

    static std::optional<StrictUrl> parse(QStringView text);

    // The text of the parts in their encoded form; the fragment only when
    // `withFragment`.
    QString toString(bool withFragment = true) const;
};

} // namespace kestravin
