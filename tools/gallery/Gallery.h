#pragma once

#include "app/views/brand/Appearance.h"

#include <QWidget>

namespace kestravin {

// One page that shows every control of the design system and the mascot, drawn
// in the current appearance.
class Gallery : public QWidget {
    Q_OBJECT
public:
    explicit Gallery(QWidget* parent = nullptr);

    // Puts the sample controls into the states worth seeing in a still picture
    // (a hovered button, a focused field, a selected check, a flight mid-way).
    void stage();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyPalette();
};

} // namespace kestravin
