#include "FolgasView.h"
#include "OrlaAccountView.h"

#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/settings/SettingsNavigation.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

void titled(QWidget* page, const QString& title, QLabel* body)
{
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    auto* heading = new QLabel(title, page);
    heading->setFont(BrandFonts::font(17, QFont::Bold));
    column->addWidget(heading);
    body->setWordWrap(true);
    body->setFont(BrandFonts::font(13));
    QPalette palette = body->palette();
    palette.setColor(QPalette::WindowText, BrandPalette::current().mutedInk);
    body->setPalette(palette);
    column->addWidget(body);
    column->addStretch();
}

} // namespace

FolgasView::FolgasView(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(u"Folgas"_s);
    auto* body = new QLabel(this);
    auto show = [body] {
        const bool goals = SettingsNavigation::shared().folgaPage() == FolgaPage::goals;
        body->setText(goals ? u"Metas"_s : u"Extrato"_s);
    };
    connect(&SettingsNavigation::shared(), &SettingsNavigation::folgaPageChanged, this, show);
    show();
    titled(this, u"Folgas"_s, body);
}

OrlaAccountView::OrlaAccountView(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(u"Conta"_s);
    titled(this, u"Conta"_s, new QLabel(this));
}

} // namespace kestravin
