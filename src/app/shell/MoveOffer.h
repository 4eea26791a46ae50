#pragma once

#include "app/services/update/InstallLocation.h"

#include <QDBusConnection>

#include <memory>

class QMessageBox;

namespace kestravin {

// The offer to move a copy started from a removable or temporary place
// ("Mover" is the default, Escape quits), and the notice that the move failed.
std::unique_ptr<QMessageBox> moveOfferBox();
std::unique_ptr<QMessageBox> moveFailureBox();

// The move into ~/Applications with the application's dialogs: the offer,
// the failure notice, the other instances asked over the session bus, the
// copy started as a new process and the folder opened in the file manager.
class LiveMoveServices final : public MoveServices {
public:
    explicit LiveMoveServices(QDBusConnection sessionBus);

    bool askToMove() override;
    bool quitOtherInstances(std::chrono::milliseconds limit) override;
    bool launch(const QString& program, QString* error) override;
    void showMoveFailure() override;
    void openFolder(const QString& path) override;
    void terminate() override { m_terminated = true; }

    bool terminated() const { return m_terminated; }

private:
    QDBusConnection m_bus;
    bool m_terminated = false;
};

} // namespace kestravin
