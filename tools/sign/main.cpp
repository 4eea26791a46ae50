// Signs update archives of the portable bundle.
//   kestravin-sign keygen SECRET_FILE      writes a new key pair's secret key
//                                          (0600) and prints its public key
//   kestravin-sign public SECRET_FILE      prints the public key
//   kestravin-sign sign SECRET_FILE FILE   prints the signature of FILE
//   kestravin-sign item SECRET_FILE FILE URL VERSION [DISPLAY_VERSION]
//                                          prints the feed's <item> for FILE
// Keys and signatures are base64; the public key goes into the build
// (KESTRAVIN_UPDATE_PUBLIC_KEY).
#include "app/services/update/Appcast.h"
#include "app/services/update/UpdateSignature.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

int usage()
{
    std::fprintf(stderr,
        "usage: kestravin-sign keygen SECRET_FILE\n"
        "       kestravin-sign public SECRET_FILE\n"
        "       kestravin-sign sign SECRET_FILE FILE\n"
        "       kestravin-sign item SECRET_FILE FILE URL VERSION [DISPLAY_VERSION]\n");
    return 2;
}

QByteArray readSecret(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QByteArray::fromBase64(file.readAll().trimmed());
}

// Signs the file's bytes; empty on failure (with a message printed).
QByteArray signFile(const QString& secretPath, const QString& path)
{
    const QByteArray secret = readSecret(secretPath);
    if (secret.size() != UpdateSignature::secretKeySize) {
        std::fprintf(stderr, "kestravin-sign: %s holds no secret key\n", qPrintable(secretPath));
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "kestravin-sign: cannot read %s\n", qPrintable(path));
        return {};
    }
    const qint64 size = file.size();
    const uchar* data = size > 0 ? file.map(0, size) : nullptr;
    if (size > 0 && !data) {
        std::fprintf(stderr, "kestravin-sign: cannot read %s\n", qPrintable(path));
        return {};
    }
    static const uchar empty = 0;
    return UpdateSignature::sign(secret, data ? data : &empty, std::size_t(size));
}

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        return usage();
    }
    const QString command = args.at(0);
    if (command == u"keygen"_s && args.size() == 2) {
        if (QFileInfo::exists(args.at(1))) {
            std::fprintf(stderr, "kestravin-sign: %s exists; not replacing a key\n", qPrintable(args.at(1)));
            return 1;
        }
        const UpdateSignature::KeyPair pair = UpdateSignature::generateKeyPair();
        QFile file(args.at(1));
        if (pair.secretKey.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly)
            || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)
            || file.write(pair.secretKey.toBase64() + '\n') < 0 || !file.flush()) {
            std::fprintf(stderr, "kestravin-sign: cannot write %s\n", qPrintable(args.at(1)));
            return 1;
        }
        std::printf("%s\n", pair.publicKey.toBase64().constData());
        return 0;
    }
    if (command == u"public"_s && args.size() == 2) {
        const QByteArray secret = readSecret(args.at(1));
        if (secret.size() != UpdateSignature::secretKeySize) {
            std::fprintf(stderr, "kestravin-sign: %s holds no secret key\n", qPrintable(args.at(1)));
            return 1;
        }
        // An Ed25519 secret key ends with its public key.
        std::printf("%s\n", secret.right(UpdateSignature::publicKeySize).toBase64().constData());
        return 0;
    }
    if (command == u"sign"_s && args.size() == 3) {
        const QByteArray signature = signFile(args.at(1), args.at(2));
        if (signature.isEmpty()) {
            return 1;
        }
        std::printf("%s\n", signature.toBase64().constData());
        return 0;
    }
    if (command == u"item"_s && (args.size() == 5 || args.size() == 6)) {
        const QByteArray signature = signFile(args.at(1), args.at(2));
        if (signature.isEmpty()) {
            return 1;
        }
        const QString version = args.at(4);
        const QString display = args.size() == 6 ? args.at(5) : version;
        const QString item = u"<item>\n"
                             "  <title>%1</title>\n"
                             "  <kestravin:version>%2</kestravin:version>\n"
                             "  <kestravin:shortVersionString>%1</kestravin:shortVersionString>\n"
                             "  <enclosure url=\"%3\" length=\"%4\" type=\"application/x-xz\" "
                             "kestravin:edSignature=\"%5\"/>\n"
                             "</item>\n"_s.arg(escaped(display), escaped(version), escaped(args.at(3)))
                                 .arg(QFileInfo(args.at(2)).size())
                                 .arg(QString::fromLatin1(signature.toBase64()));
        std::printf("<!-- in <rss version=\"2.0\" xmlns:kestravin=\"%s\"> -->\n%s",
            qPrintable(Appcast::xmlNamespace.toString()), qPrintable(item));
        return 0;
    }
    return usage();
}
