#pragma once

#include <QDateTime>
#include <QIcon>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;

namespace kestravin {

class BrandButton;
class FolgaLine;

// What the covering panel shows in place of a blocked app: the app's icon
// with the mascot over its corner, "<name> fica para depois." and when the app
// opens again, the prominent way back to the focus (Return presses it) and
// the break line. A card 460 wide whose height follows its text; the colours
// follow the appearance. A new view is built for every blocked attempt.
class AppBlockView : public QWidget {
    Q_OBJECT
public:
    static constexpr int cardWidth = 460;

    AppBlockView(QString name, QIcon icon, std::optional<QDateTime> endsAt, std::function<void()> onFolga,
        std::function<void()> onReturn, QWidget* parent = nullptr);

    // The header's second line: when the focus ends, in local time.
    static QString endLine(const std::optional<QDateTime>& endsAt);
    static QString title(const QString& name);

    QLabel* titleLabel() const { return m_title; }
    QLabel* endLineLabel() const { return m_endLine; }
    BrandButton* returnButton() const { return m_return; }
    FolgaLine* folgaLine() const { return m_folga; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyColors();

    std::function<void()> m_onReturn;
    QLabel* m_title = nullptr;
    QLabel* m_endLine = nullptr;
    BrandButton* m_return = nullptr;
    FolgaLine* m_folga = nullptr;
};

} // namespace kestravin
