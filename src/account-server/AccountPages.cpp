#include "AccountPages.h"

#include <QDateTime>

using namespace Qt::StringLiterals;

namespace kestravin::AccountPages {

namespace {

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QByteArray document(const QString& title, const QString& body)
{
    const QString html = uR"(<!DOCTYPE html>
<html lang="pt-BR">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>%1</title>
<style>
body { font-family: system-ui, sans-serif; background: #fbfaf8; color: #1c1b19; margin: 0; }
main { max-width: 32rem; margin: 4rem auto; padding: 0 1.5rem; }
h1 { font-size: 1.6rem; }
.code { font: 600 2.2rem ui-monospace, monospace; letter-spacing: 0.15em; margin: 1rem 0; }
label { display: block; margin: 1rem 0 0.3rem; font-weight: 600; }
input[type=text] { font-size: 1rem; padding: 0.5rem; width: 100%; box-sizing: border-box; }
button { font-size: 1rem; padding: 0.6rem 1.2rem; margin: 1.2rem 0.6rem 0 0; border-radius: 0.5rem;
  border: 1px solid #8a7f6b; background: #fff; color: inherit; }
button.primary { background: #b17a20; border-color: #b17a20; color: #fff; }
:focus-visible { outline: 3px solid #1a5fb4; outline-offset: 2px; }
.problem { color: #a51d2d; font-weight: 600; }
ul { padding-left: 1.2rem; }
@media (prefers-color-scheme: dark) {
  body { background: #1c1b19; color: #f4f1ea; }
  button { background: #2c2a26; }
  button.primary { background: #f8bd52; border-color: #f8bd52; color: #1c1b19; }
  .problem { color: #ff7b72; }
  :focus-visible { outline-color: #99c1f1; }
}
</style>
</head>
<body>
<main>
%2
</main>
</body>
</html>
)"_s.arg(escaped(title), body);
    return html.toUtf8();
}

QString when(qint64 ms, const QTimeZone& zone)
{
    return QDateTime::fromMSecsSinceEpoch(ms, zone).toString(u"dd/MM/yyyy 'às' HH:mm"_s);
}

} // namespace

QByteArray confirmation(const LinkPage& page)
{
    QString body = u"<h1>Conectar o Kestravin</h1>\n"_s
                   u"<p>Confira se este é o código que aparece no aplicativo:</p>\n"_s
                   u"<p class=\"code\" aria-label=\"Código %1\">%1</p>\n"_s.arg(escaped(page.code));
    if (!page.problem.isEmpty())
        body += u"<p class=\"problem\" role=\"alert\">%1</p>\n"_s.arg(escaped(page.problem));
    body += u"<form method=\"post\" action=\"link\">\n"_s;
    body += u"<input type=\"hidden\" name=\"code\" value=\"%1\">\n"_s.arg(escaped(page.code));
    body += u"<input type=\"hidden\" name=\"token\" value=\"%1\">\n"_s.arg(escaped(page.formToken));
    if (!page.install.isEmpty())
        body += u"<input type=\"hidden\" name=\"install\" value=\"%1\">\n"_s.arg(escaped(page.install));
    if (page.askName) {
        body += u"<label for=\"name\">Seu nome</label>\n"_s
                u"<input type=\"text\" id=\"name\" name=\"name\" autocomplete=\"name\" maxlength=\"80\" required>\n"_s;
    }
    body += u"<button type=\"submit\" class=\"primary\" name=\"action\" value=\"confirm\">Confirmar</button>"_s
            u"<button type=\"submit\" name=\"action\" value=\"cancel\" formnovalidate>Cancelar</button>\n"_s
            u"</form>\n"_s;
    return document(u"Conectar o Kestravin"_s, body);
}

QByteArray confirmed()
{
    return document(u"Kestravin conectado"_s,
        u"<h1 role=\"status\">Pronto, o Kestravin está conectado.</h1>\n"_s
        u"<p>Pode fechar esta página e voltar ao aplicativo.</p>\n"_s);
}

QByteArray cancelled()
{
    return document(u"Conexão cancelada"_s,
        u"<h1 role=\"status\">Conexão cancelada.</h1>\n<p>Nenhum computador foi conectado à sua conta.</p>\n"_s);
}

QByteArray unknownCode()
{
    return document(u"Código inválido"_s,
        u"<h1>Este código não vale mais.</h1>\n<p>Peça um novo código no aplicativo e tente de novo.</p>\n"_s);
}

QByteArray refused()
{
    return document(u"Pedido recusado"_s,
        u"<h1>Não foi possível confirmar por aqui.</h1>\n"_s
        u"<p>Abra de novo a página que o aplicativo mostrou e confirme por ela.</p>\n"_s);
}

QByteArray account(const std::optional<AccountStore::Person>& person, const QList<AccountStore::Device>& devices,
    const QTimeZone& zone)
{
    if (!person) {
        return document(u"Minha conta"_s,
            u"<h1>Minha conta</h1>\n<p>Ainda não há uma conta aqui. Conecte o Kestravin pelo aplicativo.</p>\n"_s);
    }
    QString body = u"<h1>Minha conta</h1>\n<p>%1</p>\n"_s.arg(escaped(person->name));
    if (!person->email.isEmpty())
        body += u"<p>%1</p>\n"_s.arg(escaped(person->email));
    body += u"<h2>Computadores conectados</h2>\n"_s;
    if (devices.isEmpty()) {
        body += u"<p>Nenhum computador conectado.</p>\n"_s;
    } else {
        body += u"<ul>\n"_s;
        for (const AccountStore::Device& device : devices) {
            body += u"<li>%1: conectado em %2, visto por último em %3</li>\n"_s.arg(
                escaped(device.label), when(device.linkedAt, zone), when(device.lastSeen, zone));
        }
        body += u"</ul>\n"_s;
    }
    return document(u"Minha conta"_s, body);
}

QByteArray notFound()
{
    return document(u"Página não encontrada"_s, u"<h1>Página não encontrada.</h1>\n"_s);
}

} // namespace kestravin::AccountPages
