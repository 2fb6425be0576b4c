// Download figures: a full archive (2,730 records) from the emulator at the line rate and
// unpaced, through the real port object and dialog, and its decoding into a new table.
//
// Usage: bench_download [path to kve-emulator]

#include "device/ImageDecoder.h"
#include "device/receive.h"
#include "store/MeasurementTable.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kRecords = 2730;
constexpr double kCharsPerSecond = 57600 / 10.0;
constexpr int kIdentificationChars = 81;
constexpr int kArchiveChars = 2 * (2 + 24 * kRecords) + 2;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

struct Emulator {
    QProcess process;
    bool start(const QString &program, QStringList args)
    {
        process.start(program, args);
        if (!process.waitForStarted(5000))
            return false;
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (!out.contains('\n') && t.elapsed() < 5000) {
            process.waitForReadyRead(100);
            out += process.readAllStandardOutput();
        }
        return out.startsWith("ready ");
    }
    ~Emulator()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
};

struct Run {
    int result = 0;
    double wall = 0, cpu = 0;
};

Run download(const QString &emulator, const QStringList &args, TForm2 &dlg)
{
    Emulator emu;
    if (!emu.start(emulator, args)) {
        std::fprintf(stderr, "emulator did not start: %s\n", emu.process.readAllStandardError().constData());
        return {};
    }
    Run run;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dlg, &TForm2::reject);
    guard.start(120000);
    const double cpu0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    run.result = dlg.exec();
    run.wall = t.nsecsElapsed() / 1e9;
    run.cpu = cpuSeconds() - cpu0;
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString emulator = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                      : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../tools/emulator/kve-emulator"));
    if (!QFile::exists(emulator)) {
        std::fprintf(stderr, "kve-emulator not found at %s; give its path\n", qPrintable(emulator));
        return 1;
    }

    QWidget mainWindow;
    TForm2 dlg(&mainWindow);
    const QString records = QString::number(kRecords);

    const double limit = (kIdentificationChars + kArchiveChars) / kCharsPerSecond + 1.0;
    std::printf("archive: %d records, %d image bytes, %d characters with the marks\n", kRecords,
                2 + 24 * kRecords, kArchiveChars);

    const Run paced = download(emulator, {QStringLiteral("--records"), records}, dlg);
    std::printf("paced at 57600 bit/s: result %d, %.3f s from show to result; line-rate limit %.3f s "
                "(%+.2f %%); CPU %.3f s = %.2f %% of wall\n",
                paced.result, paced.wall, limit, 100.0 * (paced.wall - limit) / limit, paced.cpu,
                100.0 * paced.cpu / paced.wall);

    const Run fast = download(emulator, {QStringLiteral("--fast"), QStringLiteral("--records"), records}, dlg);
    std::printf("unpaced: result %d, %.3f s from show to result (of which 1.000 s is the pause); CPU %.3f s\n",
                fast.result, fast.wall, fast.cpu);
    if (fast.result != 1)
        return 1;

    QTemporaryDir dir;
    std::vector<double> times;
    int rows = 0;
    for (int i = 0; i < 7; ++i) {
        kve::MeasurementTable table;
        table.setFilePath(dir.filePath(QStringLiteral("bench%1.db").arg(i)));
        table.create();
        QElapsedTimer t;
        t.start();
        kve::flash2qvd01(table, dlg.archiveHeader(), dlg.memoryImage(), 0);
        times.push_back(t.nsecsElapsed() / 1e6);
        table.refresh();
        rows = table.recordCount();
        table.close();
    }
    std::sort(times.begin(), times.end());
    std::printf("decoding into a new table: %d rows, median %.1f ms, best %.1f ms (7 runs)\n", rows,
                times[times.size() / 2], times.front());
    return 0;
}
