// Transfer of a linked recording from a server on 127.0.0.1 into a file (the download window's
// work without the page), and the file name made safe, run by hand:
//   build/bench/download_bench
#include "core/network/DownloadTarget.h"
#include "core/network/LinkDownload.h"
#include "tests/support/LocalHttpServer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "download-bench";
    static char* argv[] = {name, nullptr};
    static auto* instance = new QCoreApplication(argc, argv);
    return *instance;
}

void BM_LinkDownload(benchmark::State& state) {
    app();
    const qsizetype bytes = state.range(0) * 1024 * 1024;
    LocalServer server;
    server.routes["/rec.qmv"] = {200, QByteArray(bytes, 'r')};
    QTemporaryDir dir;
    int n = 0;
    for (auto _ : state) {
        LinkDownload download;
        QEventLoop loop;
        QObject::connect(&download, &LinkDownload::finished, &loop, &QEventLoop::quit);
        download.start(QUrl(server.url(QStringLiteral("/rec.qmv"))),
                       dir.filePath(QStringLiteral("r%1.qmv").arg(n++)), bytes);
        loop.exec();
        if (download.result() != LinkDownload::Result::Ok)
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_LinkDownload)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SafeDownloadName(benchmark::State& state) {
    const QString hostile = QStringLiteral("../../") + QString(300, u'가') + QStringLiteral("\n..\\.qmv");
    for (auto _ : state)
        benchmark::DoNotOptimize(SafeDownloadName(hostile));
}
BENCHMARK(BM_SafeDownloadName);

} // namespace

BENCHMARK_MAIN();
