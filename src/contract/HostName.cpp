#include "HostName.h"

namespace kestravin {

bool isSafeHostName(QStringView host)
{
    constexpr qsizetype maximumLength = 253;
    if (host.isEmpty() || host.size() > maximumLength)
        return false;
    if (host.front() == u'.' || host.front() == u'-')
        return false;
    for (const QChar c : host) {
        const char16_t u = c.unicode();
        const bool allowed = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')
            || u == u'.' || u == u'-' || u == u'_';
        if (!allowed)
            return false;
    }
    return true;
}

} // namespace kestravin
