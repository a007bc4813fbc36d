// The live trend and the calibration record: the chart's picture and its
// held scale, the record window through a wizard (opened fresh, the check
// passes offered when they may run), the PDF and CSV it saves, and saving
// onto a full disk.
#include "Parts.h"
#include "CalibrationRecord.h"
#include "CheckPass.h"
#include "SafeSave.h"
#include "LayoutStyle.h"
#include "ModalBoxes.h"
#include "LLTRVWDM.h"
#include "Records.h"
#include "ReportWindow.h"
#include "RunWizard.h"
#include "TrendChart.h"
#include "Wait.h"
#include "template.h"
#include "UserActions.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QClipboard>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTableView>
#include <QPushButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <unistd.h>

using namespace trvsim;

namespace {

const QRgb TargetLine = qRgb(0, 110, 0), Band = qRgb(204, 238, 204), Point = qRgb(0, 0, 200), Ground = qRgb(255, 255, 255);
constexpr double Count = 10.0 / 4096;

QString Run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A reading of these five conversions.
CardIO::TReading Reading(const TTestPoint &point, std::array<int32_t, 5> samples)
{
    int32_t sum = 0;
    for (int32_t s : samples)
        sum += s;
    return {sum / 5, sum / 5 * CardIO::VoltsPerCount(point.Variant), samples};
}

// The rows of a CSV file as Python's csv module reads them.
QList<QStringList> CsvRows(const QString &path)
{
    const QString json = Run(QStringLiteral("python3"),
                             {QStringLiteral("-c"),
                              QStringLiteral("import csv, json, sys\n"
                                             "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                                             "    print(json.dumps(list(csv.reader(f, strict=True))))"),
                              path});
    QList<QStringList> rows;
    for (const QJsonValue &row : QJsonDocument::fromJson(json.toUtf8()).array()) {
        QStringList fields;
        for (const QJsonValue &field : row.toArray())
            fields << field.toString();
        rows << fields;
    }
    return rows;
}

// Text with its white space taken out, to compare what wrapping moved.
QString Squeezed(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

// A fresh simulated machine and module state, and a main window on the
// screen with the machine's card listed and these DAC ranges chosen: ready
// for a wizard.
struct ListedForm {
    struct Fresh {
        Fresh()
        {
            Machine::instance().reset();
            MainUnit.Reset();
        }
    } fresh;
    TMainForm form;

    explicit ListedForm(std::array<uint8_t, 2> ranges)
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("main window not exposed");
        form.SetSupGetCardString(nullptr, 0);
        ChooseRanges(form, ranges[0], ranges[1]);
    }
};

// The record's start as its files must give it: ISO 8601 with the offset
// from UTC ("Z" or "+01:00"), naming the same instant.
QString Stamped(const TCalibrationRecord &record)
{
    const QString text = StartedText(record);
    if (!QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d)$")).match(text).hasMatch()
        || QDateTime::fromString(text, Qt::ISODate).toSecsSinceEpoch() != record.Started().toSecsSinceEpoch())
        return QStringLiteral("not a full ISO 8601 time with its offset: ") + text;
    return text;
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UseLayoutLook();
        LLTRVWDM::LoadDriverLibrary();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    // The picture: band and target line where the scale puts them in the
    // plot area, a point where its time and reading put it, the target in
    // view however far the readings are; the axes labelled.
    void chartPicture()
    {
        TTrendData data{{{9.5, 0.0}}, 10.0, 0.0, Count, false, std::nullopt};
        const QSize size(225, 55);
        const QImage image = DrawTrend(data, size);
        QCOMPARE(image.size(), size);
        const QRect plot = TrendPlotArea(size);
        QVERIFY(plot.left() > 0 && plot.bottom() < 54 && plot.right() == 224);
        const TTrendScale scale = TrendScale(data);
        QVERIFY(scale.high - scale.low >= 8 * Count - 1e-12); // never squeezed below eight counts
        const int h = plot.height();
        const int line = TrendRow(scale, 0.0, h), top = TrendRow(scale, Count, h), bottom = TrendRow(scale, -Count, h);
        QVERIFY(top < line && line < bottom);
        for (int x : {plot.left(), plot.left() + 100, plot.right()}) {
            QCOMPARE(image.pixel(x, line), TargetLine);
            QCOMPARE(image.pixel(x, top), Band);
            QCOMPARE(image.pixel(x, bottom), Band);
            QCOMPARE(image.pixel(x, top - 1), Ground);
            QCOMPARE(image.pixel(x, bottom + 1), Ground);
        }
        // Half a second ago, at the target: two by two pixels near the right.
        const int px = plot.left() + int(9.5 / 10 * (plot.width() - 2));
        QCOMPARE(image.pixel(px, line), Point);
        QCOMPARE(image.pixel(px + 1, line + 1), Point);
        // The counts axis carries the target's count (0) and the band, in
        // the target's colour; the time axis its seconds.
        int labelled = 0, seconds = 0;
        for (int y = 0; y < 55; ++y)
            for (int x = 0; x < plot.left() - 2; ++x)
                labelled += qGreen(image.pixel(x, y)) > qRed(image.pixel(x, y)) + 40;
        for (int y = plot.bottom() + 2; y < 55; ++y)
            for (int x = 0; x < 225; ++x)
                seconds += qGray(image.pixel(x, y)) < 160;
        QVERIFY(labelled > 10);
        QVERIFY(seconds > 10);

        // Readings far from the target: all of them and the target in view.
        data.points = {{1.0, 5.0}, {2.0, 5.2}, {3.0, -1.0}};
        const TTrendScale wide = TrendScale(data);
        QVERIFY(wide.low < -1.0 && wide.high > 5.2);
        QVERIFY(wide.low < -Count && wide.high > Count);
        // Older than ten seconds: left out of the scale and the picture.
        data.points = {{-5.0, 50.0}, {9.0, 0.0}};
        QVERIFY(TrendScale(data).high < 1.0);
        const QImage recent = DrawTrend(data, size);
        int points = 0;
        for (int y = 0; y < 55; ++y)
            for (int x = 0; x < 225; ++x)
                points += recent.pixel(x, y) == Point;
        QCOMPARE(points, 4);

        // Below the range: a note in red.
        data.belowRange = true;
        const QImage below = DrawTrend(data, size);
        int red = 0;
        for (int y = 0; y < 55; ++y)
            for (int x = 0; x < 225; ++x)
                red += qRed(below.pixel(x, y)) > 150 && qGreen(below.pixel(x, y)) < 100;
        QVERIFY(red > 10);
    }

    // The view keeps ten seconds of one step, from its Reset on; its scale
    // widens at once for an excursion and narrows only once the readings
    // have been calm for a while; a unipolar reading of 0 is below range.
    void chartViewFollowsTheStep()
    {
        TTrendView view;
        view.Reset(9.9, CardIO::TVariant::Unipolar); // one count is Count
        view.AddAt(0.1, 9.8, 2007);
        view.AddAt(0.2, 9.9, 2028);
        QCOMPARE(view.Data().points.size(), 2);
        QCOMPARE(view.Data().target, 9.9);
        const TTrendScale calm = *view.Data().scale;
        view.AddAt(0.3, 9.0, 1843); // an excursion: in view at once
        const TTrendScale wide = *view.Data().scale;
        QVERIFY(wide.low < 9.0 && wide.low < calm.low);
        // Back near the target: the scale holds, however the readings jump.
        double t = 0.4;
        for (; t < 11.0; t += 0.1)
            view.AddAt(t, 9.9 + (int(t * 10) % 2 ? Count : -Count), 2028);
        QVERIFY(view.Data().scale->low == wide.low || t - 10.3 < TTrendView::CalmSeconds);
        for (; t < 11.0 + TTrendView::CalmSeconds + 0.5; t += 0.1)
            view.AddAt(t, 9.9, 2028);
        QVERIFY(view.Data().scale->low > 9.5); // narrowed, once calm
        QVERIFY(!view.Data().belowRange);
        view.Reset(0.0, CardIO::TVariant::Unipolar);
        QVERIFY(view.Data().points.isEmpty());
        view.AddAt(0.1, 0.0, 0);
        QVERIFY(view.Data().belowRange);
        view.AddAt(0.2, 0.0024, 1);
        QVERIFY(!view.Data().belowRange);
    }

    // The record window through a wizard: it opens with the wizard, fresh,
    // naming the card; as found is offered at step 1 before it is left, as
    // left at step 9; every button has a mnemonic; a new wizard clears the
    // last record.
    void recordWindowThroughAWizard()
    {
        ListedForm listed({5, 2});
        TMainForm &form = listed.form;
        Card &card = Machine::instance().card(0);
        card.setPin37(Pin37::Ground);
        const ScaledWaits waits(0.05);
        card.setSettlingTime(std::chrono::microseconds(100));
        bool foundAtOne = false, foundLater = false, leftAtNine = false, leftEarlier = false;
        QString named;
        uint64_t after = 0;
        const bool ended = RunWizard(form, [&] {
            TReportWindow *r = form.Calibration()->ReportWindow();
            // Step 9 reads nothing; the other steps move on after a reading.
            // Past step 9 the wizard is ending: nothing more to see.
            if (!r || !r->isVisible() || MainUnit.CalibStep > 9
                || (MainUnit.CalibStep < 9 && card.conversions() < after + 10))
                return;
            after = card.conversions();
            named = form.findChild<QLabel *>(QStringLiteral("CardLabel"))->text();
            const bool found = Part<QPushButton>(r, "AsFoundButton")->isEnabled(), left = Part<QPushButton>(r, "AsLeftButton")->isEnabled();
            (MainUnit.CalibStep == 1 ? foundAtOne : foundLater) |= found;
            (MainUnit.CalibStep == 9 ? leftAtNine : leftEarlier) |= left;
            if (MainUnit.CalibStep < 9 || leftAtNine)
                form.NextClick();
        });
        QVERIFY(ended);
        QVERIFY(foundAtOne && !foundLater);
        QVERIFY(leftAtNine && !leftEarlier);
        QCOMPARE(named, QStringLiteral("Card: PCI-RZ4070 at E800"));
        TReportWindow *r = form.Calibration()->ReportWindow();
        QCOMPARE(r->windowTitle(), QStringLiteral("Calibration record"));
        QVERIFY(!Part<QPushButton>(r, "AsFoundButton")->isEnabled() && !Part<QPushButton>(r, "AsLeftButton")->isEnabled()); // no wizard: nothing drives a check
        for (QPushButton *b : r->findChildren<QPushButton *>())
            QVERIFY2(b->text().contains(u'&'), qPrintable(b->text()));
        QVERIFY(Part<QLabel>(r, "CardLabel")->text().contains(QStringLiteral("E800")));
        QCOMPARE(Part<QLabel>(r, "VerdictLabel")->text(), QStringLiteral("incomplete"));
        // As left comes from a check pass only: Next through the steps records nothing.
        for (const TPointRecord &p : form.Calibration()->Record().Points())
            QVERIFY(!p.asLeft && !p.asFound);
        QCOMPARE(form.Calibration()->Record().Points().size(), size_t(9));
        QCOMPARE(form.Calibration()->Record().Points()[3].point.Name, QStringLiteral("3b"));
        QCOMPARE(form.Calibration()->Record().Points()[3].point.Target, -9.9);

        // Operator and instruments are kept for the session; a new wizard
        // starts a fresh record, shown at once.
        Part<QLineEdit>(r, "OperatorEdit")->setText(QString());
        QTest::keyClicks(Part<QLineEdit>(r, "OperatorEdit"), QStringLiteral("A. Tech"));
        QCOMPARE(form.Calibration()->Record().Operator(), QStringLiteral("A. Tech"));
        const QDateTime first = form.Calibration()->Record().Started();
        r->hide();
        const bool again = RunWizard(form, [&] {
            if (form.Calibration()->ReportWindow()->isVisible())
                form.QuitClick();
        });
        QVERIFY(again);
        QVERIFY(form.Calibration()->Record().Started() >= first);
        QCOMPARE(form.Calibration()->Record().Operator(), QStringLiteral("A. Tech"));
        QVERIFY(r->Text().contains(QStringLiteral("Operator: A. Tech")));
    }

    // A DAC range chosen while the wizard runs reaches the record: its
    // header and the targets of the points not measured yet.
    void recordFollowsTheRangesInEffect()
    {
        ListedForm listed({4, 2});
        TMainForm &form = listed.form;
        const ScaledWaits waits(0.05);
        const bool ended = RunWizard(form, [&] {
            if (!form.Calibration()->ReportWindow() || !form.Calibration()->ReportWindow()->isVisible())
                return;
            if (MainUnit.DACRange[0] == 4) {
                Choose(Part<QComboBox>(&form, "DACBox0"), 3); // DAC 0 chosen as ±2.5V meanwhile
            } else if (form.Calibration()->Record().Ranges()[0] == 3) {
                form.QuitClick();
            }
        });
        QVERIFY(ended);
        QCOMPARE(form.Calibration()->Record().Ranges(), (std::array<uint8_t, 2>{3, 2}));
        QCOMPARE(form.Calibration()->Record().Points()[5].point.Target, -2.475); // DAC 0 offset at ±2.5V
        QVERIFY(Part<QLabel>(form.Calibration()->ReportWindow(), "RangesLabel")->text().contains(QStringLiteral("DAC 0 ±2.5V")));
        QVERIFY(form.Calibration()->ReportWindow()->Text().contains(QStringLiteral("-2.475")));
    }

    // The saved files: the PDF is one A4 page with the record and lines
    // for remarks and a signature; the CSV stands alone, header facts then
    // points, numbers in numeric columns with a dot, states apart. On
    // screen the numbers are the user's.
    void pdfAndCsv()
    {
        TRecordModel model;
        const TCalibrationRecord &record = model.Record();
        model.Begin({QStringLiteral("PCI-RZ4070"), 0xE800}, {5, 0});
        model.SetOperator(QStringLiteral("Tech, A."));
        model.SetInstruments(QStringLiteral("Calibrator X 123"));
        const std::vector<TTestPoint> points = CalibrationSteps::TestPoints({5, 0});
        model.Measured(TCheckKind::AsFound, points[0], Off(points[0], 4.0, 1), {5, 0});
        model.Measured(TCheckKind::AsLeft, points[0], Off(points[0], -0.004, 0), {5, 0});
        model.Measured(TCheckKind::AsLeft, points[3], Off(points[3], -3.5, 2), {5, 0}); // 3b, 3.5 counts low
        QCOMPARE(record.Points()[0].FoundState(), TPointState::Outside);
        QCOMPARE(record.Points()[0].State(), TPointState::Within);
        QCOMPARE(record.Points()[3].State(), TPointState::Outside);
        QCOMPARE(record.Verdict(), TVerdict::Fail);
        QVERIFY(record.CheckedAsLeft());
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // a comma for decimals
        TReportWindow window(nullptr, model);
        QVERIFY2(window.Text().contains(QStringLiteral("-9,917 V    -3,5 2 counts  outside")), qPrintable(window.Text()));
        QVERIFY2(window.Text().contains(QStringLiteral("0,020 V    +4,0 1 count   outside")), qPrintable(window.Text()));
        QVERIFY(window.Text().contains(QStringLiteral("0,000 V     0,0 0 counts  within"))); // never "-0,000"
        QVERIFY(!window.Text().contains(QStringLiteral("-0,0")));
        QVERIFY(window.Text().contains(QStringLiteral("0,0125"))); // DAC 0's offset target as step 5 states it
        QVERIFY(window.Text().contains(QStringLiteral("Decision rule: ") + DecisionRule()));
        QCOMPARE(Part<QLabel>(&window, "LeftLabel")->text(), TimeText(*record.CheckedAsLeft()));
        // On screen a table, a row a point, as found and as left side by
        // side, each state in words and in colour; the rule beneath.
        const QAbstractItemModel *cells = Part<QTableView>(&window, "Table")->model();
        auto cell = [&](int row, int column) { return cells->index(row, column).data().toString(); };
        auto tint = [&](int row, int column) { return cells->index(row, column).data(Qt::BackgroundRole).value<QBrush>().color(); };
        QCOMPARE(cells->rowCount(), 9);
        QCOMPARE(cells->headerData(3, Qt::Horizontal).toString(), QStringLiteral("As found"));
        QCOMPARE(cells->headerData(4, Qt::Horizontal).toString(), QStringLiteral("As left"));
        QCOMPARE(cell(3, 0), QStringLiteral("3b\nRP3"));
        QCOMPARE(cell(3, 4), QStringLiteral("-9,917 V, error -3,5\nspread 2, outside"));
        QCOMPARE(cell(0, 3), QStringLiteral("0,020 V, error +4,0\nspread 1, outside"));
        QCOMPARE(cell(0, 4), QStringLiteral("0,000 V, error 0,0\nspread 0, within"));
        QCOMPARE(cell(1, 4), QStringLiteral("not measured"));
        QVERIFY(tint(0, 3).red() > tint(0, 3).green() && tint(0, 4).green() > tint(0, 4).red());
        QVERIFY(Part<QPlainTextEdit>(&window, "RuleText")->toPlainText().contains(DecisionRule()));
        // It follows the record: a measurement, then the pot adjusted.
        model.Measured(TCheckKind::AsLeft, points[1], Off(points[1], 0.0, 0), {5, 0});
        QVERIFY(cell(1, 4).endsWith(QStringLiteral("within")));
        model.PotAdjusted(2);
        QVERIFY(cell(1, 4).endsWith(QStringLiteral("check again")));
        QVERIFY(tint(1, 4).isValid() && tint(1, 4).red() > tint(1, 4).blue());
        // At 800x600 its columns share its width: nothing scrolls sideways.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTableView *view = Part<QTableView>(&window, "Table");
        QVERIFY2(view->horizontalHeader()->length() <= view->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(view->horizontalHeader()->length()).arg(view->viewport()->width())));
        window.hide();
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("record.pdf")), csv = dir.filePath(QStringLiteral("record.csv"));
        QVERIFY(window.SavePdf(pdf));
        QVERIFY(window.SaveCsv(csv));
        QLocale::setDefault(QLocale::c());

