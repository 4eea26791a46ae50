#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace kestravin {

// Every label of the views is made here. Its text is always shown as it
// stands, never read as markup: many texts come from outside (the password
// prompt's error output, the server's and the browser extension's messages,
// host and app names), and a label left to guess would render their tags.
QLabel* plainLabel(const QString& text = QString(), QWidget* parent = nullptr);

} // namespace kestravin
