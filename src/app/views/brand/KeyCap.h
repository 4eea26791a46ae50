#pragma once

#include <QWidget>

namespace kestravin {

// A keyboard key with a short label, for keyboard hints: 10-point medium
// monospaced text in muted ink on paper, radius 5, hairline border and a
// 1-point lower edge; at least 16 × 16, 4 points of padding each side.
class KeyCap : public QWidget {
    Q_OBJECT
public:
    explicit KeyCap(const QString& key, QWidget* parent = nullptr);

    QString key() const { return m_key; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_key;
};

} // namespace kestravin
