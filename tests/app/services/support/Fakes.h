#pragma once

#include "app/platform/DaemonRegistration.h"
#include "app/platform/NotificationCenter.h"
#include "app/platform/PrivilegedRunner.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <functional>

namespace kestravin::testing {

using namespace Qt::StringLiterals;
using Status = DaemonRegistration::Status;

// Records what a (success, message) completion was called with, and how often.
struct Outcome {
    int calls = 0;
    bool success = false;
    QString message;
    std::function<void(bool, QString)> recorder()
    {
        return [this](bool ok, QString text) {
            ++calls;
            success = ok;
            message = std::move(text);
        };
    }
};

class FakeRegistration final : public DaemonRegistration {
public:
    Status current = Status::notFound;
    bool bundled = false;
    // What registering leads to.
    Status afterRegister = Status::requiresApproval;
    int registrations = 0;
    int unregistrations = 0;
    int settingsOpened = 0;
    QStringList events;

    // Status questions asked the waiting way, and, with `answerLater`, the
    // asynchronous ones still waiting for the test to answer them.
    int blockingStatusCalls = 0;
    bool answerLater = false;
    QList<std::function<void(Status)>> pendingQueries;

    Status status() override
    {
        ++blockingStatusCalls;
        return current;
    }
    void queryStatus(std::function<void(Status)> done) override
    {
        if (answerLater) {
            pendingQueries.append(std::move(done));
        } else {
            done(current);
        }
    }
    bool registerDaemon(QString* error) override
    {
        ++registrations;
        events << u"register"_s;
        current = afterRegister;
        if (current == Status::enabled) {
            return true;
        }
        *error = u"not allowed yet"_s;
        return false;
    }
    void unregisterDaemon(std::function<void()> done) override
    {
        ++unregistrations;
        events << u"unregister"_s;
        current = Status::notRegistered;
        done();
    }
    void openApprovalSettings() override { ++settingsOpened; }
    bool bundlesDaemon() const override { return bundled; }
};

class FakeRunner final : public PrivilegedRunner {
public:
    struct Run {
        QString path;
        QStringList arguments;
        QString script;
        QFile::Permissions folderPermissions;
        Completion completion;
    };
    QList<Run> runs;

    void runScript(const QString& scriptPath, const QStringList& arguments, Completion completion) override
    {
        QFile file(scriptPath);
        const bool opened = file.open(QIODevice::ReadOnly);
        runs.append({ scriptPath, arguments, opened ? QString::fromUtf8(file.readAll()) : QString(),
            QFileInfo(QFileInfo(scriptPath).path()).permissions(), std::move(completion) });
    }
    void finish(bool success, const QString& message = {})
    {
        runs.last().completion({ success, success ? u"Helper installed successfully"_s : QString(), message });
    }
};

// Records the notices instead of showing them.
class FakeNotificationCenter final : public NotificationCenter {
public:
    Authorization authorization = Authorization::authorized;
    bool grant = true;
    int requests = 0;
    QList<std::pair<QString, QString>> posted;

    Authorization authorizationStatus() override { return authorization; }
    void requestAuthorization(std::function<void(bool)> granted) override
    {
        ++requests;
        if (grant) {
            authorization = Authorization::authorized;
        }
        granted(grant);
    }
    void post(const QString& title, const QString& body, std::function<void(QString)> done) override
    {
        posted.append({ title, body });
        if (done) {
            done({});
        }
    }
    QStringList titles() const
    {
        QStringList list;
        for (const auto& notice : posted) {
            list << notice.first;
        }
        return list;
    }
};

} // namespace kestravin::testing
