// Prints the window's thread's time from main() to the first paint of a 1 KiB note, step by step: the median of
// several launches of the app itself, each with a home of its own, as wall and thread CPU milliseconds.
// Run by hand: build/bench/bench_startup [RUNS [APP]] (the app of build/bin unless named; the display is the
// environment's: DISPLAY, or QT_QPA_PLATFORM=offscreen).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Step
{
    QByteArray name;
    double wall = 0;
    double cpu = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// One launch: the steps the app printed until its first paint.
std::vector<Step> launch(const QString &app)
{
    QTemporaryDir home;
    const QString note = home.filePath(QStringLiteral("note.txt"));
    QFile file(note);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (int line = 0; file.size() < 1024; ++line)
        file.write(QByteArray("A line of a short note, number ") + QByteArray::number(line) + ".\n");
    file.close();
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("NOLTNOLT_STARTUP_TRACE"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(app, {note});
    std::vector<Step> steps;
    QByteArray output;
    while (process.waitForReadyRead(10000)) {
        output += process.readAll();
        if (output.contains("\tfirst paint\t"))
            break;
    }
    process.kill();
    process.waitForFinished();
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 4 && fields[0] == "startup")
            steps.push_back({fields[1], fields[2].toDouble(), fields[3].toDouble()});
    }
    return steps;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                     : QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/noltnolt");
    std::vector<QByteArray> order;
    QMap<QByteArray, std::vector<double>> wall, cpu;
    for (int run = 0; run < runs; ++run) {
        double lastWall = 0, lastCpu = 0;
        for (const Step &step : launch(program)) {
            if (std::find(order.begin(), order.end(), step.name) == order.end())
                order.push_back(step.name);
            wall[step.name].push_back(step.wall - lastWall);
            cpu[step.name].push_back(step.cpu - lastCpu);
            lastWall = step.wall;
            lastCpu = step.cpu;
        }
    }
    std::printf("%-20s %10s %10s   (median of %d launches; each step since the one before)\n", "step", "wall ms",
                "CPU ms", runs);
    double totalWall = 0, totalCpu = 0;
    for (const QByteArray &name : order) {
        const double w = median(wall[name]);
        const double c = median(cpu[name]);
        totalWall += w;
        totalCpu += c;
        std::printf("%-20s %10.2f %10.2f\n", name.constData(), w, c);
    }
    std::printf("%-20s %10.2f %10.2f   (sum of medians)\n", "main to first paint", totalWall, totalCpu);
    return 0;
}
