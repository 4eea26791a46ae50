#pragma once

#include "SettingsPages.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace kestravin {

class SettingsView;

// Owns the one settings window of the process: made on first show(), kept
// until the process ends; closing it only hides it.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    static SettingsWindowController& shared();

    // Makes the window on first use (centred once), shows it, raises it and
    // gives it the keyboard.
    void show();

    // The window, once made; null before the first show().
    QWidget* window() const { return m_window; }
    SettingsView* view() const;

    // The pages of the window to make; only read by the first show().
    void setPages(SettingsPages pages) { m_pages = std::move(pages); }

private:
    QPointer<QWidget> m_window;
    std::optional<SettingsPages> m_pages;
};

} // namespace kestravin
