#include "app/models/SearchFolding.h"

#include <QList>

namespace kestravin::SearchFolding {
namespace {

// Appends the folded form of text[i] (a whole surrogate pair when there is one)
// and returns how many code units of `text` it used.
qsizetype foldOne(const QString& text, qsizetype i, QString& out)
{
    const qsizetype width = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    const QString decomposed = text.mid(i, width).normalized(QString::NormalizationForm_KD);
    for (const QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing
            || category == QChar::Mark_SpacingCombining) {
            continue;
        }
        out.append(c);
    }
    return width;
}

} // namespace

QString fold(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        i += foldOne(text, i, out);
    }
    return out.toCaseFolded();
}

bool containsFolded(const QString& text, const QString& term)
{
    return fold(text).contains(fold(term));
}

std::optional<Match> firstMatch(const QString& text, const QString& term)
{
    const QString needle = fold(term);
    if (needle.isEmpty()) {
        return std::nullopt;
    }
    // Fold piece by piece, remembering which position of `text` each folded
    // unit came from, so the match maps back onto the original.
    QString folded;
    QList<qsizetype> origin;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype before = folded.size();
        const qsizetype width = foldOne(text, i, folded);
        for (qsizetype k = before; k < folded.size(); ++k) {
            origin.append(i);
        }
        i += width;
    }
    origin.append(text.size());
    const qsizetype at = folded.toCaseFolded().indexOf(needle);
    if (at < 0) {
        return std::nullopt;
    }
    const qsizetype start = origin.at(at);
    qsizetype end = origin.at(at + needle.size());
    // A match ending inside the pieces of one character takes the whole character.
    if (end <= origin.at(at + needle.size() - 1)) {
        end = origin.at(at + needle.size() - 1) + 1;
    }
    return Match { start, end - start };
}

} // namespace kestravin::SearchFolding
