#pragma once

#include <QObject>
#include <QString>

namespace kestravin {

// The updater's published phase as the popover and the about page see it.
enum class UpdatePhase { idle, checking, downloading, ready, upToDate, installing, failed };

// The updater's phase and its install-now action.
class UpdatePhaseSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual UpdatePhase phase() const = 0;
    // The version of a ready update (empty otherwise).
    virtual QString readyVersion() const = 0;
    // Hands the pending install choice back to the updater once; nothing
    // happens when no choice is pending.
    virtual void installNow() = 0;

    // The notice shows while an update is ready or being installed.
    static bool updateReady(UpdatePhase phase)
    {
        return phase == UpdatePhase::ready || phase == UpdatePhase::installing;
    }

Q_SIGNALS:
    void phaseChanged();
};

// A build without an update feed: always idle.
class IdleUpdatePhaseSource final : public UpdatePhaseSource {
    Q_OBJECT
public:
    using UpdatePhaseSource::UpdatePhaseSource;
    UpdatePhase phase() const override { return UpdatePhase::idle; }
    QString readyVersion() const override { return {}; }
    void installNow() override { }
};

} // namespace kestravin
