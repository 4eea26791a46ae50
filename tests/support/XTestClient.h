#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace kestravin::test {

// One running kestravin_x_test_client: a real X client window with a chosen
// WM_CLASS, GTK application ID and title.
class XTestClient {
public:
    XTestClient() = default;
    ~XTestClient();
    XTestClient(const XTestClient&) = delete;
    XTestClient& operator=(const XTestClient&) = delete;

    // Starts the client on `display` and waits until its window is mapped.
    bool start(const QString& display, const QStringList& arguments, QString* error);
    // Ends the client; its window goes away with it.
    void kill();

    quint32 window() const { return m_window; }
    // CLOCK_MONOTONIC nanoseconds at which the client mapped its window.
    qint64 mappedAt() const { return m_mappedAt; }
    // Waits for the next WM_STATE report ("iconic" or "normal") and returns
    // its monotonic stamp, or -1 after `timeoutMs`.
    qint64 waitForState(const QString& state, int timeoutMs);

    static QString programPath();

private:
    bool readLine(QByteArray* line, int timeoutMs);

    std::unique_ptr<QProcess> m_process;
    QByteArray m_buffer;
    quint32 m_window = 0;
    qint64 m_mappedAt = 0;
};

// Writes `dir`/`id`.desktop: an application entry with the given lines after
// its group header and type. False when the file cannot be written.
bool writeDesktopEntry(const QString& dir, const QString& id, const QString& body);

// The clients a test launched; they end when the set is cleared or destroyed.
class XTestClients {
public:
    // Starts a client on `display`; a failure to start is a test failure.
    XTestClient* launch(const QString& display, const QStringList& arguments);
    XTestClient* last() const { return m_clients.empty() ? nullptr : m_clients.back().get(); }
    void clear() { m_clients.clear(); }

private:
    std::vector<std::unique_ptr<XTestClient>> m_clients;
};

} // namespace kestravin::test
