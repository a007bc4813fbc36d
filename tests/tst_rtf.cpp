// The help document and our reader of its RTF subset: the runs of text
// with their bold, size and colour, and a corpus of malformed input.
#include "RtfReader.h"
#include "SupportWindows.h"
#include "ThreadClock.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>
#include <random>

namespace {

TSupportTexts MainWindowTexts()
{
    return {QStringLiteral("TARVIK"), QStringLiteral("PCI-RZ4070(A)"),
            QStringLiteral("between 8 am and 5 pm Pacific Time at 1-800-555-0142"), true, false, true};
}

struct Run {
    QString text;
    QTextCharFormat format;
};

QList<Run> Runs(const QTextDocument &doc)
{
    QList<Run> runs;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            runs.append({it.fragment().text(), it.fragment().charFormat()});
    return runs;
}

Run Find(const QList<Run> &runs, const QString &text, bool exact = false)
{
    for (const Run &r : runs)
        if (exact ? r.text == text : r.text.contains(text))
            return r;
    return {};
}

} // namespace

class TestRtf : public QObject {
    Q_OBJECT

private slots:
    void documentPieces()
    {
        const QByteArray rtf = HelpDocument(MainWindowTexts());
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fprq2\\fcharset0 Verdana;}}"
                               "{\\colortbl\\red64\\green64\\blue64;\\red255\\green255\\blue64;\\red64\\green64\\blue255;\\red255\\green64\\blue64;}"
                               "\\viewkind4\\uc1\\pard\\f0\\fs32\\cf0\r\n{\\b TARVIK PCI-RZ4070(A) Series Settings Program}\\par\\par\\fs24\r\n"));
        QVERIFY(rtf.contains("Run this settings program again once the card is installed. Repeat the {\\cf1 setup circles}"));
        QVERIFY(rtf.endsWith("To see a list of PCI-RZ4070(A) cards installed, click \"Display PCI-RZ4070(A) Cards Installed\" "
                             "under the File menu.\\par\\par\r\n}"));
        QVERIFY(!rtf.contains("Note:"));

        TSupportTexts multi = MainWindowTexts();
        multi.MultiPort = true;
        multi.bSeries = false;
        const QByteArray withNote = HelpDocument(multi);
        const qsizetype note = withNote.indexOf("{\\fs32\\b Note:} Make sure to set the jumpers for each option group \\emdash  the configuration");
        QVERIFY(note > withNote.indexOf("as you desire.\\par\\par\r\n"));
        QVERIFY(note < withNote.indexOf("To see a list of"));
        QVERIFY(withNote.contains("{\\b TARVIK PCI-RZ4070(A) Settings Program}"));

        TSupportTexts noList = MainWindowTexts();
        noList.ListsCards = false;
        QVERIFY(!HelpDocument(noList).contains("To see a list"));
    }

    void readsTheHelpDocument()
    {
        TSupportTexts texts = MainWindowTexts();
        texts.MultiPort = true;
        QTextDocument doc;
        ReadRtf(HelpDocument(texts), &doc);
        const QList<Run> runs = Runs(doc);
        QCOMPARE(doc.begin().text(), QStringLiteral("TARVIK PCI-RZ4070(A) Series Settings Program"));
        const Run title = runs.first();
        QCOMPARE(title.format.fontWeight(), int(QFont::Bold));
        QCOMPARE(title.format.fontPointSize(), 16.0);
        QCOMPARE(title.format.fontFamilies().toStringList(), QStringList{"Verdana"});
        QCOMPARE(title.format.foreground().color(), QColor(64, 64, 64));
        QVERIFY(doc.begin().next().text().isEmpty()); // an empty line after the title

        const Run body = Find(runs, QStringLiteral("This program will help you"));
        QCOMPARE(body.format.fontPointSize(), 12.0);
        QCOMPARE(body.format.fontWeight(), int(QFont::Normal));
        QCOMPARE(body.format.foreground().color(), QColor(64, 64, 64));

        const struct { const char *text; QColor colour; bool bold; } circles[] = {
            {"Yellow circles", QColor(255, 255, 64), true}, {"Blue circles", QColor(64, 64, 255), true},
            {"Red circles", QColor(255, 64, 64), true}, {"setup circles", QColor(255, 255, 64), false},
            {"calibration circles", QColor(255, 64, 64), false}, {"features", QColor(64, 64, 255), false}};
        for (const auto &c : circles) {
            const Run r = Find(runs, QLatin1String(c.text), true);
            QCOMPARE(r.text, QLatin1String(c.text));
            QCOMPARE(r.format.foreground().color(), c.colour);
            QCOMPARE(r.format.fontWeight() == QFont::Bold, c.bold);
        }
        QCOMPARE(Find(runs, QStringLiteral(" provide information on configuring")).format.fontWeight(), int(QFont::Normal));
        const Run note = Find(runs, QStringLiteral("Note:"));
        QCOMPARE(note.format.fontPointSize(), 16.0);
        QVERIFY(doc.toPlainText().contains(QStringLiteral("option group \u2014 the configuration")));
        QVERIFY(doc.toPlainText().contains(QStringLiteral("\"Display PCI-RZ4070(A) Cards Installed\"")));
        QVERIFY(!doc.toPlainText().contains(QStringLiteral("Verdana")));
        QVERIFY(!doc.toPlainText().contains(QStringLiteral("\\")));
    }

    void escapesAndDestinations()
    {
        QTextDocument doc;
        ReadRtf("{\\rtf1 caf\\'e9 \\u8364?x {\\*\\generator hidden}shown\\par next\\tab end\\~!}", &doc);
        QCOMPARE(doc.toRawText(), QStringLiteral("caf\u00e9 \u20acx shown\u2029next\tend\u00a0!"));
        ReadRtf("{\\rtf1\\uc2\\u955 ab c\\'80}", &doc);
        QCOMPARE(doc.toPlainText(), QStringLiteral("\u03bb c\u20ac"));
        ReadRtf("{\\rtf1 a\\\\b\\{c\\}}", &doc);
        QCOMPARE(doc.toPlainText(), QStringLiteral("a\\b{c}"));
    }

    void malformedInputNeverCrashesOrHangs_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("unbalanced closers") << QByteArray("}}}}text}}{");
        QTest::newRow("unclosed") << QByteArray("{\\rtf1{\\b bold{\\i");
        QTest::newRow("lone backslash") << QByteArray("abc\\");
        QTest::newRow("cut hex") << QByteArray("x\\'4");
        QTest::newRow("cut hex 2") << QByteArray("x\\'");
        QTest::newRow("bad hex") << QByteArray("x\\'zz");
        QTest::newRow("cut unicode") << QByteArray("\\u");
        QTest::newRow("negative unicode") << QByteArray("\\u-3913?\\u-");
        QTest::newRow("huge parameters") << QByteArray("{\\fs999999999999999999999 big\\cf-99999999999 x\\uc99999999999\\u65 abc\\red99999}");
        QTest::newRow("huge colour index") << QByteArray("{\\colortbl;\\red1;}\\cf2147483647 x\\cf1 y");
        QTest::newRow("deep nesting") << QByteArray(200000, '{') + "deep" + QByteArray(200000, '}');
        QTest::newRow("deep nesting, unclosed") << QByteArray(300000, '{') + "\\b x";
        QTest::newRow("long word") << "\\" + QByteArray(100000, 'a') + " x";
        QTest::newRow("long number") << "\\fs" + QByteArray(100000, '9') + " x";
        QTest::newRow("fallback past end") << QByteArray("\\uc5\\u66 \\'");
        QTest::newRow("font table without end") << QByteArray("{\\fonttbl{\\f0 Verdana");
        QTest::newRow("nul bytes") << QByteArray("a\0b\\\0c", 6);
    }

    void malformedInputNeverCrashesOrHangs()
    {
        QFETCH(QByteArray, rtf);
        QTextDocument doc;
        const TThreadClock clock;
        ReadRtf(rtf, &doc);
        QVERIFY2(clock.CpuUsed() < 5, qPrintable(QStringLiteral("%1 s of CPU").arg(clock.CpuUsed())));
    }

    void randomBytes()
    {
        // Replay another run with RTF_SEED=N.
        const unsigned seed = qEnvironmentVariableIsSet("RTF_SEED") ? unsigned(qEnvironmentVariableIntValue("RTF_SEED")) : 2026u;
        qInfo("seed %u (replay with RTF_SEED=%u)", seed, seed);
        std::mt19937 random(seed);
        const char alphabet[] = "{}\\'*ubfscp0123456789-; azAZ\r\n\x80\xff";
        for (int i = 0; i < 2000; ++i) {
            QByteArray rtf;
            const int length = int(random() % 200);
            for (int k = 0; k < length; ++k)
                rtf.append(alphabet[random() % (sizeof alphabet - 1)]);
            QTextDocument doc;
            ReadRtf(rtf, &doc);
        }
    }

    void helpWindowScaling()
    {
        QCOMPARE(HelpClientSize(QSize(800, 600)), QSize(305, 138));
        QCOMPARE(HelpClientSize(QSize(1024, 768)), QSize(390, 177));
        QCOMPARE(HelpClientSize(QSize(1920, 1080)), QSize(732, 331));
        QCOMPARE(HelpClientSize(QSize(640, 480)), QSize(305, 138));
    }
};

QTEST_MAIN(TestRtf)
#include "tst_rtf.moc"
