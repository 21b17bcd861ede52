// The cut heard through a real sound server: PulseAudio with a null sink in a runtime
// folder of the test's own, its monitor recorded while the player plays across a cut, and
// the parts' samples found in the recording. Without a sound device the player says so.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/CutPlayer.h"

using namespace std::chrono_literals;

using quorvel::ui::CutPlayer;

namespace {

// What a program writes on its standard output, where it ends well; empty otherwise.
QByteArray Output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return {};
    }
    return process.readAllStandardOutput();
}

// Ends a helper process, killed where it does not end when asked, so that a test never hangs.
void End(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(10000);
    }
}

std::vector<qint16> Samples(const QByteArray& bytes) {
    std::vector<qint16> samples(static_cast<std::size_t>(bytes.size()) / 2);
    std::copy_n(bytes.constData(), samples.size() * 2, reinterpret_cast<char*>(samples.data()));
    return samples;
}

// The correlation of `expected` with the recording where it fits best: the offset is found
// for a stretch from its middle, near where their first sounds line up (within half a
// second of stereo samples), and the whole is compared there.
double BestCorrelation(const std::vector<qint16>& recorded, const std::vector<qint16>& expected) {
    const auto correlation = [&](std::ptrdiff_t offset, std::size_t from, std::size_t count) {
        double both = 0, one = 0, other = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            const std::ptrdiff_t at = offset + std::ptrdiff_t(i);
            const double a = expected[i];
            const double b = at >= 0 && at < std::ptrdiff_t(recorded.size()) ? recorded[at] : 0;
            both += a * b;
            one += a * a;
            other += b * b;
        }
        return one > 0 && other > 0 ? both / std::sqrt(one * other) : 0;
    };
    const auto sound = [](const std::vector<qint16>& samples) {
        return std::find_if(samples.begin(), samples.end(), [](qint16 s) { return s != 0; }) -
               samples.begin();
    };
    const std::ptrdiff_t onset = sound(recorded) - sound(expected);
    std::ptrdiff_t best = onset;
    double fit = -1;
    for (std::ptrdiff_t offset = onset - 44100; offset <= onset + 44100; offset += 2) {
        const double here = correlation(offset, expected.size() / 2, 2048);
        if (here > fit) fit = here, best = offset;
    }
    return correlation(best, 0, expected.size());
}

}  // namespace

class CutPlayerTest : public QObject {
    Q_OBJECT

  private slots:
    void playsAcrossTheCutAsTheWrittenParts();
    void tellsWhenNoSoundDeviceIsThere();
};

