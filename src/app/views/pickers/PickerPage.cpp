#include "app/views/pickers/PickerPage.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/PlainLabel.h"
#include "app/views/brand/RollingText.h"
#include "app/views/pickers/PickerColors.h"
#include "app/views/pickers/PickerWidgets.h"

#include <QBoxLayout>
#include <QLabel>
#include <QScrollArea>

using namespace Qt::StringLiterals;

namespace kestravin::PickerPage {

QLabel* mutedLabel(const QString& text, int pixelSize, QWidget* parent)
{
    auto* label = plainLabel(text, parent);
    label->setFont(BrandFonts::font(pixelSize));
    auto paint = [label] {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, PickerColors::current().muted);
        label->setPalette(palette);
    };
    paint();
    QObject::connect(&Appearance::shared(), &Appearance::changed, label, paint);
    return label;
}

void addHeader(QBoxLayout* layout, const QString& title, const QString& subtitle)
{
    auto* block = new QVBoxLayout;
    block->setSpacing(8);
    auto* heading = plainLabel(title);
    heading->setFont(BrandFonts::font(24, QFont::DemiBold, BrandFonts::Design::Rounded));
    auto* line = mutedLabel(subtitle, 13);
    line->setWordWrap(true);
    block->addWidget(heading);
    block->addWidget(line);
    layout->addLayout(block);
}

QWidget* counter(RollingText** number, int initial, QWidget* parent)
{
    auto* box = new QWidget(parent);
    // Read once, as "3 para depois", not as a number and a loose suffix.
    BrandAccessibility::setPaintedText(box);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    *number = new RollingText(QString::number(initial), box);
    (*number)->setFont(BrandFonts::font(13, QFont::DemiBold, BrandFonts::Design::Monospaced));
    auto* suffix = mutedLabel(u" para depois"_s, 13, box);
    (*number)->setAccessibleName(QString());
    suffix->setAccessibleName(QString());
    row->addWidget(*number);
    row->addWidget(suffix);
    box->setAccessibleName(QString::number(initial) + u" para depois"_s);
    return box;
}

void setCount(QWidget* counter, RollingText* number, int count, double direction)
{
    const QString text = QString::number(count);
    if (number->text() != text) {
        number->setText(text, direction);
    }
    counter->setAccessibleName(text + u" para depois"_s);
}

Frame build(QWidget* page, bool embedded, const FrameTexts& texts, int initialCount)
{
    Frame frame;
    frame.page = new QVBoxLayout(page);
    frame.page->setContentsMargins(0, 0, 0, 0);
    frame.page->setSpacing(18);
    frame.notice = new LockNotice(page);
    frame.page->addWidget(frame.notice);
    if (!embedded) {
        addHeader(frame.page, texts.title, texts.subtitle);
    }
    auto* searchRow = new QHBoxLayout;
    searchRow->setSpacing(16);
    frame.search = new PickerSearchField(texts.placeholder, page);
    searchRow->addWidget(frame.search, 1);
    searchRow->addStretch(0);
    searchRow->addWidget(counter(&frame.count, initialCount, page));
    frame.page->addLayout(searchRow);

    auto* scroll = new QScrollArea(page);
    // Only a frame for the tiles: the tiles take the keys, and the area
    // scrolls to the one that has the focus.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    frame.column = new QVBoxLayout(content);
    frame.column->setContentsMargins(2, 2, 2, 2);
    scroll->setWidget(content);
    frame.page->addWidget(scroll, 1);
    return frame;
}

} // namespace kestravin::PickerPage
