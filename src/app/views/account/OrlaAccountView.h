#pragma once

#include <QWidget>

namespace kestravin {

// The account page of the settings window ("Conta"). For now it names itself.
class OrlaAccountView : public QWidget {
    Q_OBJECT
public:
    explicit OrlaAccountView(QWidget* parent = nullptr);
};

} // namespace kestravin
