#pragma once

#include "app/models/FocusStartModel.h"

#include "app/views/brand/BrandMotion.h"

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QStackedWidget;

namespace kestravin {

class ChoiceChips;
class LinkPressStyle;
class RollingText;
class RowButton;
class StepButton;
template <typename Row, typename Option> class ChoiceBinding;

// The custom duration as shown before typing: a rolling duration on a sunk
// surface that starts typing when pressed.
class MinutesDisplay : public QAbstractButton {
    Q_OBJECT
public:
    explicit MinutesDisplay(QWidget* parent = nullptr);
    RollingText* text() const { return m_text; }
    QSize sizeHint() const override { return { 96, 30 }; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    RollingText* m_text;
    LinkPressStyle* m_press;
};

// "Começar um foco agora": preset chips or the custom row, the start button,
// the account's last start error and the hint about the next scheduled focus.
// The state lives in the model the popover owns; the section draws it and
// turns the user's presses into model changes.
class FocusStartSection : public QWidget {
    Q_OBJECT
public:
    explicit FocusStartSection(FocusStartModel& model, QWidget* parent = nullptr);
    ~FocusStartSection() override;

    // Minutes to the next scheduled focus, asked afresh before every drawing
    // and every start, since the clock moves while the popover stays open.
    void setScheduleProbe(std::function<std::optional<int>()> probe) { m_probe = std::move(probe); }

    // Draws the model; `focusError` is the account's last start error.
    void refresh(const std::optional<QString>& focusError);
    // Ends editing of the minutes field as a click elsewhere does.
    void commitTyping();

    ChoiceChips* chips() const;
    QLineEdit* minutesField() const { return m_field; }
    MinutesDisplay* minutesDisplay() const { return m_display; }
    StepButton* backButton() const { return m_back; }
    StepButton* minusButton() const { return m_minus; }
    StepButton* plusButton() const { return m_plus; }
    RowButton* startButton() const { return m_start; }
    QLabel* soonLine() const { return m_soon; }
    QLabel* hintLine() const { return m_hint; }
    QLabel* errorLine() const { return m_error; }

Q_SIGNALS:
    // The user changed the section's state.
    void edited();
    void startRequested(int minutes);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuildChips(const QList<int>& options);
    // Slides the incoming duration row in (a fade alone under reduce motion).
    void enterRow(QWidget* row, double fromOffset);
    void changed();
    void applyColors();

    FocusStartModel& m_model;
    std::function<std::optional<int>()> m_probe;
    std::optional<QString> m_focusError;
    std::optional<bool> m_shownCustom;
    BrandTween* m_enter;
    QPointer<QWidget> m_entering;
    double m_enterOffset = 0.0;
    QLabel* m_soon;
    QWidget* m_body;
    QStackedWidget* m_durationRow;
    QWidget* m_chipsHolder;
    std::unique_ptr<ChoiceBinding<ChoiceChips, int>> m_chips;
    QList<int> m_chipOptions;
    QWidget* m_customRow;
    StepButton* m_back;
    StepButton* m_minus;
    StepButton* m_plus;
    MinutesDisplay* m_display;
    QLineEdit* m_field;
    RowButton* m_start;
    QLabel* m_startPrefix;
    RollingText* m_startDuration;
    QLabel* m_error;
    QLabel* m_hint;
};

} // namespace kestravin
