#include "SettingsPages.h"

#include "WeekScheduleEditor.h"
#include "app/services/daemon/HelperInstaller.h"
#include "app/views/account/FolgasView.h"
#include "app/views/account/OrlaAccountView.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/PlainLabel.h"
#include "app/views/pickers/BlockedAppsView.h"
#include "app/views/pickers/BlockedSitesView.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

#include <tuple>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QLabel* label(const QString& text, int size, QFont::Weight weight, QWidget* parent, bool muted = false)
{
    auto* l = plainLabel(text, parent);
    l->setFont(BrandFonts::font(size, weight));
    l->setWordWrap(true);
    if (muted) {
        QPalette palette = l->palette();
        palette.setColor(QPalette::WindowText, BrandPalette::current().mutedInk);
        l->setPalette(palette);
    }
    return l;
}

QVBoxLayout* pageColumn(QWidget* page, const QString& title, const QString& subtitle)
{
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(label(title, 17, QFont::Bold, page));
    column->addWidget(label(subtitle, 12, QFont::Normal, page, true));
    column->addSpacing(8);
    return column;
}

// A row of two page actions, named by their labels, closing the page's column.
std::pair<BrandButton*, BrandButton*> actionRow(
    QWidget* page, QVBoxLayout* column, const QString& secondary, const QString& primary, bool primaryFirst)
{
    auto* buttons = new QHBoxLayout;
    auto* first = new BrandButton(primaryFirst ? primary : secondary, primaryFirst, page);
    auto* second = new BrandButton(primaryFirst ? secondary : primary, !primaryFirst, page);
    for (BrandButton* button : { first, second }) {
        button->setAccessibleName(button->text());
        buttons->addWidget(button);
    }
    buttons->addStretch();
    column->addLayout(buttons);
    column->addStretch();
    return { first, second };
}

} // namespace

NoUpdater::NoUpdater(QString version, QObject* parent) : SettingsUpdater(parent), m_version(std::move(version))
{
}

QString NoUpdater::message() const
{
    return u"Esta versão não se atualiza sozinha. Atualize pelo gerenciador de pacotes do sistema."_s;
}

const SettingsPageMaker& SettingsPages::maker(SettingsTab tab) const
{
    switch (tab) {
    case SettingsTab::sites:
        return sites;
    case SettingsTab::apps:
        return apps;
    case SettingsTab::schedule:
        return schedule;
    case SettingsTab::missions:
        return missions;
    case SettingsTab::helper:
        return helper;
    case SettingsTab::about:
        return about;
    case SettingsTab::ai:
        return ai;
    }
    return sites;
}

QWidget* SettingsPages::placeholder(const QString& title, const QString& body)
{
    auto* page = new QWidget;
    page->setAccessibleName(title);
    auto* column = pageColumn(page, title, body);
    column->addStretch();
    return page;
}

SettingsPages SettingsPages::standard()
{
    SettingsPages pages;
    pages.sites = [] { return new BlockedSitesView; };
    pages.apps = [] { return new BlockedAppsView; };
    pages.schedule = [] { return new WeekScheduleEditor(WeekScheduleEditor::Services::shared(), false); };
    pages.missions = [] { return new FolgasView; };
    pages.helper = [] { return new HelperPermissionPage(HelperInstaller::shared()); };
    pages.about = [] {
        auto* page = new AboutPage(*new NoUpdater(QCoreApplication::applicationVersion()));
        return page;
    };
    pages.ai = [] { return new OrlaAccountView; };
    return pages;
}

// ---- HelperPermissionPage ----

HelperPermissionPage::HelperPermissionPage(HelperInstaller& installer, QWidget* parent)
    : QWidget(parent), m_installer(installer)
{
    setAccessibleName(u"Permissões"_s);
    auto* column = pageColumn(this, u"Permissões"_s,
        u"Para bloquear sites em todos os navegadores, o Kestravin usa um pequeno serviço do sistema. "
        u"Instalar pede a senha de administrador uma única vez."_s);
    m_status = label({}, 14, QFont::DemiBold, this);
    // The text is what is read; what the line is about goes to the description.
    m_status->setAccessibleDescription(u"Estado do serviço"_s);
    m_detail = label({}, 12, QFont::Normal, this, true);
    m_error = label({}, 12, QFont::Medium, this);
    m_error->setAccessibleDescription(u"Erro"_s);
    QPalette palette = m_error->palette();
    palette.setColor(QPalette::WindowText, QColor(0xC2, 0x3B, 0x22));
    m_error->setPalette(palette);
    column->addWidget(m_status);
    column->addWidget(m_detail);
    column->addWidget(m_error);

    std::tie(m_install, m_uninstall) = actionRow(this, column, u"Remover serviço"_s, u"Instalar serviço"_s, true);

    using Action = void (HelperInstaller::*)(HelperInstaller::Completion);
    auto run = [this](Action action) {
        m_lastError.clear();
        refresh();
        QPointer<HelperPermissionPage> self(this);
        (m_installer.*action)([self](bool success, const QString& message) {
            if (self) {
                self->finished(success, message);
            }
        });
    };
    connect(m_install, &QAbstractButton::clicked, this, [run] { run(&HelperInstaller::installHelper); });
    connect(m_uninstall, &QAbstractButton::clicked, this, [run] { run(&HelperInstaller::uninstallHelper); });
    for (auto signal : { &HelperInstaller::isHelperInstalledChanged, &HelperInstaller::isInstallingChanged,
             &HelperInstaller::awaitingApprovalChanged, &HelperInstaller::installationErrorChanged }) {
        connect(&m_installer, signal, this, &HelperPermissionPage::refresh);
    }
    refresh();
}

