#pragma once

#include "app/models/AccountFolga.h"
#include "app/services/account/AccountClient.h"

#include <QLabel>
#include <QScrollArea>

#include <functional>
#include <optional>

class QProgressBar;
class QVBoxLayout;

namespace kestravin {

class BrandButton;
class DesktopAccountService;
class SummaryLink;
class RoundedPanel;

// One row of the statement: the goal's symbol, its title and detail, and
// the status badge, painted as one element that reads as one sentence.
class FolgaStatementRow : public QLabel {
    Q_OBJECT
public:
    FolgaStatementRow(const FolgaEntry& entry, const QDateTime& now, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    QString detail() const { return m_detail; }
    QString badge() const { return m_badge; }
    QString symbol() const { return m_symbol; }
    bool highlighted() const { return m_highlighted; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return { 200, sizeHint().height() }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    QString m_detail;
    QString m_badge;
    QString m_symbol;
    bool m_highlighted;
};

// The "Extrato" page: the break balance and every break of the account's
// history. The history is loaded per account user and reloaded whenever the
// balance, the running break or today's earned goals change; a reply of an
// older load or for another user is dropped, and a failure keeps the rows
// already shown.
class FolgaStatementView : public QScrollArea {
    Q_OBJECT
public:
    using HistoryDone = std::function<void(std::optional<AccountFailure>, QList<FolgaEntry>)>;
    using HistoryLoader = std::function<void(HistoryDone)>;

    // What stands below the summary.
    enum class Content { connect, empty, rows, loading, nothing };

    FolgaStatementView(std::function<void()> onGoals, QWidget* parent = nullptr);
    // `load` replaces the account's history request (tests release its
    // replies in the order they choose).
    FolgaStatementView(
        DesktopAccountService& account, HistoryLoader load, std::function<void()> onGoals, QWidget* parent = nullptr);

    const std::optional<QList<FolgaEntry>>& entries() const { return m_entries; }
    bool failed() const { return m_failed; }
    QString loadKey() const { return m_key; }
    Content content() const;
    QString headline() const;
    QString failureText() const;
    QList<FolgaStatementRow*> rows() const;
    BrandButton* goalsButton() const { return m_goals; }
    SummaryLink* retryButton() const { return m_retry; }

private:
    void follow();
    void load();
    void retry();
    void render();
    void applyColors();

    DesktopAccountService& m_account;
    HistoryLoader m_loadHistory;
    std::function<void()> m_onGoals;

    std::optional<QList<FolgaEntry>> m_entries;
    std::optional<QString> m_owner;
    bool m_failed = false;
    int m_reload = 0;
    QString m_key;
    // Only the newest load may touch the page.
    quint64 m_loadId = 0;

    QLabel* m_headline;
    QLabel* m_explanation;
    BrandButton* m_goals;
    QWidget* m_failureRow;
    QLabel* m_failureText;
    SummaryLink* m_retry;
    QLabel* m_message;
    QProgressBar* m_spinner;
    RoundedPanel* m_card;
    QVBoxLayout* m_cardRows;
};

} // namespace kestravin
