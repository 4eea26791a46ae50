#pragma once

#include <QStringList>

#include <optional>

namespace kestravin::DeepLink {

// The application's URL scheme, compared letter for letter.
inline constexpr QStringView scheme = u"kestravin";

// Whether the raw argument's scheme is exactly "kestravin". The raw text is
// read, not a QUrl: QUrl lower-cases the scheme, and "KESTRAVIN:" is not ours.
bool isOurs(const QString& rawUrl);

// The first of `rawUrls` that is ours.
std::optional<QString> firstOurs(const QStringList& rawUrls);

} // namespace kestravin::DeepLink
