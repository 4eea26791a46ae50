#include "app/shell/MoveOffer.h"

#include "app/shell/SingleInstance.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

Q_LOGGING_CATEGORY(lcMove, "com.kestravin.app.InstallLocation")

} // namespace

std::unique_ptr<QMessageBox> moveOfferBox()
{
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Information);
    box->setText(InstallLocation::moveTitle);
    box->setInformativeText(InstallLocation::moveText);
    box->setAccessibleName(InstallLocation::moveTitle);
    QPushButton* move = box->addButton(InstallLocation::moveButton, QMessageBox::AcceptRole);
    QPushButton* quit = box->addButton(InstallLocation::quitButton, QMessageBox::RejectRole);
    move->setAccessibleName(InstallLocation::moveButton);
    quit->setAccessibleName(InstallLocation::quitButton);
    box->setDefaultButton(move);
    box->setEscapeButton(quit);
    return box;
}

std::unique_ptr<QMessageBox> moveFailureBox()
{
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Warning);
    box->setText(InstallLocation::failureTitle);
    box->setInformativeText(InstallLocation::failureText);
    box->setAccessibleName(InstallLocation::failureTitle);
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

LiveMoveServices::LiveMoveServices(QDBusConnection sessionBus) : m_bus(std::move(sessionBus))
{
}

bool LiveMoveServices::askToMove()
{
    const auto box = moveOfferBox();
    box->activateWindow();
    box->raise();
    box->exec();
    return box->buttonRole(box->clickedButton()) == QMessageBox::AcceptRole;
}

bool LiveMoveServices::quitOtherInstances(std::chrono::milliseconds limit)
{
    const QString name = SingleInstance::serviceName.toString();
    if (!m_bus.isConnected() || !m_bus.interface() || !m_bus.interface()->isServiceRegistered(name)) {
        return true;
    }
    SingleInstance::askToQuit(m_bus);
    QDeadlineTimer deadline(limit);
    while (m_bus.interface()->isServiceRegistered(name)) {
        if (deadline.hasExpired()) {
            qCWarning(lcMove, "InstallLocation: another instance is still running");
            return false;
        }
        // The bus answers through the event loop; nothing else of the
        // application runs while the move is offered.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

bool LiveMoveServices::launch(const QString& program, QString* error)
{
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(QFileInfo(program).path());
    if (!process.startDetached()) {
        *error = process.errorString();
        return false;
    }
    return true;
}

void LiveMoveServices::showMoveFailure()
{
    moveFailureBox()->exec();
}

void LiveMoveServices::openFolder(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace kestravin
