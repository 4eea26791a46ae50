// kestravin-account: the account service on this computer. It answers the
// application's account API and serves the device-link and account pages.
// --listen ADDRESS:PORT (loopback by default) and --data FOLDER (the SQLite
// file's folder) choose where it answers and keeps its state.

#include "AccountServer.h"
#include "AccountStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

constexpr quint16 defaultPort = 47180;

void say(const QString& message)
{
    std::fprintf(stderr, "kestravin-account: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char* argv[])
{
    std::setvbuf(stderr, nullptr, _IOLBF, 0);
    qSetMessagePattern(u"%{message}"_s);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"kestravin-account"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Kestravin's account service: the account API and its web pages."_s);
    parser.addHelpOption();
    const QCommandLineOption listenOption(
        u"listen"_s, u"Address and port to answer on."_s, u"ADDRESS:PORT"_s, u"127.0.0.1:%1"_s.arg(defaultPort));
    const QCommandLineOption dataOption(u"data"_s, u"Folder of the account database."_s, u"FOLDER"_s,
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Kestravin/account-server"_s);
    parser.addOption(listenOption);
    parser.addOption(dataOption);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        say(u"unexpected arguments: "_s + parser.positionalArguments().join(u' '));
        return 2;
    }

    const QString listen = parser.value(listenOption);
    const qsizetype colon = listen.lastIndexOf(u':');
    bool portOk = false;
    const uint port = colon > 0 ? listen.mid(colon + 1).toUInt(&portOk) : 0;
    QString host = colon > 0 ? listen.left(colon) : QString();
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    const QHostAddress address(host == u"localhost"_s ? u"127.0.0.1"_s : host);
    if (!portOk || port > 65535 || address.isNull()) {
        say(u"--listen needs ADDRESS:PORT, such as 127.0.0.1:%1"_s.arg(defaultPort));
        return 2;
    }

    const QString folder = parser.value(dataOption);
    if (!QDir().mkpath(folder)) {
        say(u"cannot create the data folder "_s + folder);
        return 1;
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    AccountStore store;
    QString error;
    if (!store.open(QDir(folder).filePath(u"account.sqlite"_s), &error)) {
        say(u"cannot open the database: "_s + error);
        return 1;
    }

    const bool loopback = address.isLoopback();
    AccountServer server(
        store, [] { return QDateTime::currentMSecsSinceEpoch(); }, loopback);
    auto* tcp = new QTcpServer(&server);
    if (!tcp->listen(address, quint16(port))) {
        say(u"cannot listen on %1: %2"_s.arg(listen, tcp->errorString()));
        return 1;
    }
    server.bind(tcp);
    if (!loopback)
        say(u"answering on %1 without TLS: tokens cross the network in clear text"_s.arg(address.toString()));
    const QString base
        = u"http://%1:%2"_s
              .arg(address.protocol() == QAbstractSocket::IPv6Protocol ? u"["_s + address.toString() + u"]"_s
                                                                       : address.toString())
              .arg(tcp->serverPort());
    say(u"API %1 web %1/web data %2"_s.arg(base, folder));
    return QCoreApplication::exec();
}
