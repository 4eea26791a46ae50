#pragma once

#include "AccountStore.h"

#include <QByteArray>
#include <QString>
#include <QTimeZone>

// The service's web pages: plain HTML in Portuguese, without scripts, every
// text from outside escaped. Each form posts back to its own page with a
// token that only this page carries.
namespace kestravin::AccountPages {

struct LinkPage {
    QString code;
    QString formToken;
    QString install;
    // The account has no person yet: ask for a name.
    bool askName = false;
    // A message above the form after a refused post.
    QString problem;
};

QByteArray confirmation(const LinkPage& page);
QByteArray confirmed();
QByteArray cancelled();
QByteArray unknownCode();
QByteArray refused();
QByteArray account(const std::optional<AccountStore::Person>& person, const QList<AccountStore::Device>& devices,
    const QTimeZone& zone);
QByteArray notFound();

} // namespace kestravin::AccountPages
