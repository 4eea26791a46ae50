#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandTextField.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/brand/Firefly.h"
#include "app/views/brand/KeyCap.h"
#include "app/views/brand/RollingText.h"
#include "app/views/brand/SelectionCheck.h"
#include "app/views/brand/SocialLabel.h"
#include "app/views/mascot/PikoSprite.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

QAccessibleInterface* iface(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

// The children assistive technology is shown, by their objects.
QList<QObject*> exposedChildren(QWidget* widget)
{
    QList<QObject*> children;
    QAccessibleInterface* root = iface(widget);
    for (int i = 0; i < root->childCount(); ++i) {
        children.append(root->child(i)->object());
    }
    return children;
}

// With assistive technology already listening, the very first options made
// must get the choice interface: Qt keeps whichever interface it made first.
TEST(BrandAccessibility, ChoicesActLikeAClickFromTheFirstOneOn)
{
    QAccessible::setActive(true);
    ChoiceChips chips({ u"15 min"_s, u"30 min"_s, u"1 h"_s }, 1);
    chips.show();
    QAccessible::setActive(false);

    for (int pick : { 0, 2, 2, 1 }) {
        QAccessibleInterface* option = iface(chips.button(pick));
        ASSERT_EQ(option->role(), QAccessible::Button);
        ASSERT_NE(option->actionInterface(), nullptr);
        EXPECT_EQ(option->actionInterface()->actionNames().value(0), QAccessibleActionInterface::pressAction());
        option->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(chips.currentIndex(), pick);
        for (int i = 0; i < chips.count(); ++i) {
            const QAccessible::State state = iface(chips.button(i))->state();
            EXPECT_EQ(bool(state.checked), i == pick) << "option " << i << " after picking " << pick;
            EXPECT_EQ(bool(state.selected), i == pick);
        }
    }
}

TEST(BrandAccessibility, ButtonsAreNamedAndADisabledOneDoesNothing)
{
    int clicks = 0;
    BrandButton ready(u"&Continuar"_s, true);
    BrandButton disabled(u"Indisponível"_s, true);
    disabled.setEnabled(false);
    for (BrandButton* button : { &ready, &disabled }) {
        QObject::connect(button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
        iface(button)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    EXPECT_EQ(iface(&ready)->text(QAccessible::Name), u"Continuar"_s);
    EXPECT_EQ(iface(&ready)->role(), QAccessible::Button);
    EXPECT_TRUE(iface(&disabled)->state().disabled);
    EXPECT_EQ(clicks, 1);
}

// Painted texts read as labels with their text; drawings leave the tree, with
// everything inside them.
TEST(BrandAccessibility, PaintedTextIsALabelAndDrawingsAreHidden)
{
    QWidget page;
    auto* layout = new QHBoxLayout(&page);
    auto* key = new KeyCap(u"esc"_s);
    auto* range = new RollingRange(480, 1080);
    auto* social = new SocialLabel(u"youtube"_s, std::nullopt, 18);
    auto* header = new BrandHeader;
    auto* night = new NightBackground;
    new PikoActivity(true, night);
    auto* drawing = new QWidget;
    BrandAccessibility::setDecorative(drawing);
    for (QWidget* widget : std::initializer_list<QWidget*> { key, range, social, header, new Firefly(30),
             new SelectionCheck(true, 20), new PikoSprite(120, false, true), night, drawing }) {
        layout->addWidget(widget);
    }
    page.show();

    EXPECT_EQ(exposedChildren(&page), (QList<QObject*> { key, range, social, header }));
    const std::pair<QWidget*, QString> texts[] = {
        { key, u"esc"_s },
        { range, u"8h\u201318h"_s },
        { social, u"YouTube"_s },
        { header, u"Kestravin"_s },
    };
    for (const auto& [widget, text] : texts) {
        EXPECT_EQ(iface(widget)->role(), QAccessible::StaticText) << text.toStdString();
        EXPECT_EQ(iface(widget)->text(QAccessible::Name), text);
        EXPECT_EQ(iface(widget)->childCount(), 0);
    }
    range->setRange(540, 570);
    EXPECT_EQ(iface(range)->text(QAccessible::Name), u"9h\u20139h30"_s);
}

TEST(BrandAccessibility, FieldsAreNamedByTheirCaptionOrElseTheirPlaceholder)
{
    QWidget page;
    auto* layout = new QHBoxLayout(&page);
    auto* caption = new QLabel(u"&Site bloqueado"_s);
    auto* captioned = new QLineEdit;
    captioned->setPlaceholderText(u"exemplo.com"_s);
    BrandTextFieldStyle::apply(captioned);
    BrandAccessibility::labelField(caption, captioned);
    auto* bare = new QLineEdit;
    bare->setPlaceholderText(u"Digite um site, como exemplo.com"_s);
    BrandTextFieldStyle::apply(bare);
    auto* editorCaption = new QLabel(u"Pedido"_s);
    auto* editor = new BrandTextEditor;
    BrandAccessibility::labelField(editorCaption, editor);
    for (QWidget* widget : std::initializer_list<QWidget*> { caption, captioned, bare, editorCaption, editor }) {
        layout->addWidget(widget);
    }
    page.show();

    EXPECT_EQ(iface(captioned)->text(QAccessible::Name), u"Site bloqueado"_s);
    EXPECT_EQ(caption->buddy(), captioned);
    EXPECT_EQ(iface(bare)->text(QAccessible::Name), u"Digite um site, como exemplo.com"_s);
    EXPECT_EQ(iface(editor->editor())->text(QAccessible::Name), u"Pedido"_s);
    EXPECT_EQ(iface(editor->editor())->role(), QAccessible::EditableText);
}

} // namespace
