#include "app/platform/Clock.h"

namespace kestravin {

namespace {
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};
} // namespace

Clock& Clock::system()
{
    static SystemClock clock;
    return clock;
}

} // namespace kestravin
