#include "app/services/shield/ShieldReads.h"

#include <QPointer>

namespace kestravin {

namespace {

class InlineShieldReads final : public ShieldReads {
public:
    void run(QObject* context, Read read) override
    {
        const QPointer<QObject> guard(context);
        const Apply apply = read();
        if (guard && apply) {
            apply();
        }
    }
    void drain() override { }
};

} // namespace

ShieldReads& ShieldReads::inlineReads()
{
    static InlineShieldReads reads;
    return reads;
}

ThreadShieldReads::ThreadShieldReads() : m_worker(new QObject)
{
    m_thread.setObjectName(QStringLiteral("kestravin-shield-reads"));
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

ThreadShieldReads::~ThreadShieldReads()
{
    m_thread.quit();
    m_thread.wait();
}

void ThreadShieldReads::run(QObject* context, Read read)
{
    // The guard is only looked at on the relay's thread, where `context`
    // lives and is deleted.
    QPointer<QObject> guard(context);
    QObject* relay = &m_relay;
    QMetaObject::invokeMethod(
        m_worker,
        [relay, guard = std::move(guard), read = std::move(read)]() mutable {
            Apply apply = read();
            if (!apply) {
                return;
            }
            QMetaObject::invokeMethod(
                relay,
                [guard = std::move(guard), apply = std::move(apply)] {
                    if (guard) {
                        apply();
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void ThreadShieldReads::drain()
{
    if (QThread::currentThread() == &m_thread) {
        return;
    }
    // Posted reads run in order: once this empty one has run, so have they.
    QMetaObject::invokeMethod(
        m_worker, [] {}, Qt::BlockingQueuedConnection);
}

} // namespace kestravin
