#pragma once

#include <QString>

#include <optional>

namespace kestravin::SearchFolding {

// `text` without letter case and accents ("Ação" and "acao" fold alike), so a
// search typed without accents still finds accented names.
QString fold(const QString& text);

bool containsFolded(const QString& text, const QString& term);

// Where `term` first occurs in `text` under folding, in positions of `text`
// itself; none for an empty term or no match.
struct Match {
    qsizetype start = 0;
    qsizetype length = 0;
};
std::optional<Match> firstMatch(const QString& text, const QString& term);

} // namespace kestravin::SearchFolding
