#pragma once

#include "SettingsNavigation.h"
#include "SettingsUpdater.h"

#include <QWidget>

#include <functional>

class QLabel;

namespace kestravin {

class BrandButton;
class HelperInstaller;

// A page of the settings window, made when the window is first built.
using SettingsPageMaker = std::function<QWidget*()>;

// Which widget stands for each page. standard() builds the application's;
// tests and the screenshot tour swap single pages.
struct SettingsPages {
    SettingsPageMaker sites;
    SettingsPageMaker apps;
    SettingsPageMaker schedule;
    SettingsPageMaker missions;
    SettingsPageMaker helper;
    SettingsPageMaker about;
    SettingsPageMaker ai;

    const SettingsPageMaker& maker(SettingsTab tab) const;
    static SettingsPages standard();
    // A page that only names itself, for pages not built into this window yet.
    static QWidget* placeholder(const QString& title, const QString& body = {});
};

// The daemon page: whether the system service is in place, and the install
// and removal actions with their errors.
class HelperPermissionPage : public QWidget {
    Q_OBJECT
public:
    explicit HelperPermissionPage(HelperInstaller& installer, QWidget* parent = nullptr);

    QString statusText() const;
    // The error of the last install or removal, empty when it went well.
    QString errorText() const;

private:
    void refresh();
    void finished(bool success, const QString& message);

    HelperInstaller& m_installer;
    QLabel* m_status;
    QLabel* m_detail;
    QLabel* m_error;
    BrandButton* m_install;
    BrandButton* m_uninstall;
    QString m_lastError;
};

// The about page: name, version, the updater's check and install, and the
// way back to the first-run wizard.
class AboutPage : public QWidget {
    Q_OBJECT
public:
    static const QString reviewWelcomeLabel;

    explicit AboutPage(SettingsUpdater& updater, QWidget* parent = nullptr);

    // What "Rever as boas-vindas" does; the application points it at the
    // first-run window, which lives above the settings.
    static std::function<void()>& reviewWelcomeHook();

    QString phaseText() const;
    static QString phaseText(const SettingsUpdater& updater);

private:
    void refresh();

    SettingsUpdater& m_updater;
    QLabel* m_version;
    QLabel* m_phase;
    BrandButton* m_check;
    BrandButton* m_install;
    BrandButton* m_reviewWelcome;
};

} // namespace kestravin