void HelperPermissionPage::finished(bool success, const QString& message)
{
    m_lastError = success ? QString() : (message.isEmpty() ? u"Não foi possível concluir. Tente de novo."_s : message);
    refresh();
}

QString HelperPermissionPage::statusText() const
{
    return m_status->text();
}

QString HelperPermissionPage::errorText() const
{
    return m_error->text();
}

void HelperPermissionPage::refresh()
{
    QString status;
    QString detail;
    if (m_installer.awaitingApproval()) {
        status = u"Aguardando sua aprovação"_s;
        detail = u"Confirme na janela de autenticação do sistema para ativar o serviço."_s;
    } else if (m_installer.isInstalling()) {
        status = u"Instalando…"_s;
    } else if (m_installer.isHelperInstalled()) {
        status = u"Serviço instalado e ativo"_s;
        detail = u"Os sites da sua lista são bloqueados em todos os navegadores durante o foco."_s;
    } else if (!m_installer.installationError().isEmpty()) {
        status = u"Serviço com problema"_s;
        detail = m_installer.installationError();
    } else {
        status = u"Serviço não instalado"_s;
        detail = u"Sem ele, os sites não são bloqueados."_s;
    }
    m_status->setText(status);
    m_detail->setText(detail);
    m_detail->setVisible(!detail.isEmpty());
    m_error->setText(m_lastError);
    m_error->setVisible(!m_lastError.isEmpty());
    const bool busy = m_installer.isInstalling() || m_installer.awaitingApproval();
    m_install->setVisible(!m_installer.isHelperInstalled());
    m_install->setEnabled(!busy);
    m_uninstall->setVisible(m_installer.isHelperInstalled());
    m_uninstall->setEnabled(!busy);
}

// ---- AboutPage ----

const QString AboutPage::reviewWelcomeLabel = u"Rever as boas-vindas"_s;

std::function<void()>& AboutPage::reviewWelcomeHook()
{
    static std::function<void()> hook;
    return hook;
}

AboutPage::AboutPage(SettingsUpdater& updater, QWidget* parent) : QWidget(parent), m_updater(updater)
{
    if (!updater.parent()) {
        updater.setParent(this);
    }
    setAccessibleName(u"Sobre"_s);
    auto* column = pageColumn(this, u"Kestravin"_s, u"Um passo de cada vez."_s);
    m_version = label({}, 13, QFont::Medium, this);
    // The text is what is read; what the line is about goes to the description.
    m_version->setAccessibleDescription(u"Versão"_s);
    m_phase = label({}, 12, QFont::Normal, this, true);
    m_phase->setAccessibleDescription(u"Atualizações"_s);
    column->addWidget(m_version);
    column->addWidget(m_phase);
    std::tie(m_check, m_install) = actionRow(this, column, u"Procurar atualizações"_s, u"Instalar agora"_s, false);
    connect(m_check, &QAbstractButton::clicked, &m_updater, &SettingsUpdater::checkNow);
    connect(m_install, &QAbstractButton::clicked, &m_updater, &SettingsUpdater::installNow);
    m_reviewWelcome = new BrandButton(reviewWelcomeLabel, false, this);
    m_reviewWelcome->setAccessibleName(reviewWelcomeLabel);
    auto* review = new QHBoxLayout;
    review->addWidget(m_reviewWelcome);
    review->addStretch();
    // Above the stretch that closes the column.
    column->insertLayout(column->count() - 1, review);
    connect(m_reviewWelcome, &QAbstractButton::clicked, this, [] {
        if (reviewWelcomeHook())
            reviewWelcomeHook()();
    });
    connect(&m_updater, &SettingsUpdater::changed, this, &AboutPage::refresh);
    refresh();
}

QString AboutPage::phaseText() const
{
    return m_phase->text();
}

QString AboutPage::phaseText(const SettingsUpdater& updater)
{
    using Phase = SettingsUpdater::Phase;
    switch (updater.phase()) {
    case Phase::unavailable:
    case Phase::failed:
        return updater.message();
    case Phase::idle:
        return {};
    case Phase::checking:
        return u"Procurando atualizações…"_s;
    case Phase::upToDate:
        return u"Você está com a versão mais recente."_s;
    case Phase::available:
        return u"Versão %1 disponível."_s.arg(updater.availableVersion());
    case Phase::downloading:
        return u"Baixando a atualização…"_s;
    case Phase::readyToInstall:
        return u"Atualização pronta. O Kestravin reinicia ao instalar."_s;
    }
    return {};
}

void AboutPage::refresh()
{
    using Phase = SettingsUpdater::Phase;
    const QString version = m_updater.version();
    m_version->setText(version.isEmpty() ? u"Versão de desenvolvimento"_s : u"Versão %1"_s.arg(version));
    m_phase->setText(phaseText(m_updater));
    m_phase->setVisible(!m_phase->text().isEmpty());
    const Phase phase = m_updater.phase();
    m_check->setEnabled(phase != Phase::unavailable && phase != Phase::checking && phase != Phase::downloading);
    m_install->setVisible(phase == Phase::available || phase == Phase::readyToInstall);
}

} // namespace kestravin
