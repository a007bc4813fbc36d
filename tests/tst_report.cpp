// The live trend and the calibration record: the chart's picture and its
// held scale, the record window through a wizard (opened fresh, the check
// passes offered when they may run), the PDF and CSV it saves, and saving
// onto a full disk.
#include "CalibrationRecord.h"
#include "LayoutStyle.h"
#include "ModalBoxes.h"
#include "LLTRVWDM.h"
#include "ReportWindow.h"
#include "RunWizard.h"
#include "TrendChart.h"
#include "Wait.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

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

// A fresh simulated machine and module state with these DAC ranges, and a
// main window on the screen with the machine's card listed: ready for a
// wizard.
struct ListedForm {
    struct Fresh {
        explicit Fresh(std::array<uint8_t, 2> ranges)
        {
            Machine::instance().reset();
            MainUnit.Reset();
            MainUnit.DACRange = ranges;
        }
    } fresh;
    TMainForm form;

    explicit ListedForm(std::array<uint8_t, 2> ranges) : fresh(ranges)
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("main window not exposed");
        form.SetSupGetCardString(nullptr, 0);
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
        CardIO::SetWaitScale(0.05);
        card.setSettlingTime(std::chrono::microseconds(100));
        bool foundAtOne = false, foundLater = false, leftAtNine = false, leftEarlier = false;
        QString named;
        uint64_t after = 0;
        const bool ended = RunWizard(form, [&] {
            TReportWindow *r = form.ReportWindow;
            // Step 9 reads nothing; the other steps move on after a reading.
            if (!r || !r->isVisible() || (MainUnit.CalibStep < 9 && card.conversions() < after + 10))
                return;
            after = card.conversions();
            named = form.CardLabel->text();
            const bool found = r->AsFoundButton->isEnabled(), left = r->AsLeftButton->isEnabled();
            (MainUnit.CalibStep == 1 ? foundAtOne : foundLater) |= found;
            (MainUnit.CalibStep == 9 ? leftAtNine : leftEarlier) |= left;
            if (MainUnit.CalibStep < 9 || leftAtNine)
                form.NextClick();
        });
        CardIO::SetWaitScale(1);
        QVERIFY(ended);
        QVERIFY(foundAtOne && !foundLater);
        QVERIFY(leftAtNine && !leftEarlier);
        QCOMPARE(named, QStringLiteral("Card: PCI-RZ4070 at E800"));
        TReportWindow *r = form.ReportWindow;
        QCOMPARE(r->windowTitle(), QStringLiteral("Calibration record"));
        QVERIFY(!r->AsFoundButton->isEnabled() && !r->AsLeftButton->isEnabled()); // no wizard: nothing drives a check
        for (QPushButton *b : r->findChildren<QPushButton *>())
            QVERIFY2(b->text().contains(u'&'), qPrintable(b->text()));
        QVERIFY(r->CardLabel->text().contains(QStringLiteral("E800")));
        QCOMPARE(r->VerdictLabel->text(), QStringLiteral("incomplete"));
        // As left comes from a check pass only: Next through the steps records nothing.
        for (const TPointRecord &p : form.Record().Points())
            QVERIFY(!p.asLeft && !p.asFound);
        QCOMPARE(form.Record().Points().size(), size_t(9));
        QCOMPARE(form.Record().Points()[3].point.Name, QStringLiteral("3b"));
        QCOMPARE(form.Record().Points()[3].point.Target, -9.9);

