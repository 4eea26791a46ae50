#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace kestravin {

// The countdown beside the tray icon. The width reserved for the text only
// grows while a countdown runs (so the item never jitters as digits change or
// one drops off) and is at least that of " 00:00"; it is given up when the
// countdown ends.
class StatusTitleModel {
public:
    // Width of a text in the title's font, in logical pixels.
    using Measure = std::function<qreal(const QString&)>;

    static constexpr qreal defaultImageWidth = 18;
    static constexpr qreal lengthPadding = 10;

    explicit StatusTitleModel(Measure measure, qreal imageWidth = defaultImageWidth);

    // Takes the schedule manager's remaining-time text (empty: no countdown).
    void update(const QString& remainingTime);

    // One space and the remaining time, or empty.
    QString title() const { return m_title; }
    // The widest text reserved for: the digit template that set the width.
    QString guide() const { return m_guide; }
    qreal reservedWidth() const { return m_reservedWidth; }
    // Image width + reserved width + padding while a countdown runs; none
    // (the icon's own width) otherwise.
    std::optional<qreal> length() const { return m_length; }

private:
    Measure m_measure;
    qreal m_imageWidth;
    QString m_title;
    QString m_guide;
    qreal m_reservedWidth = 0;
    std::optional<qreal> m_length;
};

} // namespace kestravin
