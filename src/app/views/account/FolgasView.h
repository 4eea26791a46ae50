#pragma once

#include <QWidget>

namespace kestravin {

// The break ("folga") pages of the settings window. For now it names itself
// and follows the page asked for through SettingsNavigation::folgaPage.
class FolgasView : public QWidget {
    Q_OBJECT
public:
    explicit FolgasView(QWidget* parent = nullptr);
};

} // namespace kestravin
