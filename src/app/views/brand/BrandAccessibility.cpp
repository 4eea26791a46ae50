#include "app/views/brand/BrandAccessibility.h"

#include "app/views/brand/BrandTextField.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace kestravin::BrandAccessibility {

namespace {

constexpr const char* decorativeProperty = "kestravinDecorative";
constexpr const char* paintedTextProperty = "kestravinPaintedText";
constexpr const char* buttonRoleProperty = "kestravinButtonRole";
constexpr const char* defaultButtonProperty = "kestravinDefaultButton";

// Drawings that never speak for themselves: the mascot in all its forms, the
// selection mark (its tile or button carries the state) and the button symbols.
constexpr const char* decorativeClasses[] = {
    "kestravin::Firefly",
    "kestravin::SelectionCheck",
    "kestravin::BrandMotionIcon",
    "kestravin::PikoSprite",
    "kestravin::FlyingPiko",
    "kestravin::NightBackground",
    "kestravin::PikoActivity",
};

// Controls that paint their text instead of holding a QLabel; each keeps its
// accessible name equal to the text it shows.
constexpr const char* paintedTextClasses[] = {
    "kestravin::KeyCap",
    "kestravin::RollingText",
    "kestravin::RollingTime",
    "kestravin::RollingRange",
    "kestravin::SocialLabel",
    "kestravin::BrandHeader",
};

template <size_t N> bool inherits(const QObject* object, const char* const (&classes)[N])
{
    for (const char* name : classes) {
        if (object->inherits(name)) {
            return true;
        }
    }
    return false;
}

// The widgets that assistive technology sees below `widget`, in Qt's order:
// child windows and decorative drawings are left out.
QList<QWidget*> exposedChildren(const QWidget* widget)
{
    QList<QWidget*> children;
    for (QObject* object : widget->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child != nullptr && !child->isWindow() && !isDecorative(child)) {
            children.append(child);
        }
    }
    return children;
}

QString withoutMnemonic(const QString& text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
        }
        plain += text[i];
    }
    return plain;
}

// A widget of the design system with the role it plays, whose children are
// the exposed ones only (none at all for a painted text, whose parts are read
// as one).
class BrandWidgetAccessible : public QAccessibleWidget {
public:
    enum class Children { exposed, none };

    BrandWidgetAccessible(QWidget* widget, QAccessible::Role role, Children children = Children::exposed)
        : QAccessibleWidget(widget, role), m_children(children)
    {
    }

    int childCount() const override
    {
        return m_children == Children::none ? 0 : static_cast<int>(exposedChildren(widget()).size());
    }

    QAccessibleInterface* child(int index) const override
    {
        if (m_children == Children::none) {
            return nullptr;
        }
        const QList<QWidget*> children = exposedChildren(widget());
        if (index < 0 || index >= children.size()) {
            return nullptr;
        }
        return QAccessible::queryAccessibleInterface(children[index]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (m_children == Children::none || child == nullptr || !child->object()->isWidgetType()) {
            return -1;
        }
        return static_cast<int>(exposedChildren(widget()).indexOf(static_cast<QWidget*>(child->object())));
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* candidate = child(i);
            if (candidate != nullptr && candidate->rect().contains(x, y)) {
                return candidate;
            }
        }
        return nullptr;
    }

private:
    Children m_children;
};

// A drawing reached directly (by focus or position rather than through its
// parent): an unnamed, invisible graphic.
class DecorativeAccessible : public BrandWidgetAccessible {
public:
    explicit DecorativeAccessible(QWidget* widget) : BrandWidgetAccessible(widget, QAccessible::Graphic, Children::none)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = BrandWidgetAccessible::state();
        state.invisible = true;
        return state;
    }
    QString text(QAccessible::Text) const override { return {}; }
};

// A design-system button named by its label. Its one action is the click a
// pointer makes, so that choosing through assistive technology runs the same
// handlers; a checkable one reports its checked state, and a choice its
// selection.
class BrandButtonAccessible : public BrandWidgetAccessible {
public:
    BrandButtonAccessible(QAbstractButton* button, bool choice, QAccessible::Role role = QAccessible::Button)
        : BrandWidgetAccessible(button, role, Children::none), m_choice(choice)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && button()->accessibleName().isEmpty()) {
            return withoutMnemonic(button()->text());
        }
        return BrandWidgetAccessible::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = BrandWidgetAccessible::state();
        if (button()->isCheckable()) {
            state.checkable = true;
            state.checked = button()->isChecked();
        }
        if (m_choice) {
            state.selectable = true;
            state.selected = button()->isChecked();
        }
        if (button()->isDown()) {
            state.pressed = true;
        }
        if (button()->property(defaultButtonProperty).toBool()) {
            state.defaultButton = true;
        }
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList { pressAction() } + BrandWidgetAccessible::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (action == pressAction()) {
            if (button()->isEnabled()) {
                button()->click();
            }
            return;
        }
        BrandWidgetAccessible::doAction(action);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }

    bool m_choice;
};

