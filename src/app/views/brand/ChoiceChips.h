#pragma once

#include "app/views/brand/BrandMotion.h"

#include <QAbstractButton>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <vector>

namespace kestravin {

class LinkPressStyle;

// One option of a chips row or a segmented switch: a real button named by its
// label, checked while it is the selection (so assistive technology reads the
// choice). The row paints the faces and the pill beneath it.
class ChoiceButton : public QAbstractButton {
    Q_OBJECT
public:
    ChoiceButton(const QString& label, const QFont& font, double radius, int horizontalPadding, int minimumHeight,
        bool pressScale, QWidget* parent = nullptr);

    // 0 muted, 1 ink; moves towards the selected state.
    double selectedAmount() const { return m_selected.value(); }
    void setSelected(bool selected, int durationMs);
    double pressScale() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    double m_radius;
    int m_padding;
    int m_minimumHeight;
    LinkPressStyle* m_press = nullptr;
    BrandTween m_selected;
};

// Shared mechanics of the two single-choice controls: the options as buttons,
// the selection (−1 when it is not among the options) and the pill that moves
// from the old choice to the new one.
class ChoiceRow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
public:
    int count() const { return static_cast<int>(m_buttons.size()); }
    int currentIndex() const { return m_current; }
    // Sets the selection without animation (as a caller's own change would).
    void setCurrentIndex(int index);
    ChoiceButton* button(int index) const { return m_buttons.value(index); }

    // Where the pill is drawn now; empty when there is no pill.
    QRectF pillRect() const;
    bool isGliding() const { return m_glide.isAnimating(); }

Q_SIGNALS:
    // The user picked an option (also the one already selected).
    void picked(int index);
    void currentIndexChanged(int index);

protected:
    explicit ChoiceRow(QWidget* parent);
    void addButton(ChoiceButton* button);
    // How a pick moves the pill and recolours the labels.
    virtual void glide(BrandTween& tween) = 0;
    virtual int labelFadeMs() const = 0;

private:
    void pick(int index);
    void select(int index, bool animated);

    QList<ChoiceButton*> m_buttons;
    int m_current = -1;
    QRectF m_pillFrom;
    BrandTween m_glide;
};

// A full-width row of equal chips, 30 points high, with a pill that glides on a
// spring to the picked chip.
class ChoiceChips : public ChoiceRow {
    Q_OBJECT
public:
    ChoiceChips(const QStringList& labels, int currentIndex, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void glide(BrandTween& tween) override;
    int labelFadeMs() const override;
};

// A compact segmented control of its ideal size: segments in a sunk well, the
// selected one on a raised pill that slides along the brand curve.
class SegmentedSwitch : public ChoiceRow {
    Q_OBJECT
public:
    SegmentedSwitch(const QStringList& labels, int currentIndex, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void glide(BrandTween& tween) override;
    int labelFadeMs() const override { return 200; }
};

// Binds a chips row or a segmented switch to options of any comparable type: the
// row shows `label(option)` for each, selects the option equal to `selection`
// (none when it is not among them) and hands every pick to `setSelection`.
// `Row` is ChoiceChips or SegmentedSwitch. Call `select` again when the caller's
// own selection changes.
template <typename Row, typename Option> class ChoiceBinding {
public:
    ChoiceBinding(std::vector<Option> options, const Option& selection, std::function<QString(const Option&)> label,
        std::function<void(const Option&)> setSelection, QWidget* parent = nullptr)
        : m_options(std::move(options))
    {
        QStringList labels;
        for (const Option& option : m_options) {
            labels << label(option);
        }
        m_row = new Row(labels, indexOf(selection), parent);
        QObject::connect(
            m_row, &ChoiceRow::picked, m_row, [options = m_options, setSelection = std::move(setSelection)](int index) {
                if (index >= 0 && index < static_cast<int>(options.size())) {
                    setSelection(options[static_cast<size_t>(index)]);
                }
            });
    }

    Row* row() const { return m_row; }
    void select(const Option& selection) { m_row->setCurrentIndex(indexOf(selection)); }
    int indexOf(const Option& option) const
    {
        const auto found = std::find(m_options.begin(), m_options.end(), option);
        return found == m_options.end() ? -1 : static_cast<int>(found - m_options.begin());
    }

private:
    std::vector<Option> m_options;
    Row* m_row = nullptr;
};

} // namespace kestravin
