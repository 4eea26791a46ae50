#pragma once

#include "WeekBlockPainter.h"
#include "app/models/WeekGrid.h"

#include <QHash>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

namespace kestravin {

class WeekEditorModel;

// The week grid: the hour gutter and seven day columns, Sunday first, with
// the focus blocks. It maps the pointer and the keys onto the editor model,
// sets the cursor for what lies under the pointer, and paints every block in
// one paintEvent with its entrance, hover and removal animations.
class WeekGridWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr double verticalPadding = 6;

    WeekGridWidget(WeekEditorModel& model, QWidget* parent = nullptr);

    // 0 in the settings window, 6 in the embedded editor.
    void setFirstHour(int hour);
    int firstHour() const { return m_firstHour; }
    void setHourHeight(double height);
    double hourHeight() const { return m_hourHeight; }
    // The replay of a preset: every block enters again, column after column.
    void setPresetPulse(std::optional<int> tick);
    // Drawn faded while automatic hours are off.
    void setFaded(bool faded);

    GridLayout gridLayout() const;
    // Widget coordinates to the columns' own, and back.
    QPointF toGrid(QPointF position) const;
    QPointF fromGrid(QPointF point) const;
    // The rectangle of a block, in widget coordinates.
    QRectF blockRect(int column, MinuteRange range) const;

    // Seconds on the animation clock; tests replace it to paint chosen instants.
    void setAnimationClock(std::function<double()> clock);
    WeekBlockPainter& painter() { return m_painter; }

    WeekEditorModel& model() const { return m_model; }
    // The blocks of the week with their columns, in column order.
    QList<std::pair<PlacedBlock, int>> placedBlocks() const;
    // "Seg 9h–12h": how a block is named to assistive technology.
    static QString blockName(const PlacedBlock& block);
    // Lets assistive technology see each block as a button (called by the constructor).
    static void installAccessibility();

    // Where the keyboard is on the grid while no block is selected: a day and
    // the start of an hour. Arrows move it hour by hour and day by day;
    // Return or Space selects the block there, or makes a one-hour block where
    // there is none. Set once the grid first takes the focus.
    struct KeyPlace {
        int day = 1;
        int minute = 9 * 60;
        bool operator==(const KeyPlace&) const = default;
    };
    std::optional<KeyPlace> keyPlace() const { return m_keyPlace; }
    // The block under the keyboard's place, if any.
    std::optional<PlacedBlock> keyBlock() const;
    // The keyboard's place while it stands on an hour without a block and
    // the grid has the focus (no block selected): assistive technology reads
    // it as one more element, named by emptyHourName.
    std::optional<KeyPlace> emptyKeyPlace() const;
    // "Seg 18h–19h, vazio".
    static QString emptyHourName(KeyPlace place);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // What each block view remembers between frames, keyed by its identity.
    struct Motion {
        double shownAt = 0;
        BlockEntry entry;
        double active = 0;
        double activeFrom = 0;
        double activeTarget = 0;
        double activeSince = -1;
        double dimmed = 0;
        double dimmedFrom = 0;
        double dimmedTarget = 0;
        double dimmedSince = -1;
        bool seen = false;
    };
    // A block that left the week, fading out where it was.
    struct Removal {
        QRectF rect;
        MinuteRange range;
        double since = 0;
    };

    double now() const;
    void updateCursor(QPointF position);
    void modelChanged();
    BlockLook lookOf(const QString& identity, const PlacedBlock& block, int column, double t, bool& moving);
    void paintPreview(QPainter& painter);
    void ensureTicking(bool moving);
    bool handleKeyPlace(QKeyEvent* event);
    void moveKeyPlace(int minutes, int days);
    void announceKeyPlace();
    void paintKeyPlace(QPainter& painter);

    WeekEditorModel& m_model;
    int m_firstHour = 0;
    double m_hourHeight = 28;
    std::optional<int> m_presetTick;
    bool m_faded = false;
    std::function<double()> m_clock;
    WeekBlockPainter m_painter;
    QHash<QString, Motion> m_motions;
    QHash<QString, std::pair<QRectF, MinuteRange>> m_lastBlocks;
    QList<Removal> m_removals;
    QTimer m_frames;
    std::optional<KeyPlace> m_keyPlace;
};

} // namespace kestravin