        // Operator and instruments are kept for the session; a new wizard
        // starts a fresh record, shown at once.
        r->OperatorEdit->setText(QString());
        QTest::keyClicks(r->OperatorEdit, QStringLiteral("A. Tech"));
        QCOMPARE(form.Record().Operator(), QStringLiteral("A. Tech"));
        const QDateTime first = form.Record().Started();
        r->hide();
        const bool again = RunWizard(form, [&] {
            if (form.ReportWindow->isVisible())
                form.QuitClick();
        });
        QVERIFY(again);
        QVERIFY(form.Record().Started() >= first);
        QCOMPARE(form.Record().Operator(), QStringLiteral("A. Tech"));
        QVERIFY(r->Text().contains(QStringLiteral("Operator: A. Tech")));
    }

    // A DAC range chosen while the wizard runs reaches the record: its
    // header and the targets of the points not measured yet.
    void recordFollowsTheRangesInEffect()
    {
        ListedForm listed({4, 2});
        TMainForm &form = listed.form;
        CardIO::SetWaitScale(0.05);
        const bool ended = RunWizard(form, [&] {
            if (!form.ReportWindow || !form.ReportWindow->isVisible())
                return;
            if (MainUnit.DACRange[0] == 4) {
                MainUnit.DACRange = {3, 2}; // DAC 0 chosen as ±2.5V meanwhile
            } else if (form.Record().Ranges()[0] == 3) {
                form.QuitClick();
            }
        });
        CardIO::SetWaitScale(1);
        QVERIFY(ended);
        QCOMPARE(form.Record().Ranges(), (std::array<uint8_t, 2>{3, 2}));
        QCOMPARE(form.Record().Points()[5].point.Target, -2.475); // DAC 0 offset at ±2.5V
        QVERIFY(form.ReportWindow->RangesLabel->text().contains(QStringLiteral("DAC 0 ±2.5V")));
        QVERIFY(form.ReportWindow->Text().contains(QStringLiteral("-2.475")));
    }

    // The saved files: the PDF is one A4 page with the record and lines
    // for remarks and a signature; the CSV stands alone, header facts then
    // points, numbers in numeric columns with a dot, states apart. On
    // screen the numbers are the user's.
    void pdfAndCsv()
    {
        TCalibrationRecord record;
        record.Begin({QStringLiteral("PCI-RZ4070"), 0xE800}, {5, 0});
        record.SetOperator(QStringLiteral("Tech, A."));
        record.SetInstruments(QStringLiteral("Calibrator X 123"));
        const std::vector<TTestPoint> points = CalibrationSteps::TestPoints({5, 0});
        record.Measured(TCheckKind::AsFound, points[0], {0.0195, 4, 1, 11}, {5, 0});
        record.Measured(TCheckKind::AsLeft, points[0], {0.0, 0, 0, 11}, {5, 0});
        record.Measured(TCheckKind::AsLeft, points[3], {-9.9146, -2031, 2, 10}, {5, 0}); // 3b, 3 counts low
        QCOMPARE(record.Points()[0].State(), TPointState::Within);
        QCOMPARE(record.Points()[3].State(), TPointState::Outside);
        QCOMPARE(record.Verdict(), TVerdict::Fail);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // a comma for decimals
        TReportWindow window(nullptr, record);
        window.Refresh();
        QVERIFY(window.Text().contains(QStringLiteral("-9,915 V")));
        QVERIFY(window.Text().contains(QStringLiteral("0,0125"))); // DAC 0's offset target as step 5 states it
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
        QVERIFY(text.contains(QStringLiteral("PCI-RZ4070 at base address E800")));
        QVERIFY(text.contains(QStringLiteral("Tech, A.")));
        QVERIFY(text.contains(QStringLiteral("Verdict: fail")));
        QVERIFY(text.contains(QStringLiteral("Remarks:")) && text.contains(QStringLiteral("Signature:")));
        for (const TTestPoint &p : points)
            QVERIFY2(text.contains(QRegularExpression(QStringLiteral("\\b%1\\s+RP%2").arg(p.Name).arg(p.Pot))), qPrintable(text));

        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines[0], QStringLiteral("record,calibration"));
        QVERIFY(lines.contains(QStringLiteral("base_address,E800")));
        QVERIFY(lines.contains(QStringLiteral("dac0_range,±10V")));
        QVERIFY(lines.contains(QStringLiteral("operator,\"Tech, A.\"")));
        QVERIFY(lines.contains(QStringLiteral("verdict,fail")));
        QVERIFY(lines.contains(QStringLiteral("date_time,") + Stamped(record)));
        const qsizetype table = lines.indexOf(QString()) + 1;
        const QStringList columns = lines[table].split(u',');
        QCOMPARE(columns.size(), 19);
        QCOMPARE(lines.size(), table + 1 + 9 + 1); // the points and a final line break
        auto field = [&](int point, const char *column) {
            return lines[table + 1 + point].split(u',')[columns.indexOf(QLatin1String(column))];
        };
        bool number = false;
        QCOMPARE(field(0, "as_found_volts").toDouble(&number), 0.0195);
        QVERIFY(number);
        QCOMPARE(field(0, "as_found_spread_counts"), QStringLiteral("1"));
        QCOMPARE(field(0, "as_left_state"), QStringLiteral("within"));
        QCOMPARE(field(3, "point"), QStringLiteral("3b"));
        QCOMPARE(field(3, "target_volts"), QStringLiteral("-9.9"));
        QCOMPARE(field(3, "as_left_volts"), QStringLiteral("-9.9146"));
        QCOMPARE(field(3, "as_left_state"), QStringLiteral("outside"));
        QCOMPARE(field(5, "as_left_volts"), QString()); // not measured: empty, not text, in a number column
        QCOMPARE(field(5, "as_left_state"), QStringLiteral("not measured"));
        QCOMPARE(field(5, "dac_range"), QStringLiteral("±10V"));
        QCOMPARE(field(5, "tolerance_volts").toDouble(), 20.0 / 4096);
        QCOMPARE(field(4, "tolerance_volts").toDouble(), 0.01); // step 4: 10 mV
    }

    // Saving onto a full file system, over an old file and as a new one, in
    // both formats: a message says why, the old file is exactly as it was,
    // no new or temporary file is left. Runs itself again in a mount
    // namespace of its own with a small tmpfs.
    void savingOntoAFullDisk()
    {
        const QByteArray dir = qgetenv("REPORT_FULL_DIR");
        if (dir.isEmpty()) {
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
        TCalibrationRecord record;
        record.Begin({QStringLiteral("PCI-RZ4070"), 0xE800}, {0, 0});
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
        TReportWindow window(nullptr, record);
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
