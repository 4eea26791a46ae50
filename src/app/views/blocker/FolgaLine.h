#pragma once

#include <QWidget>

#include <functional>

namespace kestravin {

class DesktopAccountService;

// The break (folga) line at the foot of the screens that stand in front of
// something blocked. It speaks only from the account's break state and takes
// no space while there is nothing to say: signed out, or an account snapshot
// that carries no break state, which is all the account service downloads so
// far. Its action is the embedding screen's; the line requests nothing itself.
class FolgaLine : public QWidget {
    Q_OBJECT
public:
    explicit FolgaLine(std::function<void()> onFolga, QWidget* parent = nullptr);
    FolgaLine(std::function<void()> onFolga, DesktopAccountService& account, QWidget* parent = nullptr);

    // Whether the line has something to show for the account's current state.
    bool hasLine() const;

    QSize sizeHint() const override;

private:
    void refresh();

    std::function<void()> m_onFolga;
    DesktopAccountService& m_account;
};

} // namespace kestravin