// Across the cut is the end of the first written part and the start of the second, as
// mpg123 plays the files gaplessly, one after the other, at the source's rate; a stretch
// is the source's own samples there.
void CutPlayerTest::playsAcrossTheCutAsTheWrittenParts() {
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    const QString socket = runtime.filePath("pulse.sock");
    QProcess server;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    environment.insert("HOME", runtime.path());
    server.setProcessEnvironment(environment);
    server.start("pulseaudio", {"--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no",
                                "--disable-shm=yes", "-L",
                                "module-null-sink sink_name=quorvel rate=44100 norewinds=1", "-L",
                                "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    if (!server.waitForStarted(-1)) QSKIP("PulseAudio cannot be started here.");
    const auto stopServer = qScopeGuard([&] { End(server); });
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket) || server.state() == QProcess::NotRunning,
                             30000);
    if (!QFileInfo::exists(socket)) {
        QSKIP(qPrintable("PulseAudio did not start: " + server.readAllStandardError()));
    }
    // The player's process and the recorder reach this server, and nothing else does.
    qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
    environment.insert("PULSE_SERVER", "unix:" + socket);

    // A source of 9 s, so that either part is longer than what is heard of it: a fixture's
    // sound twice, encoded by lame.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const auto decoded = [&](const QString& path) {
        return Output("mpg123", {"--gapless", "-q", "-s", path});
    };
    QFile raw(folder.filePath("twice.raw"));
    QVERIFY(raw.open(QIODevice::WriteOnly));
    raw.write(decoded(QUORVEL_FIXTURES "/vbr.mp3").repeated(2));
    raw.close();
    const QString source = folder.filePath("twice.mp3");
    // As a WAVE file: raw input reaches lame through libsndfile, which now and then reads
    // only part of it.
    const QString wave = folder.filePath("twice.wav");
    Output("sox", {"-t", "raw", "-r", "44100", "-c", "2", "-e", "signed", "-b", "16", "-L",
                   raw.fileName(), wave});
    Output("lame", {"--quiet", "-V", "5", wave, source});
    QVERIFY(QFileInfo(source).size() > 0);
    // The parts as the companion writes them, each decoded as a gapless player does.
    QVERIFY(
        !Output(QUORVEL_CLI, {"split", "--exact", source, "0", "4.567", folder.path()}).isEmpty());
    const std::vector<qint16> first = Samples(decoded(folder.filePath("twice1.mp3")));
    const std::vector<qint16> second = Samples(decoded(folder.filePath("twice2.mp3")));
    // The player's seconds of each, at 44.1 kHz in stereo.
    const auto heard = std::size_t(CutPlayer::kHeardMs * 441 / 10 * 2);
    QVERIFY(first.size() > heard && second.size() > heard);
    std::vector<qint16> expected(first.end() - std::ptrdiff_t(heard), first.end());
    expected.insert(expected.end(), second.begin(), second.begin() + std::ptrdiff_t(heard));

    // Recorded into a file, so that the recorder never waits for this process to read.
    QProcess recorder;
    recorder.setProcessEnvironment(environment);
    const QString recording = folder.filePath("recording.raw");
    recorder.start("parecord", {"--device=quorvel.monitor", "--raw", "--format=s16le",
                                "--rate=44100", "--channels=2", "--latency-msec=100", recording});
    QVERIFY(recorder.waitForStarted(-1));
    const auto stopRecorder = qScopeGuard([&] { End(recorder); });
    const auto recorded = [&] { return QFileInfo(recording).size(); };
    QTRY_VERIFY_WITH_TIMEOUT(recorded() > 0, 30000);

    CutPlayer player;
    QSignalSpy started(&player, &CutPlayer::Started);
    QSignalSpy stopped(&player, &CutPlayer::Stopped);
    QSignalSpy failed(&player, &CutPlayer::Failed);
    player.PlayAcross(source, 4567, true);
    QVERIFY(player.Active());
    QTRY_VERIFY_WITH_TIMEOUT(!stopped.isEmpty() || !failed.isEmpty(), 60000);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    QCOMPARE(started.size(), 1);
    QVERIFY(!player.Active());
    // A second of the monitor after the end, so that the end is in the recording.
    const qint64 end = recorded() + 44100 * 4;
    QTRY_VERIFY_WITH_TIMEOUT(recorded() >= end, 30000);

    QFile file(recording);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const double correlation = BestCorrelation(Samples(file.readAll()), expected);
    qInfo("correlation across the cut: %.6f", correlation);
    QVERIFY2(correlation > 0.99, qPrintable(QString::number(correlation)));

    // A selection is the source's own samples, 2 s to 3.5 s of it as a gapless player
    // plays it, heard after what was recorded so far.
    const std::vector<qint16> whole = Samples(decoded(source));
    QVERIFY(whole.size() > std::size_t(4 * 44100 * 2));
    const std::vector<qint16> selected(whole.begin() + 2 * 44100 * 2,
                                       whole.begin() + (3 * 44100 + 22050) * 2);
    const qint64 before = recorded() / 4 * 4;
    player.PlaySpan(source, 2 * 44100, 3 * 44100 + 22050);
    QTRY_VERIFY_WITH_TIMEOUT(stopped.size() == 2 || !failed.isEmpty(), 60000);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    QCOMPARE(started.size(), 2);
    const qint64 spanEnd = recorded() + 44100 * 4;
    QTRY_VERIFY_WITH_TIMEOUT(recorded() >= spanEnd, 30000);
    QFile again(recording);
    QVERIFY(again.open(QIODevice::ReadOnly) && again.seek(before));
    const double spanCorrelation = BestCorrelation(Samples(again.readAll()), selected);
    qInfo("correlation of the selection: %.6f", spanCorrelation);
    QVERIFY2(spanCorrelation > 0.99, qPrintable(QString::number(spanCorrelation)));

    // Across a stretch removed is the seam of the file cut writes, as a gapless player plays
    // it: 3 s on either side of where its frames were taken out (lame's start delay and the
    // decoders' put the frame boundaries 1105 samples later than the played ones).
    const QString cut = folder.filePath("cut.mp3");
    const QByteArray told =
        Output(QUORVEL_CLI, {"cut", "--json", "--remove", "0:04-0:05", source, cut});
    const QRegularExpressionMatch frames =
        QRegularExpression(R"(\(frames (\d+) to \d+\))").match(QString::fromUtf8(told));
    QVERIFY2(frames.hasMatch(), told.constData());
    const auto seam = std::ptrdiff_t(frames.captured(1).toLongLong() * 1152 - 1105) * 2;
    const std::vector<qint16> output = Samples(decoded(cut));
    const std::vector<qint16> across(output.begin() + seam - std::ptrdiff_t(heard),
                                     output.begin() + seam + std::ptrdiff_t(heard));
    const qint64 removedFrom = recorded() / 4 * 4;
    player.PlayRemoved(CutPlayer::Side::Across, source, {{4s, 5s}}, {}, 4 * 44100);
    QTRY_VERIFY_WITH_TIMEOUT(stopped.size() == 3 || !failed.isEmpty(), 60000);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    const qint64 removedEnd = recorded() + 44100 * 4;
    QTRY_VERIFY_WITH_TIMEOUT(recorded() >= removedEnd, 30000);
    QFile third(recording);
    QVERIFY(third.open(QIODevice::ReadOnly) && third.seek(removedFrom));
    const double removedCorrelation = BestCorrelation(Samples(third.readAll()), across);
    qInfo("correlation across the stretch removed: %.6f", removedCorrelation);
    QVERIFY2(removedCorrelation > 0.99, qPrintable(QString::number(removedCorrelation)));
}

// With no server to reach the player fails with a word for the user and never starts.
void CutPlayerTest::tellsWhenNoSoundDeviceIsThere() {
    CutPlayer player;
    QSignalSpy started(&player, &CutPlayer::Started);
    QSignalSpy failed(&player, &CutPlayer::Failed);
    player.PlayBefore(QUORVEL_FIXTURES "/cbr128.mp3", 2000, false);
    QTRY_VERIFY_WITH_TIMEOUT(!failed.isEmpty(), 60000);
    qInfo("%s", qPrintable(failed.value(0).value(0).toString()));
    QVERIFY(!failed.value(0).value(0).toString().isEmpty());
    QCOMPARE(started.size(), 0);
    QVERIFY(!player.Active());
}

QTEST_MAIN(CutPlayerTest)
#include "CutPlayerTest.moc"
