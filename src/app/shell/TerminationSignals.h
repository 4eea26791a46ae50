#pragma once

#include <QObject>

namespace kestravin {

// Turns SIGTERM and SIGINT (logout, systemd, Ctrl-C) into a quit of the event
// loop, so that the stop steps run instead of the process dying mid-way.
// The handler only writes a byte to a socket; the event loop does the rest.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    bool isInstalled() const { return m_installed; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    bool m_installed = false;
};

} // namespace kestravin
