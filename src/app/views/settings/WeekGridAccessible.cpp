#include "WeekEditorModel.h"
#include "WeekGridWidget.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QSet>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

// One block of the grid as assistive technology sees it: a button named by
// its day and hours whose press selects it.
class WeekBlockAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    WeekBlockAccessible(WeekGridWidget* grid, PlacedBlock block, int column)
        : m_grid(grid), m_block(block), m_column(column)
    {
    }

    bool isValid() const override
    {
        if (!m_grid) {
            return false;
        }
        const WeekSchedule::Week week = m_grid->model().week();
        return m_block.day < week.size() && week[m_block.day].contains(m_block.range);
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_grid.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            return WeekGridWidget::blockName(m_block);
        }
        if (t == QAccessible::Description) {
            return u"Bloco de foco"_s;
        }
        return {};
    }
    void setText(QAccessible::Text, const QString&) override { }
    QRect rect() const override
    {
        if (!m_grid) {
            return {};
        }
        const QRect local = m_grid->blockRect(m_column, m_block.range).toAlignedRect();
        return QRect(m_grid->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.selectable = true;
        state.selected = m_grid && m_grid->model().selection() == BlockRef { m_block.day, m_block.range.start };
        state.invalid = !isValid();
        // A block is on screen exactly when its grid is (a hidden settings
        // window takes its blocks with it).
        state.invisible = !m_grid || !m_grid->isVisible();
        // Each block takes the keyboard in turn: the selected one, or the one
        // under the grid's keyboard place.
        state.focusable = true;
        if (m_grid && m_grid->hasFocus()) {
            const std::optional<PlacedBlock> keyed
                = m_grid->model().isActive() ? m_grid->model().selectedBlock() : m_grid->keyBlock();
            state.focused = keyed && *keyed == m_block;
        }
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return { pressAction() }; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid()) {
            m_grid->model().setSelection(BlockRef { m_block.day, m_block.range.start });
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<WeekGridWidget> m_grid;
    PlacedBlock m_block;
    int m_column;
};

// The hour without a block under the grid's keyboard place: a button named
// by its day and hour whose press makes a one-hour block there, as Return does.
class WeekEmptyHourAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    WeekEmptyHourAccessible(WeekGridWidget* grid, WeekGridWidget::KeyPlace place) : m_grid(grid), m_place(place) { }

    bool isValid() const override { return m_grid && m_grid->emptyKeyPlace() == m_place; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_grid.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            return WeekGridWidget::emptyHourName(m_place);
        }
        if (t == QAccessible::Description) {
            return u"Hora sem bloco. Enter cria um bloco de uma hora."_s;
        }
        return {};
    }
    void setText(QAccessible::Text, const QString&) override { }
    QRect rect() const override
    {
        if (!m_grid) {
            return {};
        }
        const QRect local
            = m_grid->blockRect(m_place.day, MinuteRange { m_place.minute, m_place.minute + 60 }).toAlignedRect();
        return QRect(m_grid->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.focusable = true;
        state.focused = isValid();
        state.invalid = !isValid();
        state.invisible = !m_grid || !m_grid->isVisible();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return { pressAction() }; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid()) {
            m_grid->model().addBlock(m_place.day, MinuteRange { m_place.minute, m_place.minute + 60 });
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<WeekGridWidget> m_grid;
    WeekGridWidget::KeyPlace m_place;
};

QString emptyHourKey(WeekGridWidget::KeyPlace place)
{
    return u"empty:%1:%2"_s.arg(place.day).arg(place.minute);
}

// The grid as a group whose children are its blocks, in column order, and
// then the empty hour under the keyboard, while there is one.
class WeekGridAccessible final : public QAccessibleWidget {
public:
    explicit WeekGridAccessible(WeekGridWidget* grid) : QAccessibleWidget(grid, QAccessible::Grouping) { }

    int childCount() const override { return int(grid()->placedBlocks().size()) + (grid()->emptyKeyPlace() ? 1 : 0); }
    QAccessibleInterface* focusChild() const override
    {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* block = child(i);
            if (block && block->state().focused) {
                return block;
            }
        }
        return nullptr;
    }
    QAccessibleInterface* child(int index) const override
    {
        const auto blocks = grid()->placedBlocks();
        const auto empty = grid()->emptyKeyPlace();
        if (index < 0 || index >= blocks.size() + (empty ? 1 : 0)) {
            return nullptr;
        }
        forgetRemoved(blocks);
        const bool isEmptyHour = index == blocks.size();
        const QString key = isEmptyHour ? emptyHourKey(*empty) : blocks[index].first.id();
        if (const QAccessible::Id id = m_ids.value(key)) {
            if (QAccessibleInterface* known = QAccessible::accessibleInterface(id)) {
                return known;
            }
        }
        QAccessibleInterface* created = isEmptyHour
            ? static_cast<QAccessibleInterface*>(new WeekEmptyHourAccessible(grid(), *empty))
            : new WeekBlockAccessible(grid(), blocks[index].first, blocks[index].second);
        m_ids.insert(key, QAccessible::registerAccessibleInterface(created));
        return created;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto blocks = grid()->placedBlocks();
        const auto empty = grid()->emptyKeyPlace();
        for (int i = 0; i < blocks.size() + (empty ? 1 : 0); ++i) {
            const QString key = i == blocks.size() ? emptyHourKey(*empty) : blocks[i].first.id();
            const QAccessible::Id id = m_ids.value(key);
            if (id && QAccessible::accessibleInterface(id) == child) {
                return i;
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint local = grid()->mapFromGlobal(QPoint(x, y));
        const auto blocks = grid()->placedBlocks();
        for (int i = 0; i < blocks.size(); ++i) {
            if (grid()->blockRect(blocks[i].second, blocks[i].first.range).contains(local)) {
                return child(i);
            }
        }
        return nullptr;
    }

private:
    WeekGridWidget* grid() const { return static_cast<WeekGridWidget*>(widget()); }

    // Blocks that left the week, and an empty hour the keyboard left, take
    // their interfaces with them.
    void forgetRemoved(const QList<std::pair<PlacedBlock, int>>& blocks) const
    {
        QSet<QString> present;
        for (const auto& entry : blocks) {
            present.insert(entry.first.id());
        }
        if (const auto empty = grid()->emptyKeyPlace()) {
            present.insert(emptyHourKey(*empty));
        }
        for (auto it = m_ids.begin(); it != m_ids.end();) {
            if (present.contains(it.key())) {
                ++it;
                continue;
            }
            QAccessible::deleteAccessibleInterface(it.value());
            it = m_ids.erase(it);
        }
    }

    mutable QHash<QString, QAccessible::Id> m_ids;
};

QAccessibleInterface* weekGridAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1StringView(WeekGridWidget::staticMetaObject.className()) && object
        && object->isWidgetType()) {
        return new WeekGridAccessible(static_cast<WeekGridWidget*>(object));
    }
    return nullptr;
}

} // namespace

void WeekGridWidget::installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(weekGridAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace kestravin
