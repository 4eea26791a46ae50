#pragma once

#include "app/models/InstalledApp.h"
#include "app/models/Missions.h"
#include "app/services/account/AccountClient.h"

#include <QAbstractButton>
#include <QScrollArea>

#include <functional>

class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace kestravin {

class ChoiceChips;
class DesktopAccountService;
class InstalledApps;
class MissionTracker;
class MissionsEditor;
class RoundedPanel;
class Scheduler;
class BrandSymbol;

// The header of a goal card: the goal's symbol, title and subtitle and the
// on/off mark; one button, checked while the goal is on.
class GoalHeader : public QAbstractButton {
    Q_OBJECT
public:
    GoalHeader(MissionKind kind, QWidget* parent = nullptr);
    void present(const QString& title, bool on);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MissionKind m_kind;
    QString m_title;
    QString m_subtitle;
};

// A chosen app of the picker, or a search result: icon, name and a mark
// ("xmark" to remove, "plus" to add).
class AppCapsule : public QAbstractButton {
    Q_OBJECT
public:
    AppCapsule(const QIcon& icon, const QString& name, bool result, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon m_icon;
    bool m_result;
};

// The goals editor ("Metas"): today's progress, one card per goal kind with
// its target chips, and, in the app goal's card, the picker of the apps whose
// time counts. Embedded in the first-run wizard it shows the cards only.
class MissionsView : public QScrollArea {
    Q_OBJECT
public:
    struct Services {
        DesktopAccountService* account = nullptr;
        MissionTracker* tracker = nullptr;
        InstalledApps* installed = nullptr;
        Scheduler* scheduler = nullptr;
        // Replaces the account's saveMissions when set.
        std::function<void(const QList<AccountMission>&, std::function<void(std::optional<AccountFailure>)>)> save;
        static Services shared();
    };

    explicit MissionsView(bool embedded = false, QWidget* parent = nullptr);
    MissionsView(Services services, bool embedded, QWidget* parent = nullptr);

    MissionsEditor& editor() const { return *m_editor; }
    QString footnote() const;
    bool todayShown() const;
    GoalHeader* header(MissionKind kind) const;
    ChoiceChips* chips(MissionKind kind) const;
    QLineEdit* search() const { return m_search; }
    QLabel* hint() const { return m_hint; }
    QList<AppCapsule*> chosenApps() const;
    QList<AppCapsule*> results() const;
    bool notFoundShown() const;
    bool pickerShown() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Card {
        MissionKind kind;
        RoundedPanel* panel;
        GoalHeader* header;
        ChoiceChips* chips;
    };
    void refreshCards();
    void refreshToday();
    void refreshPicker();
    void applyColors();
    QWidget* buildPicker(QWidget* parent);

    Services m_services;
    bool m_embedded;
    MissionsEditor* m_editor;
    QList<Card> m_cards;
    RoundedPanel* m_today = nullptr;
    QVBoxLayout* m_todayLines = nullptr;
    QLabel* m_footnote;
    QList<QLabel*> m_muted;
    QWidget* m_picker = nullptr;
    QLabel* m_hint = nullptr;
    QWidget* m_chosenRow = nullptr;
    QLineEdit* m_search = nullptr;
    QWidget* m_resultsBox = nullptr;
    QLabel* m_notFound = nullptr;
};

} // namespace kestravin
