#pragma once

#include "app/models/SiteTileItem.h"
#include "app/views/brand/BrandMotion.h"

#include <QAbstractButton>
#include <QPointer>

class QScrollArea;

namespace kestravin {

class LinkPressStyle;
class SiteIconStore;

// One blocked site in the selector's list: icon, name, the host when the name
// differs, and a check mark on the chosen one. Read as a radio button.
class SiteSelectRow : public QAbstractButton {
    Q_OBJECT
public:
    SiteSelectRow(const QString& host, bool selected, SiteIconStore& store, QWidget* parent = nullptr);

    const QString& host() const { return m_host; }
    const SiteTileItem& item() const { return m_item; }
    bool isSelectedRow() const { return m_selected; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_host;
    SiteTileItem m_item;
    bool m_selected;
    bool m_hovered = false;
    SiteIconStore& m_store;
};

// The drop-down of the request form that picks one of the blocked sites: a
// rounded field with the chosen site's icon and name that opens a list below
// it. Under 8 sites the list has its natural height; from 8 it scrolls, 340
// points high, with the chosen row in the middle. It does not check the
// selection against `sites`: whatever the form holds is shown.
class SiteSelect : public QAbstractButton {
    Q_OBJECT
public:
    SiteSelect(QStringList sites, QString selection, SiteIconStore& store, QWidget* parent = nullptr);
    ~SiteSelect() override;

    const QStringList& sites() const { return m_sites; }
    const QString& selection() const { return m_selection; }
    void setSelection(const QString& host);
    const SiteTileItem& item() const { return m_item; }

    bool isOpen() const { return m_popup != nullptr && m_popup->isVisible(); }
    void open();
    void close();
    // The open list (tests): its rows, and the scroll area when it scrolls.
    QWidget* popup() const { return m_popup; }
    QList<SiteSelectRow*> rows() const;
    QScrollArea* scrollArea() const { return m_scroll; }

    static QString accessibleNameFor(const SiteTileItem& item, const QString& selection);

    QSize sizeHint() const override;

Q_SIGNALS:
    // The user picked a row (also the one already chosen).
    void picked(const QString& host);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void toggle();
    void setOpenLook(bool open);
    void pick(const QString& host);

    QStringList m_sites;
    QString m_selection;
    SiteTileItem m_item;
    SiteIconStore& m_store;
    LinkPressStyle* m_press = nullptr;
    bool m_hovered = false;
    BrandTween m_openAmount;
    QPointer<QWidget> m_popup;
    QScrollArea* m_scroll = nullptr;
};

} // namespace kestravin
