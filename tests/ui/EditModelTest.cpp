// The editor's model on its own: its list of parts, its history, its cursor and selection.

#include <QSignalSpy>
#include <QTest>

#include "ui/frmEditor/EditModel.h"

using quorvel::ui::EditModel;
using namespace std::chrono_literals;

namespace {

// The list as "start title performer" rows, the starts in milliseconds.
QString Rows(const EditModel& model) {
    QStringList rows;
    for (const quorvel::PartStart& part : model.Parts()) {
        rows << QStringLiteral("%1 %2 %3")
                    .arg(std::chrono::duration_cast<std::chrono::milliseconds>(part.Start).count())
                    .arg(QString::fromStdString(part.Title), QString::fromStdString(part.Performer))
                    .trimmed();
    }
    return rows.join('|');
}

}  // namespace

class EditModelTest : public QObject {
    Q_OBJECT

  private slots:
    // Cuts go in order whatever order they come in; one outside the source or on another
    // is refused and leaves no step to undo.
    void addsAndRemovesCuts() {
        EditModel model(44100, 10s);
        EditModel::Refused refused = EditModel::Refused::None;
        QCOMPARE(model.AddCut(6s, refused), 1);
        QCOMPARE(model.AddCut(2500ms, refused), 1);
        QCOMPARE(Rows(model), QStringLiteral("0|2500|6000"));
        for (const std::chrono::microseconds at : {0us, 10000000us, 12000000us, 2500000us}) {
            QCOMPARE(model.AddCut(at, refused), -1);
            QCOMPARE(refused,
                     at == 2500ms ? EditModel::Refused::Taken : EditModel::Refused::Outside);
        }
        QCOMPARE(model.History().count(), 2);
        // The first part has no cut to remove; a part removed gives its time to the one before.
        model.RemoveCut(0);
        model.RemoveCut(3);
        QCOMPARE(model.History().count(), 2);
        model.SetTitle(2, QStringLiteral("Last"));
        model.RemoveCut(1);
        QCOMPARE(Rows(model), QStringLiteral("0|6000 Last"));
    }

    // Each edit is one step: undone and redone whole, titles and performers with the cuts;
    // a title set to what it is already is no step. A new list starts at the source's start.
    void undoesAndRedoesEachEdit() {
        EditModel model(44100, 10s);
        QSignalSpy changed(&model, &EditModel::PartsChanged);
        EditModel::Refused refused = EditModel::Refused::None;
        model.AddCut(4s, refused);
        model.SetTitle(1, QStringLiteral("Two"));
        model.SetTitle(1, QStringLiteral("Two"));
        model.SetPerformer(0, QStringLiteral("Ann"));
        QCOMPARE(model.History().count(), 3);
        model.ReplaceParts({{3s, "A", ""}, {7s, "B", ""}}, QStringLiteral("Cue Sheet"));
        QCOMPARE(Rows(model), QStringLiteral("0 A|7000 B"));
        QCOMPARE(model.History().undoText(), QStringLiteral("Cue Sheet"));
        model.History().undo();
        QCOMPARE(Rows(model), QStringLiteral("0  Ann|4000 Two"));
        model.History().undo();
        model.History().undo();
        QCOMPARE(Rows(model), QStringLiteral("0|4000"));
        model.History().redo();
        QCOMPARE(Rows(model), QStringLiteral("0|4000 Two"));
        QCOMPARE(changed.count(), 8);
        model.ReplaceParts({}, QStringLiteral("Chapters"));
        QCOMPARE(Rows(model), QStringLiteral("0"));
        QVERIFY(!model.History().canRedo());
    }

    // The cursor stays within the source; a selection is the same from either end.
    void keepsTheCursorAndSelectionInTheSource() {
        EditModel model(44100, 10s);
        model.SetCursor(-5);
        QCOMPARE(model.Cursor(), 0);
        model.SetCursor(10 * 44100 + 7);
        QCOMPARE(model.Cursor(), 10 * 44100 - 1);
        model.Select(3000, 1000);
        QCOMPARE(model.Selection().From, 1000);
        QCOMPARE(model.Selection().End, 3000);
        QCOMPARE(model.Cursor(), 10 * 44100 - 1);
        model.SetCursor(1);
        QVERIFY(model.Selection().Empty());
        // A sample and its time, to the microsecond and back.
        QCOMPARE(model.Sample(model.Time(123457)), 123457);
        QCOMPARE(model.Time(44100), 1000000us);
    }

    void removesTheSelectionOrWhatLiesAround_data() {
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("end");
        QTest::addColumn<bool>("keepOnly");
        QTest::addColumn<QString>("removed");  // "from-to" in microseconds, a span each
        const qint64 played = 441000;          // 10 s
        QTest::newRow("cut out the middle") << 44100LL << 88200LL << false << "1000000-2000000";
        QTest::newRow("keep the middle")
            << 44100LL << 88200LL << true << "0-1000000 2000000-10000000";
        QTest::newRow("keep from the start") << 0LL << 88200LL << true << "2000000-10000000";
        // The selection may reach past the played samples: the end is the source's.
        QTest::newRow("keep to past the end") << 44100LL << played + 900 << true << "0-1000000";
        QTest::newRow("cut out to past the end")
            << 44100LL << played + 900 << false << "1000000-10000000";
        QTest::newRow("keep the whole source") << 0LL << played << true << "";
    }

    // A cut removes the selection; keeping only it removes what lies before and after it,
    // within the source's played samples.
    void removesTheSelectionOrWhatLiesAround() {
        QFETCH(qint64, from);
        QFETCH(qint64, end);
        QFETCH(bool, keepOnly);
        QFETCH(QString, removed);
        EditModel model(44100, 10s);
        model.Select(from, end);
        QStringList spans;
        for (const quorvel::RemovedSpan& span : model.Removed(keepOnly, 441000)) {
            spans << QStringLiteral("%1-%2").arg(span.From.count()).arg(span.To.count());
        }
        QCOMPARE(spans.join(' '), removed);
    }
};

QTEST_MAIN(EditModelTest)
#include "EditModelTest.moc"
