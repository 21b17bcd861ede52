// The editor's model on its own: its list of parts, its history, its cursor and selection.

#include <QSignalSpy>
#include <QTest>

#include "ui/frmEditor/EditModel.h"

using quorvel::ui::EditModel;
using Removal = EditModel::Removal;
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

// What is removed as "from-to" spans in microseconds, as a cut is asked for.
QString Spans(const EditModel& model) {
    QStringList spans;
    for (const quorvel::RemovedSpan& span : model.RemovedTimes()) {
        spans << QStringLiteral("%1-%2").arg(span.From.count()).arg(span.To.count());
    }
    return spans.join(' ');
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
    // within the source's played samples; removing nothing new is no step.
    void removesTheSelectionOrWhatLiesAround() {
        QFETCH(qint64, from);
        QFETCH(qint64, end);
        QFETCH(bool, keepOnly);
        QFETCH(QString, removed);
        EditModel model(44100, 10s);
        model.Select(from, end);
        QCOMPARE(model.RemoveSelection(keepOnly, 441000),
                 removed.isEmpty() ? Removal::Nothing : Removal::Removed);
        QCOMPARE(Spans(model), removed);
        QCOMPARE(model.History().count(), removed.isEmpty() ? 0 : 1);
    }

    // What is removed joins where it meets or overlaps, is undone and redone with the list,
    // and counts as unsaved until saved; the samples kept are what is left of the source.
    void joinsWhatIsRemovedAndUndoesIt() {
        EditModel model(44100, 10s);
        EditModel::Refused refused = EditModel::Refused::None;
        model.Select(44100, 88200);
        QCOMPARE(model.RemoveSelection(false, 441000), Removal::Removed);
        QCOMPARE(model.Cursor(), 44100);
        QVERIFY(model.Selection().Empty());
        model.AddCut(5s, refused);
        model.Select(66150, 132300);
        QCOMPARE(model.RemoveSelection(false, 441000), Removal::Removed);
        model.Select(88200, 100000);
        QCOMPARE(model.RemoveSelection(false, 441000), Removal::Nothing);
        QCOMPARE(model.KeepOnly({22050, 400000}, 441000, QStringLiteral("Trim Silence")),
                 Removal::Removed);
        // What would leave nothing is refused, as no step.
        model.Select(0, 441000);
        QCOMPARE(model.RemoveSelection(false, 441000), Removal::Everything);
        QCOMPARE(Spans(model), QStringLiteral("0-500000 1000000-3000000 9070295-10000000"));
        QCOMPARE(model.KeptSamples(441000), 400000 - 22050 - 88200);
        QVERIFY(model.Unsaved());
        model.MarkSaved();
        QVERIFY(!model.Unsaved());
        model.History().undo();
        model.History().undo();
        QCOMPARE(Spans(model), QStringLiteral("1000000-2000000"));
        QCOMPARE(Rows(model), QStringLiteral("0|5000"));
        QVERIFY(model.Unsaved());
        model.History().undo();
        model.History().undo();
        QCOMPARE(Spans(model), QString());
        QCOMPARE(model.KeptSamples(441000), 441000);
        model.History().redo();
        QCOMPARE(Spans(model), QStringLiteral("1000000-2000000"));
    }

    // The selection made louder or quieter is one change, however often pressed, until the
    // selection or the edit changes; a fade is a change of its own; all undo with the rest
    // and count as audio edits not saved.
    void changesTheLevelOfTheSelection() {
        EditModel model(44100, 10s);
        QVERIFY(!model.ChangeLevel(1));
        model.Select(44100, 88200);
        QVERIFY(model.ChangeLevel(1));
        QVERIFY(model.ChangeLevel(1));
        QVERIFY(model.ChangeLevel(-1));
        QVERIFY(model.ChangeLevel(1));
        QCOMPARE(model.History().count(), 1);
        QCOMPARE(model.Levels().size(), 1u);
        QCOMPARE(model.Levels().front().Steps, 2);
        QVERIFY(model.Fade(quorvel::LevelChange::Shape::FadeIn));
        QVERIFY(model.ChangeLevel(-1));
        model.Select(0, 44100);
        QVERIFY(model.ChangeLevel(-1));
        QCOMPARE(model.History().count(), 4);
        const auto levels = model.LevelTimes();
        QCOMPARE(levels.size(), 4u);
        QCOMPARE(levels[1].Fade, quorvel::LevelChange::Shape::FadeIn);
        QCOMPARE(levels[1].From, 1s);
        QCOMPARE(levels[1].To, 2s);
        QCOMPARE(levels[3].Steps, -1);
        QVERIFY(model.AudioEdited() && model.Unsaved());
        model.MarkSaved();
        QVERIFY(!model.Unsaved());
        for (int i = 0; i < 4; ++i) model.History().undo();
        QVERIFY(!model.AudioEdited() && model.Unsaved());
    }
};

QTEST_MAIN(EditModelTest)
#include "EditModelTest.moc"
