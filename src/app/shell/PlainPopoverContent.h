#pragma once

#include <QWidget>

#include <functional>

class QLabel;

namespace kestravin {

// A plain popover view: the blocking status line and "Sair". It stands in
// the popover until the full menu view takes its place.
class PlainPopoverContent : public QWidget {
    Q_OBJECT
public:
    explicit PlainPopoverContent(std::function<bool()> isBlocking, QWidget* parent = nullptr);

    // "Foco ativo" or "Livre agora", read again from `isBlocking`.
    void refresh();
    QString statusText() const;

private:
    std::function<bool()> m_isBlocking;
    QLabel* m_status;
};

} // namespace kestravin
