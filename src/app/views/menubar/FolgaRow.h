#pragma once

#include "app/models/FolgaRowModel.h"

#include <QWidget>

class QLabel;

namespace kestravin {

class BrandButton;
class RowButton;
class SummaryLink;
class SymbolIcon;

// The break row of the popover: the empty layout, the offer with its count
// badge, and the confirmation, which is drawn inside the popover because a
// separate modal window opened from a popup does not reliably stay above it.
class FolgaRow : public QWidget {
    Q_OBJECT
public:
    explicit FolgaRow(QWidget* parent = nullptr);

    void refresh(const FolgaRowModel& model, bool confirming);

    QWidget* emptyLayout() const { return m_empty; }
    QWidget* offerLayout() const { return m_offer; }
    QWidget* confirmation() const { return m_confirm; }
    RowButton* useButton() const { return m_use; }
    QLabel* badge() const { return m_badge; }
    QLabel* detail() const { return m_detail; }
    BrandButton* confirmButton() const { return m_confirmUse; }
    BrandButton* cancelButton() const { return m_confirmCancel; }
    SummaryLink* goalsLink() const { return m_goals; }
    SummaryLink* statementLink() const { return m_statement; }

Q_SIGNALS:
    void useRequested();
    void confirmed();
    void cancelled();
    void goalsRequested();
    void statementRequested();

private:
    void applyColors();

    QWidget* m_empty;
    QLabel* m_emptyDetail;
    SummaryLink* m_goals;
    QWidget* m_offer;
    RowButton* m_use;
    QLabel* m_useTitle;
    SymbolIcon* m_useIcon;
    QLabel* m_badge;
    QLabel* m_detail;
    SummaryLink* m_statement;
    QWidget* m_confirm;
    QLabel* m_confirmTitle;
    QLabel* m_confirmMessage;
    BrandButton* m_confirmUse;
    BrandButton* m_confirmCancel;
};

} // namespace kestravin
