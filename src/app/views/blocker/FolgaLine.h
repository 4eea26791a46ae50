#pragma once

#include "app/models/FolgaLineModel.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QTimer;

namespace kestravin {

class BrandButton;
class BrandHairline;
class BrandSymbol;
class DesktopAccountService;

// The break (folga) line at the foot of the screens that stand in front of
// something blocked: whether a break runs and until when, the break to use
// now with its button, or how to earn one. It follows the account snapshot
// and takes no space while there is no break block. Its button runs the
// embedding screen's action; the line requests nothing itself.
class FolgaLine : public QWidget {
    Q_OBJECT
public:
    explicit FolgaLine(std::function<void()> onFolga, QWidget* parent = nullptr);
    FolgaLine(std::function<void()> onFolga, DesktopAccountService& account, QWidget* parent = nullptr);

    // Whether the line has something to show for the account's current state.
    bool hasLine() const { return m_line.has_value(); }
    const std::optional<FolgaLineModel>& line() const { return m_line; }
    QString text() const;
    // The "Usar agora" button, shown only while a break can be used.
    BrandButton* useButton() const { return m_use; }

private:
    void refresh();
    void applyColors();

    std::function<void()> m_onFolga;
    DesktopAccountService& m_account;
    std::optional<FolgaLineModel> m_line;
    BrandHairline* m_divider;
    BrandSymbol* m_sparkles;
    QLabel* m_text;
    BrandButton* m_use;
    // Re-reads the line when a running break reaches its end.
    QTimer* m_endTimer;
};

} // namespace kestravin
