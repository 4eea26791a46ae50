#pragma once

#include <QObject>
#include <QThread>

#include <functional>

namespace kestravin {

// Where the browser shield reads other applications' accessibility trees.
// Every read is a D-Bus round trip to a browser that may be slow or stuck, so
// the application reads on a thread of its own and only the results come
// back to the GUI thread; tests with an in-memory tree read inline.
class ShieldReads {
public:
    using Apply = std::function<void()>;
    using Read = std::function<Apply()>;

    virtual ~ShieldReads() = default;

    // Runs `read` after every read posted before it, then what it returned on
    // `context`'s thread, unless `context` is gone by then.
    virtual void run(QObject* context, Read read) = 0;
    // Returns once every read posted so far has run.
    virtual void drain() = 0;

    // Reads at once, on the caller's thread.
    static ShieldReads& inlineReads();
};

// Reads on one worker thread, in the order they were posted; results are
// applied on the thread that created this object.
class ThreadShieldReads final : public ShieldReads {
public:
    ThreadShieldReads();
    ~ThreadShieldReads() override;

    void run(QObject* context, Read read) override;
    void drain() override;

private:
    QThread m_thread;
    QObject* m_worker = nullptr;
    // Lives on the creating thread; results are applied through it.
    QObject m_relay;
};

} // namespace kestravin