        const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
        QVERIFY2(info.contains(QStringLiteral("A4")), qPrintable(info));
        const QString text = Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("Calibration record")), qPrintable(text));
        QVERIFY2(text.contains(Stamped(record)), qPrintable(Stamped(record)));
        QVERIFY(text.contains(QStringLiteral("Checked as left: ") + TimeText(*record.CheckedAsLeft())));
        QVERIFY(text.contains(QStringLiteral("PCI-RZ4070 at base address E800")));
        QVERIFY(text.contains(QStringLiteral("Tech, A.")));
        QVERIFY(text.contains(QStringLiteral("Verdict: fail")));
        QVERIFY(text.contains(QStringLiteral("Remarks:")) && text.contains(QStringLiteral("Signature:")));
        QVERIFY2(Squeezed(text).contains(Squeezed(QStringLiteral("Decision rule: ") + DecisionRule())), qPrintable(text));
        for (const TTestPoint &p : points)
            QVERIFY2(text.contains(QRegularExpression(QStringLiteral("\\b%1\\s+RP%2").arg(p.Name).arg(p.Pot))), qPrintable(text));

        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> rows = CsvRows(csv);
        QCOMPARE(rows[0], (QStringList{QStringLiteral("record"), QStringLiteral("calibration")}));
        auto fact = [&](const QString &key) {
            for (const QStringList &row : rows)
                if (row.size() == 2 && row[0] == key)
                    return row[1];
            return QStringLiteral("(none)");
        };
        QCOMPARE(fact(QStringLiteral("base_address")), QStringLiteral("E800"));
        QCOMPARE(fact(QStringLiteral("dac0_range")), QStringLiteral("±10V"));
        QCOMPARE(fact(QStringLiteral("operator")), QStringLiteral("Tech, A."));
        QCOMPARE(fact(QStringLiteral("verdict")), QStringLiteral("fail"));
        QCOMPARE(fact(QStringLiteral("date_time")), Stamped(record));
        QCOMPARE(fact(QStringLiteral("checked_as_left")), TimeText(*record.CheckedAsLeft()));
        QCOMPARE(fact(QStringLiteral("decision_rule")), DecisionRule());
        const qsizetype table = rows.indexOf(QStringList()) + 1;
        const QStringList columns = rows[table];
        QCOMPARE(columns.size(), 27);
        QCOMPARE(rows.size(), table + 1 + 9);
        auto field = [&](int point, const char *column) { return rows[table + 1 + point][columns.indexOf(QLatin1String(column))]; };
        bool number = false;
        QCOMPARE(field(0, "as_found_volts").toDouble(&number), 0.0195);
        QVERIFY(number);
        QCOMPARE(field(0, "as_found_error_counts"), QStringLiteral("4.00"));
        QCOMPARE(field(0, "as_found_spread_counts"), QStringLiteral("1"));
        QCOMPARE(field(0, "as_found_state"), QStringLiteral("outside"));
        QCOMPARE(field(0, "as_left_state"), QStringLiteral("within"));
        QCOMPARE(field(0, "as_left_error_counts"), QStringLiteral("0.00")); // never "-0.00"
        QCOMPARE(field(0, "as_left_conversions"), QStringLiteral("50"));
        QCOMPARE(field(3, "point"), QStringLiteral("3b"));
        QCOMPARE(field(3, "target_volts"), QStringLiteral("-9.9"));
        QCOMPARE(field(3, "as_left_volts"), QStringLiteral("-9.9171"));
        QCOMPARE(field(3, "as_left_state"), QStringLiteral("outside"));
        QCOMPARE(field(5, "as_left_volts"), QString()); // not measured: empty, not text, in a number column
        QCOMPARE(field(5, "as_left_state"), QStringLiteral("not measured"));
        QCOMPARE(field(5, "dac_range"), QStringLiteral("±10V"));
        QCOMPARE(field(5, "tolerance_volts").toDouble(), 20.0 / 4096);
        QCOMPARE(field(4, "tolerance_volts").toDouble(), 0.01); // step 4: 10 mV

        // A name longer than the folder's file system takes: the save
        // dialog says why its Save button is greyed out.
        QString why;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            dialog->setDirectory(dir.path());
            Part<QLineEdit>(dialog, "fileNameEdit")->setText(QString(256, u'r'));
            QLabel *label = Part<QLabel>(dialog, "NameTooLongLabel");
            why = label->isVisibleTo(dialog) ? label->text() : QStringLiteral("(hidden)");
            Part<QLineEdit>(dialog, "fileNameEdit")->setText(QStringLiteral("record.pdf"));
            if (label->isVisibleTo(dialog))
                why += QStringLiteral(" (still shown for a short name)");
            dialog->reject();
        });
        poll.start(10);
        Part<QPushButton>(&window, "PdfButton")->click();
        QCOMPARE(why, QStringLiteral("The name is 256 bytes long; this folder takes names of at most 255 bytes."));
    }

    // The decision rule, point by point: one count either side is within
    // and more is outside (10 mV at point 4); half the conversions at an
    // end of the range is out of range, as found as well as as left, and
    // fails the verdict; a DAC point is judged after the A/D's own error
    // at its level, from the A/D points of the same kind, is taken off;
    // an adjusted pot marks all its points, and only them.
    void decisionRule()
    {
        const std::array<uint8_t, 2> ranges{2, 5}; // DAC 0 0-10V, DAC 1 ±10V
        const std::vector<TTestPoint> p = CalibrationSteps::TestPoints(ranges);
        auto state = [&](int k, TMeasurement m) { return Judged(p[size_t(k)], m); };
        QCOMPARE(state(0, Off(p[0], 1.0)), TPointState::Within);
        QCOMPARE(state(0, Off(p[0], -1.0)), TPointState::Within);
        QCOMPARE(state(0, Off(p[0], 1.05)), TPointState::Outside);
        QCOMPARE(state(0, Off(p[0], -1.5)), TPointState::Outside);
        QCOMPARE(state(4, Off(p[4], 4.0)), TPointState::Within); // point 4: 10 mV is 4.096 counts
        QCOMPARE(state(4, Off(p[4], -4.2)), TPointState::Outside);
        QCOMPARE(state(1, Off(p[1], 0.0, 0, 25)), TPointState::BelowRange); // point 2, half at 0
        QCOMPARE(state(1, Off(p[1], 0.8, 1, 24)), TPointState::Within);
        QCOMPARE(state(4, Off(p[4], 0.0, 0, 0, 50)), TPointState::AboveRange);
        QCOMPARE(state(2, Off(p[2], 0.0, 0, 0, 30)), TPointState::AboveRange);

        TCalibrationRecord record;
        record.Begin({QStringLiteral("PCI-RZ4070"), 0xE800}, ranges);
        auto measure = [&](TCheckKind kind, const QString &name, TMeasurement m) {
            for (const TTestPoint &t : p)
                if (t.Name == name) {
                    record.Measured(kind, t, m, ranges);
                    return;
                }
            QFAIL(qPrintable(name));
        };
        auto at = [&](const QString &name) -> const TPointRecord & {
            for (const TPointRecord &r : record.Points())
                if (r.point.Name == name)
                    return r;
            qFatal("no point %s", qPrintable(name));
        };
        const TTestPoint &two = at(QStringLiteral("2")).point, &four = at(QStringLiteral("4")).point,
                         &five = at(QStringLiteral("5")).point, &six = at(QStringLiteral("6")).point,
                         &seven = at(QStringLiteral("7")).point;
        // No A/D reference yet: the DAC cannot be judged.
        measure(TCheckKind::AsLeft, QStringLiteral("6"), Off(six, 0.0));
        QCOMPARE(at(QStringLiteral("6")).State(), TPointState::NoReference);
        // The A/D reads 2 counts high at 9.95 V: a DAC gain point that reads
        // on target is 2 counts low, outside.
        measure(TCheckKind::AsLeft, QStringLiteral("2"), Off(two, 0.6));
        measure(TCheckKind::AsLeft, QStringLiteral("4"), Off(four, 2.0));
        QCOMPARE(at(QStringLiteral("4")).State(), TPointState::Within);
        measure(TCheckKind::AsLeft, QStringLiteral("6"), Off(six, 0.0));
        QVERIFY(qAbs(*at(QStringLiteral("6")).asLeft->adError - 2.0) < 1e-9);
        QVERIFY(qAbs(*ErrorCounts(six, *at(QStringLiteral("6")).asLeft) + 2.0) < 1e-9);
        QCOMPARE(at(QStringLiteral("6")).State(), TPointState::Outside);
        // DAC 0's offset at 0.05 V (20.48 counts) is read near point 2's
        // level: on the line through points 2 and 4, at the level read.
        measure(TCheckKind::AsLeft, QStringLiteral("5"), Off(five, 0.6));
        const double level = at(QStringLiteral("5")).asLeft->volts;
        QVERIFY(qAbs(*at(QStringLiteral("5")).asLeft->adError - (0.6 + 1.4 * (level - 0.05) / 9.9)) < 1e-9);
        QCOMPARE(at(QStringLiteral("5")).State(), TPointState::Within);
        // DAC 0's offset at 0-2.5V (0.0125 V) lies below point 2: the line
        // through points 2 and 4, extended.
        const TTestPoint low = CalibrationSteps::TestPoints({0, 5})[5];
        record.Measured(TCheckKind::AsLeft, low, Off(low, 0.0), {0, 5});
        QVERIFY(qAbs(*at(QStringLiteral("5")).asLeft->adError - (0.6 + 1.4 * (0.0125 - 0.05) / 9.9)) < 1e-9);
        record.Measured(TCheckKind::AsLeft, p[5], Off(p[5], 0.6), ranges);
        // DAC 1's offset at -9.9 V is point 3b's level: its error alone.
        measure(TCheckKind::AsLeft, QStringLiteral("3b"), Off(at(QStringLiteral("3b")).point, -0.7));
        measure(TCheckKind::AsLeft, QStringLiteral("7"), Off(seven, -0.7));
        QCOMPARE(*at(QStringLiteral("7")).asLeft->adError, -0.7);
        QCOMPARE(at(QStringLiteral("7")).State(), TPointState::Within);
        // As found is judged by its own kind's points, never as left's.
        measure(TCheckKind::AsFound, QStringLiteral("6"), Off(six, 0.0));
        QCOMPARE(at(QStringLiteral("6")).FoundState(), TPointState::NoReference);
        // Point 2 below range: no reference for the unipolar DAC offset,
        // and the verdict fails.
        measure(TCheckKind::AsLeft, QStringLiteral("2"), Off(two, 0.0, 0, 40));
        QCOMPARE(at(QStringLiteral("2")).State(), TPointState::BelowRange);
        measure(TCheckKind::AsLeft, QStringLiteral("5"), Off(five, 0.0));
        QCOMPARE(at(QStringLiteral("5")).State(), TPointState::NoReference);
        QCOMPARE(record.Verdict(), TVerdict::Fail);

        // A pot adjusted after its check: its points only, all of them.
        TCalibrationRecord marks;
        marks.Begin({}, ranges);
        for (const TTestPoint &t : p)
            marks.Measured(TCheckKind::AsLeft, t, Off(t, 0.0), ranges);
        QVERIFY(marks.PotAdjusted(3));
        QVERIFY(!marks.PotAdjusted(3));
        QStringList again;
        for (const TPointRecord &r : marks.Points())
            if (r.State() == TPointState::CheckAgain)
                again << r.point.Name;
        QCOMPARE(again, (QStringList{QStringLiteral("3"), QStringLiteral("3b"), QStringLiteral("4")}));
        QCOMPARE(marks.Verdict(), TVerdict::Incomplete);
        // A point to check again is no reference: DAC 0's gain at 9.95 V,
        // measured now, has only point 2 on its range.
        marks.Measured(TCheckKind::AsLeft, six, Off(six, 0.0), ranges);
        QCOMPARE(marks.Points()[6].State(), TPointState::NoReference);

        // A DAC point far from its target but near another range's value
        // names that range as the switches' likely setting; one near its
        // own target, or near no range's value, names none.
        const std::vector<TTestPoint> lowRanges = CalibrationSteps::TestPoints({0, 3}); // 0-2.5V, ±2.5V
        const TTestPoint &gain0 = lowRanges[6], &offset1 = lowRanges[7];
        using Ranges = std::vector<uint8_t>;
        // 0-5V's gain reads 4.975 V, ±5V's 4.95 V: a gain point cannot tell
        // them apart on a card out of trim.
        QCOMPARE(LikelyRanges(gain0, 0.995 * 5 + 0.003), (Ranges{1, 4}));
        QCOMPARE(RangeNote(gain0, {1}), QStringLiteral("The card's DAC 0 switches may be set to 0-5V, not 0-2.5V as chosen."));
        QCOMPARE(RangeNote(gain0, {1, 4}), QStringLiteral("The card's DAC 0 switches may be set to 0-5V or ±5V, not 0-2.5V as chosen."));
        QCOMPARE(LikelyRanges(gain0, gain0.Target + 3 * Count), Ranges{});
        QCOMPARE(LikelyRanges(gain0, 7.0), Ranges{});
        const TTestPoint gainAt5 = CalibrationSteps::TestPoints({1, 3})[6]; // 0-5V: 4.975 V
        QCOMPARE(LikelyRanges(gainAt5, gainAt5.Target - 15 * Count), Ranges{}); // out of trim, near ±5V's 4.95 V
        QCOMPARE(LikelyRanges(gainAt5, 9.95 - 6 * Count), (Ranges{2, 5})); // 0-10V's 9.95 V or ±10V's 9.9 V
        QCOMPARE(LikelyRanges(offset1, -0.99 * 10), Ranges{5}); // ±10V
        QCOMPARE(LikelyRanges(p[0], 5.0), Ranges{}); // an A/D point
        TCalibrationRecord unchosen;
        unchosen.Begin({}, {0, 3}, {false, true});
        unchosen.Measured(TCheckKind::AsFound, gain0, Off(gain0, 1017), {0, 3});
        QCOMPARE(RecordNotes(unchosen),
                 (QStringList{QStringLiteral("No range was chosen for DAC 0, so the DAC steps assume DAC 0 0-2.5V, DAC 1 ±2.5V. "
                                             "The card's switches may differ: choose their ranges under Settings, DAC Range."),
                              RangeNote(gain0, {1, 4})}));
        QVERIFY(ReportText(unchosen).contains(QStringLiteral("Note: ") + RangeNote(gain0, {1, 4})));

        // The one bad point out of range fails the card, as left and
        // checked again alike.
        TCalibrationRecord ends;
        ends.Begin({}, ranges);
        for (const TTestPoint &t : p)
            ends.Measured(TCheckKind::AsLeft, t, Off(t, 0.0), ranges);
        QCOMPARE(ends.Verdict(), TVerdict::Pass);
        ends.Measured(TCheckKind::AsLeft, four, Off(four, 0.0, 0, 0, 50), ranges);
        QCOMPARE(ends.Verdict(), TVerdict::Fail);
    }

    // A check pass averages the raw conversions of at least its time (a
    // mean of truncated readings would lean toward zero), spreads them
    // from lowest to highest wherever they came, counts those at the
    // range's ends, and moves on only once the time is up.
    void checkPassCollects()
    {
        const TTestPoint two = CalibrationSteps::TestPoints({0, 0})[1]; // point 2, unipolar
        TCheckPass pass(TCheckKind::AsLeft, 0.2);
        QVERIFY(!pass.Add(two, Reading(two, {5, 5, 5, 5, 5}))); // not confirmed yet: ignored
        pass.Confirm();
        QElapsedTimer clock;
        clock.start();
        std::optional<TMeasurement> m;
        int readings = 0;
        // 1 1 1 1 2 reads 1 when truncated; the lowest comes first, the
        // highest in the middle, neither last.
        while (!m && clock.elapsed() < 5000) {
            const bool first = readings == 0, middle = readings == 3;
            m = pass.Add(two, Reading(two, {first ? 0 : 1, 1, middle ? 3 : 1, 1, 2}));
            ++readings;
            QThread::msleep(5);
        }
        QVERIFY(m);
        QVERIFY2(clock.elapsed() >= 200, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(m->readings, readings);
        QVERIFY(readings >= TCheckPass::MinReadings);
        QCOMPARE(m->conversions, 5 * readings);
        QCOMPARE(m->spread, 3);
        QCOMPARE(m->atBottom, 1);
        QCOMPARE(m->atTop, 0);
        QVERIFY(qAbs(m->counts - (6.0 * readings + 1) / (5 * readings)) < 1e-12);
        QCOMPARE(m->volts, m->counts * 10.0 / 4096);
        QCOMPARE(pass.Index(), 1); // on to the next point
        QVERIFY(!pass.Collecting());
        // Back goes to the point before, and stays at the first.
        pass.Back();
        pass.Back();
        QCOMPARE(pass.Index(), 0);
        QCOMPARE(pass.Current({0, 0}).Name, QStringLiteral("1"));
        pass.Skip();
        QCOMPARE(pass.Current({0, 0}).Name, QStringLiteral("2"));
    }

    // What the user types reaches the files whole and harmless: a formula
    // reads as text in a spreadsheet, a carriage return cannot start a
    // row, control characters are left out (and refused when typed), the
    // PDF wraps a long text and keeps its line breaks, and an override
    // cannot reorder what follows it.
    void typedTextsReachTheFilesHarmless()
    {
        const QString instruments = QStringLiteral(
            "Fluke 5522A s/n 1234567 (cal. due 2026-11-30), Keysight 34465A s/n MY5900 (cal. due 2027-01-15); test leads set 7, clips 4B-x1");
        QCOMPARE(instruments.size(), 126);
        const QString longer = instruments + QStringLiteral(" & spare");
        const QStringList hostile{QStringLiteral("=1+2"), QStringLiteral("+1+2"), QStringLiteral("-2+3"),
                                  QStringLiteral("@SUM(1,2)"), QStringLiteral("=HYPERLINK(\"http://x\",\"y\")"),
                                  QStringLiteral("\tTab"), QStringLiteral("A\rB=1+1"), QString::fromUtf8("nul\0here", 8),
                                  QStringLiteral("esc\x1b[31mred"), QStringLiteral("abc\u202Edef"),
                                  QStringLiteral("line one\nline two"), longer};
        QTemporaryDir dir;
        for (const QString &typed : hostile) {
            TRecordModel model;
        const TCalibrationRecord &record = model.Record();
            model.Begin({QStringLiteral("PCI-RZ4070"), 0xE800}, {0, 0});
            model.SetOperator(typed);
            model.SetInstruments(QStringLiteral("after ") + typed + QStringLiteral(" end"));
            // Kept as typed, less the control characters; a carriage
            // return is a line break.
            QString kept = QString(typed).replace(u'\r', u'\n');
            kept.remove(QChar(0)).remove(QChar(0x1b));
            QCOMPARE(record.Operator(), kept);
            TReportWindow window(nullptr, model);
            const QString csv = dir.filePath(QStringLiteral("typed.csv")), pdf = dir.filePath(QStringLiteral("typed.pdf"));
            QVERIFY(window.SaveCsv(csv));
            QVERIFY(window.SavePdf(pdf));
            const QList<QStringList> rows = CsvRows(csv);
            QVERIFY2(!rows.isEmpty(), qPrintable(typed));
            QStringList operatorRow, instrumentsRow;
            for (const QStringList &row : rows) {
                QVERIFY2(row.isEmpty() || row.size() == 2 || row.size() == 27, qPrintable(row.join(u'|')));
                if (row.value(0) == QLatin1String("operator"))
                    operatorRow = row;
                if (row.value(0) == QLatin1String("reference_instruments"))
                    instrumentsRow = row;
            }
            const bool formula = QStringLiteral("=+-@\t").contains(kept[0]);
            QCOMPARE(operatorRow.value(1), formula ? QLatin1Char('\'') + kept : kept);
            QCOMPARE(instrumentsRow.value(1), QStringLiteral("after ") + kept + QStringLiteral(" end"));
            for (const QStringList &row : rows)
                for (const QString &field : row)
                    QVERIFY2(field.isEmpty() || !QStringLiteral("=+@\t\r").contains(field[0]), qPrintable(field));

            // Every character in order, on as many lines as it needs.
            const QString text = Run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
            QString visible = kept;
            visible.remove(QChar(0x202E));
            QVERIFY2(Squeezed(text).contains(Squeezed(QStringLiteral("Operator: ") + visible)), qPrintable(text));
            QVERIFY2(Squeezed(text).contains(Squeezed(QStringLiteral("after ") + visible + QStringLiteral(" end"))),
                     qPrintable(text));
            if (typed.contains(u'\n'))
                QVERIFY2(text.contains(QStringLiteral("line one\nline two")), qPrintable(text));
            QVERIFY(Run(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
        }
        // Into the window's one-line fields: a control character is left
        // out, and a pasted CR LF or LF is a space, never the whole paste
        // refused.
        TRecordModel model;
        model.Begin({QStringLiteral("PCI-RZ4070"), 0xE800}, {0, 0});
        TReportWindow window(nullptr, model);
        QLineEdit *edit = Part<QLineEdit>(&window, "OperatorEdit");
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("A"));
        edit->insert(QStringLiteral("B\x1b"));
        edit->insert(QStringLiteral("C"));
        QCOMPARE(edit->text(), QStringLiteral("ABC"));
        QApplication::clipboard()->setText(QStringLiteral("left\r\n=3+4\n@SUM(1)"));
        edit->paste();
        QCOMPARE(edit->text(), QStringLiteral("ABCleft =3+4 @SUM(1)"));
        QCOMPARE(model.Record().Operator(), edit->text());

        // A text taller than a page flows onto the next pages, each headed
        // with the record, and no character is lost.
        QString tall;
        for (int k = 0; tall.size() < 10000; ++k)
            tall += QStringLiteral("instrument-%1 s/n %2; ").arg(k).arg(k * 7919);
        tall += QStringLiteral("lastword");
        model.SetInstruments(tall);
        const QString pdf = dir.filePath(QStringLiteral("tall.pdf"));
        QVERIFY(window.SavePdf(pdf));
        const QString text = Run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        static const QRegularExpression header(QStringLiteral("Calibration record of PCI-RZ4070 at base address E800 started [^\n]*, page \\d+\n"));
        QVERIFY2(Squeezed(QString(text).remove(header)).contains(Squeezed(tall)), qPrintable(text.right(2000)));
        QVERIFY(text.contains(QStringLiteral("Signature:")));
        const qsizetype pages = text.count(u'\f');
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
        QCOMPARE(text.count(header), pages - 1);
    }

    // Saving when the system's calls fail or come up short, at each call
    // a save makes: the failure is reported with its reason, an old file
    // is exactly as it was, and nothing temporary is left; short writes
    // are carried on to the end; a folder that cannot be flushed after
    // the rename is a save that may not survive a power cut, said so. A
    // file replaced keeps its permissions. A valid long name is saved, one
    // byte more is refused with the reason and leaves nothing. What killed
    // saves left is removed by the next save there, but never a temporary
    // file that a running save holds, nor another name.
    void savingWhenCallsFail()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("record.csv"));
        const QByteArray old = "old record\n", data = QByteArray(10000, 'n');
        auto reset = [&] {
            QFile f(target);
            return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(old) == old.size();
        };
        auto content = [&] {
            QFile f(target);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        auto files = [&] { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); };
        QVERIFY(reset());
        const QStringList before = files();
        struct Fault {
            const char *what;
            std::function<void(TFileCalls &)> inject;
        };
        int calls = 0;
        auto nth = [&calls](int n) { return ++calls == n; };
        const TFileCalls system = TFileCalls::System();
        const QList<Fault> faults{
            {"write fails with ENOSPC", [&](TFileCalls &c) { c.write = [&](int, const void *, size_t) { errno = ENOSPC; return ssize_t(-1); }; }},
            {"second write fails", [&](TFileCalls &c) { c.write = [&](int fd, const void *b, size_t n) -> ssize_t {
                 if (nth(2)) { errno = EIO; return -1; }
                 return system.write(fd, b, std::min<size_t>(n, 100)); }; }},
            {"write writes nothing", [&](TFileCalls &c) { c.write = [&](int fd, const void *b, size_t n) {
                 return nth(1) ? ssize_t(0) : system.write(fd, b, n); }; }},
            {"fsync fails", [&](TFileCalls &c) { c.fsync = [&](int fd) { if (nth(1)) { errno = EIO; return -1; } return system.fsync(fd); }; }},
            {"close fails", [&](TFileCalls &c) { c.close = [&](int fd) { system.close(fd); if (nth(1)) { errno = EIO; return -1; } return 0; }; }},
            {"rename fails", [&](TFileCalls &c) { c.rename = [](const char *, const char *) { errno = EXDEV; return -1; }; }},
        };
        for (const Fault &fault : faults) {
            QVERIFY(reset());
            calls = 0;
            TFileCalls injected = system;
            fault.inject(injected);
            const TSaveResult result = SaveAtomically(target, data, injected);
            QVERIFY2(!result.saved && !result.reason.isEmpty(), fault.what);
            QCOMPARE(content(), old);
            QCOMPARE(files(), before);
        }
        // Every call made: the file's writes, its flush, the folder's.
        int writes = 0, syncs = 0, closes = 0;
        TFileCalls counted = system;
        counted.write = [&](int fd, const void *b, size_t n) { ++writes; return system.write(fd, b, std::min<size_t>(n, 999)); };
        counted.fsync = [&](int fd) { ++syncs; return system.fsync(fd); };
        counted.close = [&](int fd) { ++closes; return system.close(fd); };
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const TSaveResult saved = SaveAtomically(target, data, counted);
        QVERIFY(saved.saved && saved.reason.isEmpty());
        QCOMPARE(content(), data);
        QCOMPARE(QFile::permissions(target), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
        QCOMPARE(writes, 11); // short writes carried on
        QCOMPARE(syncs, 2);   // the file, then the folder
        QCOMPARE(closes, 2);
        // The folder's flush fails after the rename: saved, and said to be
        // at risk, in the words the window shows.
        TFileCalls folderFails = system;
        folderFails.fsync = [&](int fd) { if (++calls == 2) { errno = EIO; return -1; } return system.fsync(fd); };
        calls = 0;
        QVERIFY(reset());
        const TSaveResult atRisk = SaveAtomically(target, data, folderFails);
        QVERIFY(atRisk.saved);
        QCOMPARE(atRisk.reason, qt_error_string(EIO));
        QCOMPARE(content(), data);
        // The longest name a folder takes is saved; one byte more is
        // refused with the reason, and nothing is left of it.
        const QString longest = dir.filePath(QString(255, u'r'));
        QVERIFY(SaveAtomically(longest, data).saved);
        QCOMPARE(files().size(), 2);
        const TSaveResult tooLong = SaveAtomically(dir.filePath(QString(256, u'r')), data);
        QVERIFY(!tooLong.saved);
        QCOMPARE(tooLong.reason, qt_error_string(ENAMETOOLONG));
        QCOMPARE(files().size(), 2);

        // Leftovers: two of a killed save's, one held by a running save,
        // one of a name no save makes.
        auto make = [&](const char *name) {
            QFile f(dir.filePath(QLatin1String(name)));
            return f.open(QIODevice::WriteOnly) && f.write("partial") == 7;
        };
        for (const char *name : {".rz4070-a1B2c3", ".rz4070-ZZZZZZ", ".rz4070-held00", ".rz4070-notours"})
            QVERIFY(make(name));
        const int held = ::open(QFile::encodeName(dir.filePath(QStringLiteral(".rz4070-held00"))).constData(), O_RDONLY);
        QVERIFY(held >= 0 && flock(held, LOCK_EX | LOCK_NB) == 0);
        QVERIFY(SaveAtomically(target, old).saved);
        ::close(held);
        QStringList left = files();
        left.removeAll(QString(255, u'r'));
        QCOMPARE(left, (QStringList{QStringLiteral(".rz4070-held00"), QStringLiteral(".rz4070-notours"), QStringLiteral("record.csv")}));
        QCOMPARE(content(), old);
    }

    // Saving onto a full file system, over an old file and as a new one, in
    // both formats: a message says why, the old file is exactly as it was,
    // no new or temporary file is left. Runs itself again in a mount
    // namespace of its own with a small tmpfs.
    void savingOntoAFullDisk()
    {
        const QByteArray dir = qgetenv("REPORT_FULL_DIR");
        if (dir.isEmpty()) {
            // A machine (a chroot, a container) may refuse a mount
            // namespace; the failing calls are tried without one below.
            QProcess probe;
            probe.start(QStringLiteral("unshare"), {QStringLiteral("--mount"), QStringLiteral("--map-root-user"), QStringLiteral("true")});
            if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
                QSKIP("this machine refuses a mount namespace, so no small tmpfs can be filled here; "
                      "savingWhenCallsFail makes the writes fail instead");
            QTemporaryDir mountPoint;
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("REPORT_FULL_DIR"), mountPoint.path());
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QStringLiteral("unshare"),
                        {QStringLiteral("--mount"), QStringLiteral("--map-root-user"), QStringLiteral("--propagation"),
                         QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-c"),
                         QStringLiteral("mount -t tmpfs -o size=64k tmpfs \"$0\" && exec \"$@\""), mountPoint.path(),
                         QCoreApplication::applicationFilePath(), QStringLiteral("savingOntoAFullDisk")});
            QVERIFY2(child.waitForFinished(60000), "the child did not finish");
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                     "saving onto a full tmpfs failed (see the child's output above)");
            return;
        }
        const QDir full(QString::fromLocal8Bit(dir));
        TRecordModel model;
        model.Begin({QStringLiteral("PCI-RZ4070"), 0xE800}, {0, 0});
        const QByteArray oldPdf = "%PDF-1.4 an old record\n", oldCsv = "record,calibration\r\nold\r\n";
        for (const auto &[name, content] : {std::pair{"old.pdf", oldPdf}, std::pair{"old.csv", oldCsv}}) {
            QFile f(full.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        }
        {
            QFile filler(full.filePath(QStringLiteral("filler")));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size()) {
            }
        }
        const QStringList before = full.entryList(QDir::Files | QDir::Hidden);
        TReportWindow window(nullptr, model);
        ModalBoxes boxes(QMessageBox::Ok);
        QVERIFY(!window.SavePdf(full.filePath(QStringLiteral("old.pdf"))));
        QVERIFY(!window.SaveCsv(full.filePath(QStringLiteral("old.csv"))));
        QVERIFY(!window.SavePdf(full.filePath(QStringLiteral("new.pdf"))));
        QVERIFY(!window.SaveCsv(full.filePath(QStringLiteral("new.csv"))));
        QTRY_COMPARE(boxes.seen.size(), 4);
        for (const SeenBox &box : boxes.seen)
            QVERIFY2(box.text.contains(QStringLiteral("No space left on device")), qPrintable(box.text));
        auto bytesOf = [&](const char *name) {
            QFile f(full.filePath(QLatin1String(name)));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QCOMPARE(bytesOf("old.pdf"), oldPdf);
        QCOMPARE(bytesOf("old.csv"), oldCsv);
        QCOMPARE(full.entryList(QDir::Files | QDir::Hidden), before); // nothing new, nothing temporary
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
