// The live trend and the as-left report: the chart's picture, the record
// a calibration leaves (with Prev, a skipped step and Quit), the report
// window, and the PDF and CSV it saves.
#include "CalibrationRecord.h"
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "ReportWindow.h"
#include "RunWizard.h"
#include "TrendChart.h"
#include "Wait.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QPlainTextEdit>
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

    // The picture: band and target line where the scale puts them, a
    // point where its time and reading put it, the target in view however
    // far the readings are.
    void chartPicture()
    {
        TTrendData data{{{9.5, 0.0}}, 10.0, 0.0, Count};
        const QSize size(225, 55);
        const QImage image = DrawTrend(data, size);
        QCOMPARE(image.size(), size);
        const TTrendScale scale = TrendScale(data);
        QVERIFY(scale.high - scale.low >= 8 * Count - 1e-12); // never squeezed below eight counts
        const int line = TrendRow(scale, 0.0, 55), top = TrendRow(scale, Count, 55), bottom = TrendRow(scale, -Count, 55);
        QVERIFY(top < line && line < bottom);
        for (int x : {0, 100, 224}) {
            QCOMPARE(image.pixel(x, line), TargetLine);
            QCOMPARE(image.pixel(x, top), Band);
            QCOMPARE(image.pixel(x, bottom), Band);
            QCOMPARE(image.pixel(x, top - 1), Ground);
            QCOMPARE(image.pixel(x, bottom + 1), Ground);
        }
        // Half a second ago, at the target: two by two pixels near the right.
        const int px = int(9.5 / 10 * (225 - 2));
        QCOMPARE(image.pixel(px, line), Point);
        QCOMPARE(image.pixel(px + 1, line + 1), Point);

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
    }

    // The view keeps ten seconds of one step, from its Reset on.
    void chartViewFollowsTheStep()
    {
        TTrendView view;
        view.Reset(9.9, Count);
        view.Add(9.8);
        view.Add(9.9);
        QCOMPARE(view.Data().points.size(), 2);
        QCOMPARE(view.Data().target, 9.9);
        view.Reset(0.0, Count);
        QVERIFY(view.Data().points.isEmpty());
    }

    // A calibration played with Next, Prev and a skipped step: the last
    // visit of a step wins, a step left without a reading is not done, and
    // the report opens at step 9 with the rows.
    void recordThroughACalibration()
    {
        Machine::instance().reset();
        DACRange = {5, 2};
        TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SetSupGetCardString(nullptr, 0);
        Card &card = Machine::instance().card(0);
        card.setPin37(Pin37::Ground);
        CardIO::SetWaitScale(0.05);
        card.setSettlingTime(std::chrono::microseconds(100));
        enum { Step1, Step2, PrevFrom4, Step3Again, ToEnd, Finished } phase = Step1;
        uint64_t after = 0;
        auto fresh = [&] { return card.conversions() >= after + 10; };
        bool trendShown = false;
        const bool ended = RunWizard(form, [&] {
            trendShown = trendShown || (form.TrendView->isVisible() && !form.TrendView->Data().points.isEmpty());
            if (phase == ToEnd && CalibStep == 9 && form.ReportWindow && form.ReportWindow->isVisible()) {
                phase = Finished; // step 9 reads nothing: no fresh reading to wait for
                form.NextClick();
                return;
            }
            if (!fresh())
                return;
            after = card.conversions();
            switch (phase) {
            case Step1: // step 1 recorded as it is
                if (CalibStep == 1) {
                    form.NextClick();
                    phase = Step2;
                }
                break;
            case Step2: // Next twice in one pass: step 2 recorded, step 3 skipped
                if (CalibStep == 2) {
                    form.NextClick();
                    form.NextClick();
                    phase = PrevFrom4;
                }
                break;
            case PrevFrom4:
                if (CalibStep == 4) {
                    card.setPin37(Pin37::Calibrator);
                    card.setCalibratorVolts(9.9);
                    form.PrevClick();
                    phase = Step3Again;
                }
                break;
            case Step3Again: // back in step 3 after a reading: recorded now
                if (CalibStep == 3 && form.CTitle->text().endsWith(QStringLiteral("RP3"))) {
                    form.NextClick();
                    phase = ToEnd;
                }
                break;
            case ToEnd: // 4 to 6 recorded, 7 and 8 skipped by Next in quick succession
                if (CalibStep == 4 || CalibStep == 5) {
                    form.NextClick();
                } else if (CalibStep == 6) {
                    form.NextClick();
                    form.NextClick();
                    form.NextClick();
                }
                break;
            case Finished:
                break;
            }
        });
        CardIO::SetWaitScale(1);
        QVERIFY(ended);
        QCOMPARE(phase, Finished);
        QVERIFY(trendShown);
        QVERIFY(!form.TrendView->isVisible());
        const std::array<TAsLeft, 8> &rows = form.Record().Rows();
        const bool done[8] = {true, true, true, true, true, true, false, false};
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(rows[size_t(i)].step, i + 1);
            QVERIFY2(rows[size_t(i)].done == done[i], qPrintable(QString::number(i + 1)));
        }
        QCOMPARE(rows[0].targetVolts, 0.0);
        QCOMPARE(rows[2].targetVolts, 9.9);
        QCOMPARE(rows[2].pot, 3);
        QCOMPARE(rows[2].targetCounts, 2028); // 9.9 V in bipolar counts
        QVERIFY(std::abs(rows[2].reading.volts - 9.9) < 0.5); // read with the calibrator on
        QCOMPARE(rows[4].targetVolts, -9.9); // DAC 0 offset at ±10 V
        QCOMPARE(rows[4].range, std::optional<uint8_t>(5));
        QCOMPARE(rows[5].targetVolts, 9.9);
        QCOMPARE(rows[6].targetVolts, 0.05); // DAC 1 at 0-10 V, not done
        QCOMPARE(rows[0].Difference(), rows[0].reading.counts);

        const QString text = form.ReportWindow->Text();
        QVERIFY(text.startsWith(QStringLiteral("Calibration report\n")));
        QVERIFY(text.contains(QStringLiteral("PCI-RZ4070 at base address E800")));
        QCOMPARE(text.count(QStringLiteral("not done")), 2 * 2); // as-left and within, for steps 7 and 8
        QCOMPARE(form.ReportWindow->windowTitle(), QStringLiteral("Calibration report"));
        QCOMPARE(form.ReportWindow->PdfButton->text(), QStringLiteral("Save as PDF…"));
        QCOMPARE(form.ReportWindow->CsvButton->text(), QStringLiteral("Save as CSV…"));
        QCOMPARE(form.ReportWindow->CopyButton->text(), QStringLiteral("Copy"));
        QCOMPARE(form.ReportWindow->CloseButton->text(), QStringLiteral("Close"));

        // Quit before step 9 shows no report; a new calibration starts a new record.
        form.ReportWindow->hide();
        after = card.conversions();
        const bool quitted = RunWizard(form, [&] {
            if (CalibStep == 2 && fresh())
                form.QuitClick();
            else if (CalibStep == 1 && fresh()) {
                after = card.conversions();
                form.NextClick();
            }
        });
        QVERIFY(quitted);
        QVERIFY(!form.ReportWindow->isVisible());
        QVERIFY(form.Record().Rows()[0].done);
        QVERIFY(!form.Record().Rows()[2].done);
    }

    // The saved files: the PDF is one A4 page with the rows, the CSV reads
    // back as a header and one line per step with a dot as decimal point.
    void pdfAndCsv()
    {
        TCalibrationRecord record;
        record.Begin({5, 0});
        TMeasureStep one = *CalibrationSteps::MeasureStep(1, {5, 0});
        record.Reading(1, one, {2, 0.009765625});
        record.Next(1);
        TMeasureStep five = *CalibrationSteps::MeasureStep(5, {5, 0});
        record.Reading(5, five, {-2027, -9.897});
        record.Next(5);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // a comma for decimals
        TReportWindow window(nullptr);
        window.Show({QDateTime(QDate(2026, 12, 8), QTime(9, 30)), QStringLiteral("PCI-RZ4070"), 0xE800}, record.Rows());
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf")), csv = dir.filePath(QStringLiteral("report.csv"));
        QVERIFY(window.SavePdf(pdf));
        QVERIFY(window.SaveCsv(csv));
        QLocale::setDefault(QLocale::c());

        const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
        QVERIFY2(info.contains(QStringLiteral("A4")), qPrintable(info));
        const QString text = Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("Calibration report")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("2026-12-08 09:30:00")));
        QVERIFY(text.contains(QStringLiteral("PCI-RZ4070 at base address E800")));
        for (int step = 1; step <= 8; ++step)
            QVERIFY2(text.contains(QRegularExpression(QStringLiteral("\\b%1 RP").arg(step))), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("-9.897 V (-2027)")));
        QVERIFY(text.contains(QStringLiteral("not done")));

        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines[0], QStringLiteral("step,pot,target_volts,target_counts,as_left_volts,as_left_counts,"
                                          "difference_counts,within_1_count,dac_range"));
        for (int i = 1; i <= 8; ++i) {
            const QStringList f = lines[i].split(u',');
            QCOMPARE(f.size(), 9);
            QCOMPARE(f[0].toInt(), i);
        }
        // Fields by column: step 1 (RP1) and step 5 (DAC 0 at -9.9 V).
        const auto fieldsAre = [&](int line, std::initializer_list<std::pair<int, const char *>> expected) {
            const QStringList f = lines[line].split(u',');
            for (const auto &[column, text] : expected)
                QCOMPARE(f[column], QString::fromUtf8(text));
        };
        fieldsAre(1, {{2, "0.000"}, {4, "0.010"}, {5, "2"}, {6, "2"}, {7, "no"}});
        fieldsAre(5, {{2, "-9.900"}, {4, "-9.897"}, {6, "1"}, {7, "yes"}, {8, "±10V"}});
        if (QTest::currentTestFailed())
            return;
        QVERIFY(lines[2].contains(QStringLiteral("not done")));

        // A file that cannot be written is said so, and reported false.
        QVERIFY(!WriteReportPdf(dir.filePath(QStringLiteral("missing/dir/report.pdf")), {}, record.Rows()));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
