// TBoardImage: picture area, centring in the parent, the recorded layout
// position, and setters that do nothing on the stored value.
#include "BoardImage.h"

#include <QtTest>

namespace {

QImage Picture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return image;
}

} // namespace

class TestBoardImage : public QObject {
    Q_OBJECT

private slots:
    void newBoard()
    {
        TBoardImage board;
        QCOMPARE(board.size(), QSize(105, 105));
        QVERIFY(board.AutoSize() && board.Scale() && board.CenterOnForm());
        QVERIFY(!board.Stretch() && !board.Center() && !board.Transparent());
        QVERIFY(board.Picture().isNull());
        QCOMPARE(board.Aspect(), 1.0);
        QVERIFY(!board.PaintedOnce());
        QCOMPARE(board.PictureArea(), QRect(0, 0, 0, 0));
    }

    void autoSizeTakesThePictureSize()
    {
        TBoardImage board;
        board.move(7, 9);
        board.setPicture(Picture(120, 30));
        QCOMPARE(board.geometry(), QRect(7, 9, 120, 30));
        QCOMPARE(board.Aspect(), 0.25);
        int w = 0, h = 0;
        QVERIFY(board.CanAutoSize(w, h));
        QCOMPARE(QSize(w, h), QSize(120, 30));
    }

    void pictureArea()
    {
        TBoardImage board;
        board.setAutoSize(false);
        board.resize(100, 50);
        board.setPicture(Picture(111, 20));
        QCOMPARE(board.size(), QSize(100, 50));
        QCOMPARE(board.PictureArea(), QRect(0, 0, 111, 20));
        board.setCenter(true);
        QCOMPARE(board.PictureArea(), QRect(-5, 15, 111, 20)); // -11 div 2 = -5
        board.setStretch(true);
        QCOMPARE(board.PictureArea(), QRect(0, 0, 100, 50)); // Stretch ignores Center
        QVERIFY(board.testAttribute(Qt::WA_OpaquePaintEvent));
        board.setStretch(false);
        board.setPicture(Picture(10, 10));
        QVERIFY(!board.testAttribute(Qt::WA_OpaquePaintEvent)); // the panel shows around it
    }

    void settersIgnoreTheStoredValue()
    {
        // With AutoSize, every run of PictureUpdated gives the board the
        // picture's size back: a board resized since shows whether it ran.
        TBoardImage board;
        board.setPicture(Picture(40, 20));
        QCOMPARE(board.size(), QSize(40, 20));
        board.resize(70, 70);
        board.setStretch(false);
        board.setCenter(false);
        board.setTransparent(false);
        board.setScale(true);
        QCOMPARE(board.size(), QSize(70, 70));
        board.setStretch(true);
        QCOMPARE(board.size(), QSize(40, 20));
        QCOMPARE(board.Aspect(), 0.5);
    }

    void centresOnTheParentsOuterSize()
    {
        QWidget window;
        window.resize(1000, 700);
        auto *parent = new QWidget(&window);
        parent->resize(597, 400);
        auto *board = new TBoardImage(parent);
        board->setAutoSize(false);
        board->setGeometry(20, 30, 600, 317);
        board->setPicture(Picture(600, 317));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(board->pos(), QPoint(-1, 41)); // (597-600) div 2, (400-317) div 2
        QCOMPARE(board->DesignPosition().x(), 20);
        QCOMPARE(board->DesignPosition().y(), 30);

        // A wider parent re-centres the board; the design position stays.
        parent->resize(800, 417);
        QTRY_COMPARE(board->pos(), QPoint(100, 50));
        QCOMPARE(board->DesignPosition().x(), 20);

        board->setCenterOnForm(false);
        parent->resize(900, 417);
        QTest::qWait(50);
        QCOMPARE(board->pos(), QPoint(100, 50));
    }

    void aWindowParentCountsItsFrame()
    {
        QWidget window;
        window.resize(700, 500);
        auto *board = new TBoardImage(&window);
        board->setPicture(Picture(300, 100));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize outer = window.frameGeometry().size();
        QTRY_COMPARE(board->pos(), QPoint((outer.width() - 300) / 2, (outer.height() - 100) / 2));
    }
};

QTEST_MAIN(TestBoardImage)
#include "tst_boardimage.moc"
