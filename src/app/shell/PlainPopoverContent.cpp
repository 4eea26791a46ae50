#include "app/shell/PlainPopoverContent.h"

#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandTokens.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

PlainPopoverContent::PlainPopoverContent(std::function<bool()> isBlocking, QWidget* parent)
    : QWidget(parent), m_isBlocking(std::move(isBlocking)), m_status(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 22);
    layout->setSpacing(18);
    m_status->setFont(BrandFonts::font(15, QFont::DemiBold));
    layout->addWidget(m_status);
    auto* quit = new BrandButton(u"Sair"_s, false, this);
    quit->setAccessibleName(u"Sair"_s);
    connect(quit, &QAbstractButton::clicked, qApp, &QCoreApplication::quit);
    layout->addWidget(quit);
    connect(&Appearance::shared(), &Appearance::colorSchemeChanged, this, &PlainPopoverContent::refresh);
    refresh();
}

void PlainPopoverContent::refresh()
{
    m_status->setText(m_isBlocking() ? u"Foco ativo"_s : u"Livre agora"_s);
    QPalette colours = m_status->palette();
    colours.setColor(QPalette::WindowText, BrandPalette::current().ink);
    m_status->setPalette(colours);
}

QString PlainPopoverContent::statusText() const
{
    return m_status->text();
}

} // namespace kestravin
