// The two pictures decode through libjpeg to what the layout expects, and
// bad data gives a null image, never a crash.
#include "JpegImage.h"

#include <QFile>
#include <QtTest>

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void boardPhotograph()
    {
        const QImage board = LoadJpeg(QStringLiteral(":/board.jpg"));
        QCOMPARE(board.size(), QSize(600, 317));
        QCOMPARE(board.format(), QImage::Format_RGB32);
        // Solder mask is green; the pots inside the red highlights are blue.
        const QColor mask = board.pixelColor(300, 140);
        QVERIFY(mask.green() > mask.red() + 30 && mask.green() > mask.blue() + 30);
        for (QPoint pot : {QPoint(137, 32), QPoint(466, 34), QPoint(527, 34)}) {
            const QColor c = board.pixelColor(pot);
            QVERIFY2(c.blue() > c.red() + 40 && c.blue() > c.green() + 30, qPrintable(c.name()));
        }
        // Gold fingers along the bottom edge.
        const QColor gold = board.pixelColor(300, 305);
        QVERIFY(gold.red() > 150 && gold.green() > 110 && gold.blue() < 110);
    }

    void potsPicture()
    {
        const QImage pots = LoadJpeg(QStringLiteral(":/pots.jpg"));
        QCOMPARE(pots.size(), QSize(225, 60));
        for (int x : {12, 38, 64, 134, 160, 186, 212}) {
            const QColor body = pots.pixelColor(x, 32);
            QVERIFY2(body.blue() > body.green() + 40 && body.blue() > body.red() + 40, qPrintable(body.name()));
            const QColor top = pots.pixelColor(x - 6, 10);
            QVERIFY(top.lightness() > 170);
        }
        const QColor between = pots.pixelColor(100, 30);
        QVERIFY(between.green() > between.red() + 30 && between.green() > between.blue() + 20);
    }

    void badData()
    {
        QVERIFY(DecodeJpeg(QByteArray()).isNull());
        QVERIFY(DecodeJpeg(QByteArray("not a jpeg at all")).isNull());
        QFile file(QStringLiteral(":/pots.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray whole = file.readAll();
        QVERIFY(DecodeJpeg(whole.left(40)).isNull());
        // A stream cut short still decodes to a picture of the right size
        // (libjpeg fills the rest), and never crashes.
        const QImage cut = DecodeJpeg(whole.left(whole.size() / 2));
        QVERIFY(cut.isNull() || cut.size() == QSize(225, 60));
        QVERIFY(LoadJpeg(QStringLiteral("/nonexistent/picture.jpg")).isNull());
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
