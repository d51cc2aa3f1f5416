// The import of an old Access file: a 12 000-recipe Jet 4 file made by the project's generator,
// converted in place the way the first start does it. Prints its bars when it has run:
// BAR import_access_12k_s (the whole conversion) and BAR import_access_12k_read_s (the reader).

#include "access/convert.h"
#include "access/reader.h"
#include "tools/jetgen/jetgen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

void importAccess12k(benchmark::State& state) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Recipe.mdb"));
    const QByteArray bytes = kb::jet::writeJet4(kb::jet::manyRecipes(12000, 30));
    double readSeconds = 0;
    double totalSeconds = 0;
    for (auto _ : state) {
        {
            QFile f(file);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                f.write(bytes) != bytes.size())
                qFatal("could not write the Access file");
        }
        QFile::remove(dir.filePath(QStringLiteral("Recipe.access.mdb")));
        QElapsedTimer clock;
        clock.start();
        kb::access::readAccessFile(file, kb::access::readerHelperPath());
        readSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        clock.restart();
        const kb::access::Report report = kb::access::convertInPlace(dir.path());
        totalSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(totalSeconds);
        if (report.recipes != 12000 || !report.complete)
            qFatal("the import lost recipes");
    }
    std::printf("BAR import_access_12k_read_s %.3f report pass (%.1f MB)\n", readSeconds,
                static_cast<double>(bytes.size()) / 1e6);
    std::printf("BAR import_access_12k_s %.3f report pass\n", totalSeconds);
}

BENCHMARK(importAccess12k)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
