#pragma once

#include "app/models/OnboardingPolicy.h"
#include "app/views/account/MissionsView.h"
#include "app/views/brand/BrandMotion.h"
#include "app/views/settings/WeekScheduleEditor.h"

#include <QAbstractButton>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QStackedLayout;

namespace kestravin {

class BlockedAppsView;
class BlockedSitesView;
class BrandButton;
class ConfigurationManager;
class DesktopAccountService;
class HelperInstaller;
class InstalledApps;
class LookAnimator;
class SegmentedSwitch;
class SiteIconStore;
class StepHeader;

// What the wizard's day steps build their embedded pages with.
struct OnboardingStepServices {
    ConfigurationManager& config;
    DesktopAccountService& account;
    SiteIconStore& icons;
    InstalledApps& installed;
    HelperInstaller& installer;
    WeekScheduleEditor::Services week;
    MissionsView::Services missions;

    static OnboardingStepServices shared();
};

// The sites step: the sites and the apps to hide, one picker at a time under a
// switch that counts what each holds.
class SitesStep : public QWidget {
    Q_OBJECT
public:
    explicit SitesStep(const OnboardingStepServices& services, QWidget* parent = nullptr);

    enum class Tab { sites, apps };
    Tab tab() const { return m_tab; }
    void setTab(Tab tab);

    StepHeader* header() const { return m_header; }
    SegmentedSwitch* tabSwitch() const { return m_switch; }
    BlockedSitesView* sitesView() const { return m_sites; }
    BlockedAppsView* appsView() const { return m_apps; }
    QWidget* picker() const;

    // "Sites · N" and "Apps do computador · M" for a configuration.
    static QString sitesLabel(const QStringList& blockedSites);
    static QString appsLabel(int blockedApps);

private:
    void refreshCounts();

    OnboardingStepServices m_services;
    Tab m_tab = Tab::sites;
    StepHeader* m_header;
    SegmentedSwitch* m_switch;
    QWidget* m_pickerBox;
    QStackedLayout* m_stack;
    BlockedSitesView* m_sites = nullptr;
    BlockedAppsView* m_apps = nullptr;
};

// A ready-made week on the hours step: its name and its hours.
class PresetChip : public QAbstractButton {
    Q_OBJECT
public:
    PresetChip(OnboardingPolicy::Preset preset, QWidget* parent = nullptr);

    OnboardingPolicy::Preset preset() const { return m_preset; }
    void setSelected(bool selected);
    bool isSelected() const { return isChecked(); }
    double pressScale() const;

    static QString name(OnboardingPolicy::Preset preset);
    static QString hoursLabel(OnboardingPolicy::Preset preset);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void nextCheckState() override { }

private:
    OnboardingPolicy::Preset m_preset;
    bool m_hovered = false;
    BrandTween m_fill { 0.0 };
    BrandTween m_press { 1.0 };
};

// The hours step: two ready-made weeks above the embedded week editor.
class HoursStep : public QWidget {
    Q_OBJECT
public:
    HoursStep(const OnboardingStepServices& services, std::optional<OnboardingPolicy::Preset> preset,
        QWidget* parent = nullptr);

    void setPreset(std::optional<OnboardingPolicy::Preset> preset);
    void setPresetPulse(std::optional<int> tick);
    PresetChip* chip(OnboardingPolicy::Preset preset) const;
    QWidget* presetRow() const { return m_row; }
    WeekScheduleEditor* editor() const { return m_editor; }

Q_SIGNALS:
    void presetChosen(OnboardingPolicy::Preset preset);
    // A hand edit on the grid.
    void weekEdited();
    // The grid holds a selection or a press (it keeps Esc for itself).
    void weekActiveChanged(bool active);

private:
    QWidget* m_row;
    QList<PresetChip*> m_chips;
    WeekScheduleEditor* m_editor;
};

// The permission step's shield: an outline that fills with the accent and
// draws a check when the daemon is in place.
class PermissionShield : public QWidget {
    Q_OBJECT
public:
    explicit PermissionShield(bool done, QWidget* parent = nullptr);
    void setDone(bool done, bool animated = true);
    bool isDone() const { return m_done; }
    double fillAmount() const { return m_fill.value(); }
    double checkAmount() const { return m_check.value(); }

    // The outline and the check on a 48-unit grid scaled to `rect`.
    static QPainterPath shieldPath(const QRectF& rect);
    static QPainterPath checkPath(const QRectF& rect);

    QSize sizeHint() const override { return QSize(74, 74); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_done;
    BrandTween m_fill;
    BrandTween m_check;
};

// The permission step: why the daemon is needed, and whether it is in place.
// The install itself runs from the footer's button.
class PermissionStep : public QWidget {
    Q_OBJECT
public:
    PermissionStep(HelperInstaller& installer, QWidget* parent = nullptr);

    static const QStringList& facts();

    // What the step shows below the facts, the first that holds.
    enum class Status { none, ready, awaitingApproval, message };
    struct State {
        bool permitted = false;
        std::optional<QString> message;
    };
    void setState(const State& state);
    Status status() const { return m_status; }
    QString statusText() const;

    PermissionShield* shield() const { return m_shield; }
    QAbstractButton* approvalButton() const { return m_approvalButton; }

Q_SIGNALS:
    // The daemon answers: on first show and on each change of the installer.
    void helperFound();
    void helperLost();
    void approvalHelpRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    HelperInstaller& m_installer;
    State m_state;
    Status m_status = Status::none;
    PermissionShield* m_shield;
    QLabel* m_ready;
    QWidget* m_approval;
    QLabel* m_approvalText;
    QAbstractButton* m_approvalButton;
    QLabel* m_message;
};

// The goals step: a header over the embedded goals editor.
class MissionsStep : public QWidget {
    Q_OBJECT
public:
    MissionsStep(const MissionsView::Services& services, QWidget* parent = nullptr);
    MissionsView* missions() const { return m_missions; }

private:
    MissionsView* m_missions;
};

} // namespace kestravin
