#include "HelperTicker.h"

namespace kestravin {

void QTimerTicker::start(std::chrono::milliseconds interval, std::function<void()> tick)
{
    stop();
    m_timer.setInterval(interval);
    m_timer.setTimerType(Qt::CoarseTimer);
    m_connection = QObject::connect(&m_timer, &QTimer::timeout, std::move(tick));
    m_timer.start();
}

void QTimerTicker::stop()
{
    m_timer.stop();
    QObject::disconnect(m_connection);
}

} // namespace kestravin
