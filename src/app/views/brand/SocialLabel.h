#pragma once

#include <QSet>
#include <QWidget>

#include <optional>

namespace kestravin {

// A platform's logo beside its name. Glyph logos (one-colour marks) take the
// text colour, so they follow the appearance; the others keep their colours.
class SocialLabel : public QWidget {
    Q_OBJECT
public:
    SocialLabel(const QString& platform, std::optional<QString> title, double size, QWidget* parent = nullptr);

    // The logos drawn by their shape only.
    static const QSet<QString>& glyphLogos();
    // What the label reads: the title when given (nothing for an empty one), else
    // the platform's own name.
    static QString displayText(const QString& platform, const std::optional<QString>& title);

    QString platform() const { return m_platform; }
    QString text() const { return m_text; }
    bool hasLogo() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_platform;
    QString m_text;
    double m_size;
};

} // namespace kestravin