// A plain container: a window while it stands alone, a panel once placed in
// another widget (pages are often made before they are placed, and Qt keeps
// the first interface it made).
class ContainerAccessible : public BrandWidgetAccessible {
public:
    explicit ContainerAccessible(QWidget* widget) : BrandWidgetAccessible(widget, QAccessible::Client) { }
    QAccessible::Role role() const override { return widget()->isWindow() ? QAccessible::Window : QAccessible::Client; }
};

// Plain containers (a QWidget, or a class of ours straight on QWidget): Qt's
// generic interface, less the decorative children.
bool isPlainContainer(const QMetaObject* meta)
{
    while (meta != nullptr && QByteArrayView(meta->className()).startsWith("kestravin::")) {
        meta = meta->superClass();
    }
    return meta == &QWidget::staticMetaObject;
}

QAccessibleInterface* brandFactory(const QString& className, QObject* object)
{
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    // Answer once, for the most derived class: a name further up the chain is
    // Qt's to interpret.
    if (className != QLatin1StringView(object->metaObject()->className())) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (isDecorative(widget)) {
        return new DecorativeAccessible(widget);
    }
    if (const QVariant role = widget->property(buttonRoleProperty);
        role.isValid() && qobject_cast<QAbstractButton*>(widget) != nullptr) {
        const auto buttonRole = static_cast<QAccessible::Role>(role.toInt());
        return new BrandButtonAccessible(
            static_cast<QAbstractButton*>(widget), buttonRole == QAccessible::PageTab, buttonRole);
    }
    if (widget->property(paintedTextProperty).toBool()) {
        return new BrandWidgetAccessible(widget, QAccessible::StaticText, BrandWidgetAccessible::Children::none);
    }
    if (object->inherits("kestravin::ChoiceButton")) {
        return new BrandButtonAccessible(static_cast<QAbstractButton*>(widget), true);
    }
    if (object->inherits("kestravin::BrandButton")) {
        return new BrandButtonAccessible(static_cast<QAbstractButton*>(widget), false);
    }
    if (inherits(object, paintedTextClasses)) {
        return new BrandWidgetAccessible(widget, QAccessible::StaticText, BrandWidgetAccessible::Children::none);
    }
    if (isPlainContainer(object->metaObject())) {
        return new ContainerAccessible(widget);
    }
    return nullptr;
}

// Installed while the program starts, ahead of every widget.
const bool installedAtStart = (install(), true);

} // namespace

void install()
{
    Q_UNUSED(installedAtStart);
    // Qt asks the factories installed last first, and QApplication installs
    // its own (which also answers for plain QWidgets) while it starts. So once
    // more after that, to stay ahead of it; until then, at least ahead of every
    // control.
    static bool aheadOfApplication = false;
    if (aheadOfApplication) {
        return;
    }
    QAccessible::removeFactory(brandFactory);
    QAccessible::installFactory(brandFactory);
    aheadOfApplication = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void setDecorative(QWidget* widget)
{
    install();
    widget->setProperty(decorativeProperty, true);
}

void setPaintedText(QWidget* widget)
{
    install();
    widget->setProperty(paintedTextProperty, true);
}

void setButtonRole(QAbstractButton* button, QAccessible::Role role)
{
    install();
    button->setProperty(buttonRoleProperty, static_cast<int>(role));
}

void setPressable(QAbstractButton* button)
{
    setButtonRole(button, QAccessible::Button);
}

void setDefaultButton(QAbstractButton* button)
{
    button->setProperty(defaultButtonProperty, true);
}

bool isDecorative(const QWidget* widget)
{
    return widget->property(decorativeProperty).toBool() || inherits(widget, decorativeClasses);
}

void labelField(QLabel* caption, QWidget* field)
{
    install();
    QWidget* named = field;
    if (auto* editor = qobject_cast<BrandTextEditor*>(field)) {
        named = editor->editor();
    }
    caption->setBuddy(named);
    named->setAccessibleName(withoutMnemonic(caption->text()));
}

} // namespace kestravin::BrandAccessibility
