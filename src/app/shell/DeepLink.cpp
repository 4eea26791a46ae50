#include "app/shell/DeepLink.h"

namespace kestravin::DeepLink {

bool isOurs(const QString& rawUrl)
{
    const qsizetype colon = rawUrl.indexOf(u':');
    return colon > 0 && QStringView(rawUrl).left(colon) == scheme;
}

std::optional<QString> firstOurs(const QStringList& rawUrls)
{
    for (const QString& url : rawUrls) {
        if (isOurs(url)) {
            return url;
        }
    }
    return std::nullopt;
}

} // namespace kestravin::DeepLink
