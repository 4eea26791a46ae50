// Verifying and unpacking an update archive of about 30 MB (the Ed25519 check
// over the whole file, then libarchive into a fresh folder), side by side with
// `tar -xJf` of the same archive plus a plain `sha512sum` of it.

#include "app/services/update/UpdateArchive.h"
#include "app/services/update/UpdateSignature.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

struct Fixture {
    QTemporaryDir dir;
    QString archive;
    qint64 length = 0;
    UpdateSignature::KeyPair keys;
    QByteArray signature;

    Fixture()
    {
        // Files of four-bit noise compress to about half, as programs and
        // libraries roughly do: ~60 MB of content, ~30 MB of archive.
        const QString bundle = dir.filePath(u"Kestravin"_s);
        QDir().mkpath(bundle + u"/lib"_s);
        QRandomGenerator random(12345);
        for (int i = 0; i < 12; ++i) {
            QByteArray bytes(5 * 1024 * 1024, '\0');
            for (char& byte : bytes) {
                byte = char('a' + (random.generate() & 15));
            }
            QFile file(bundle + u"/lib/part%1.so"_s.arg(i));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
        }
        archive = dir.filePath(u"Kestravin.tar.xz"_s);
        QProcess tar;
        tar.setWorkingDirectory(dir.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XZ_OPT"_s, u"-1"_s);
        tar.setProcessEnvironment(environment);
        tar.start(u"tar"_s, { u"-cJf"_s, archive, u"Kestravin"_s });
        tar.waitForFinished(-1);
        QFile file(archive);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        length = bytes.size();
        keys = UpdateSignature::generateKeyPair();
        signature = UpdateSignature::sign(
            keys.secretKey, reinterpret_cast<const uchar*>(bytes.constData()), std::size_t(bytes.size()));
    }
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void BM_VerifyAndUnpack(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString target = f.dir.filePath(u"unpacked"_s);
    for (auto _ : state) {
        const QString error
            = UpdateArchive::verifyAndExtract(f.archive, f.length, f.keys.publicKey, f.signature, target);
        if (!error.isEmpty()) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        state.PauseTiming();
        QDir(target).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["archive_MB"] = double(f.length) / 1e6;
}

void BM_TarAndSha512(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString target = f.dir.filePath(u"untarred"_s);
    for (auto _ : state) {
        QDir().mkpath(target);
        QProcess tar;
        tar.start(u"tar"_s, { u"-xJf"_s, f.archive, u"-C"_s, target });
        tar.waitForFinished(-1);
        QProcess sha;
        sha.start(u"sha512sum"_s, { f.archive });
        sha.waitForFinished(-1);
        if (tar.exitCode() != 0 || sha.exitCode() != 0) {
            state.SkipWithError("tar or sha512sum failed");
            break;
        }
        state.PauseTiming();
        QDir(target).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["archive_MB"] = double(f.length) / 1e6;
}

} // namespace

BENCHMARK(BM_VerifyAndUnpack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_TarAndSha512)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
