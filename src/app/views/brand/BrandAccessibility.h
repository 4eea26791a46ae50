#pragma once

#include <QAccessible>
#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

namespace kestravin::BrandAccessibility {

// Installs the accessible interfaces of the design system: the choice buttons,
// the painted texts (exposed as labels with their text), the brand buttons, and
// the containers that leave decorative drawings out of the tree. It runs while
// the program starts, before any control or application object exists, because
// Qt keeps the first interface it made for a widget for the widget's whole life;
// calling it again does nothing.
void install();

// Takes `widget` and everything inside it out of the accessibility tree: the
// mascot, symbols, selection marks and other drawings that only repeat what a
// neighbouring text or control already says. Set it before the widget is shown.
void setDecorative(QWidget* widget);
bool isDecorative(const QWidget* widget);

// Reads `widget` as one label whose text is its accessible name, with nothing
// inside it: for a text painted or assembled from parts (a number and its
// unit) that is read as one. Set it before the widget is shown.
void setPaintedText(QWidget* widget);

// Reads `button` as `role` (a check box for a switch, a page tab for an entry
// that picks a page) whose one action is the click a pointer makes, so that
// choosing through assistive technology runs the same handlers; a checkable one
// reports its checked state, and a page tab its selection. Set it before the
// button is shown.
void setButtonRole(QAbstractButton* button, QAccessible::Role role);

// The same as a push button: a painted button of a screen read like a brand
// button. Set it in the button's constructor.
void setPressable(QAbstractButton* button);

// Says that `button` is the one Return presses in its window (its window
// handles the key). Set it before the button is shown.
void setDefaultButton(QAbstractButton* button);

// Makes `caption` the label of `field`: the field is named by the caption's
// text (without its mnemonic marker) and the caption focuses the field. For a
// BrandTextEditor the editor inside it is the one that is named.
void labelField(QLabel* caption, QWidget* field);

} // namespace kestravin::BrandAccessibility
