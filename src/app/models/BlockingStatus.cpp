#include "BlockingStatus.h"

namespace kestravin {

BlockingStatus BlockingStatus::scheduledFor(const QDateTime& date)
{
    BlockingStatus status(Kind::scheduledFor);
    status.m_date = date;
    return status;
}

BlockingStatus BlockingStatus::error(const QString& message)
{
    BlockingStatus status(Kind::error);
    status.m_message = message;
    return status;
}

} // namespace kestravin
