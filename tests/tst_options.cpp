// The card option handlers: jumpers, switches and lists kept in step
// through real clicks, list choices and focus moves.
#include "Parts.h"
#include "LayoutStyle.h"
#include "CalibrationSteps.h"
#include "Jumpers.h"
#include "LLTRVWDM.h"
#include "ShownMainForm.h"
#include "template.h"
#include "UserActions.h"

#include <QComboBox>
#include <QtTest>

namespace {

// A user's choice in a list: the index changes and the list says so.
QString Closed(const TMainForm &form)
{
    QString s;
    for (TTwoJumper *j : {Part<TTwoJumper>(&form, "CH0"), Part<TTwoJumper>(&form, "CH1"), Part<TTwoJumper>(&form, "CH2"), Part<TTwoJumper>(&form, "CH3"), Part<TTwoJumper>(&form, "CH4"), Part<TTwoJumper>(&form, "CH5"), Part<TTwoJumper>(&form, "CH6"), Part<TTwoJumper>(&form, "CH7")})
        s += j->Closed() ? u'1' : u'0';
    return s;
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UseLayoutLook();
        LLTRVWDM::LoadDriverLibrary();
    }

    void startState()
    {
        TShownMainForm f;
        QCOMPARE(Closed(f.form), QStringLiteral("00000000"));
        QCOMPARE(Part<TThreeJumper>(&f.form, "BufferJumper")->JumperState(), TThreeJumper::jsRight);
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip0")->BinaryValueStr(), QStringLiteral("000"));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip1")->Value(), 0u);
        QCOMPARE(MainUnit.ChannelJumper[1], Part<TTwoJumper>(&f.form, "CH0"));
        QCOMPARE(MainUnit.ChannelJumper[8], Part<TTwoJumper>(&f.form, "CH7"));
        QCOMPARE(MainUnit.DACSwitch[1], Part<TDipSwitch>(&f.form, "DACDip1"));
        for (int k = 0; k < 8; ++k) {
            QCOMPARE(MainUnit.ChannelJumper[k + 1]->Tag(), k + 1);
            QCOMPARE(MainUnit.ChannelJumper[k + 1]->geometry(), QRect(128 - 16 * k, 120, 18, 34));
            QCOMPARE(MainUnit.ChannelJumper[k + 1]->Orientation(), TOrientedControl::otLeft);
        }
        QCOMPARE(Part<TThreeJumper>(&f.form, "BufferJumper")->geometry(), QRect(88, 48, 44, 18));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip0")->geometry(), QRect(24, 56, 57, 43));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip1")->Orientation(), TOrientedControl::otDown);
    }

    void channelJumpersAndList()
    {
        TShownMainForm f;
        QVERIFY(f.open(Part<TBoardHighlight>(&f.form, "ChannelHighlight")));
        QTRY_COMPARE(Part<TTwoJumper>(&f.form, "CH3")->size(), QSize(18, 34)); // laid out sideways, kept so
        QTest::mouseClick(Part<TTwoJumper>(&f.form, "CH5"), Qt::LeftButton);
        QCOMPARE(Closed(f.form), QStringLiteral("00000100"));
        QTest::mouseClick(Part<TTwoJumper>(&f.form, "CH3"), Qt::LeftButton);
        QCOMPARE(Closed(f.form), QStringLiteral("00010000"));
        QCOMPARE(Part<QComboBox>(&f.form, "ChannelBox")->currentText(), QStringLiteral("CH3"));
        QTest::mouseClick(Part<TTwoJumper>(&f.form, "CH3"), Qt::LeftButton); // stays installed
        QCOMPARE(Closed(f.form), QStringLiteral("00010000"));
        Choose(Part<QComboBox>(&f.form, "ChannelBox"), 8);
        QCOMPARE(Closed(f.form), QStringLiteral("00000001"));
        Choose(Part<QComboBox>(&f.form, "ChannelBox"), 0);
        QCOMPARE(Closed(f.form), QStringLiteral("00000000"));
        // Assigning the index from the program is no choice.
        Part<QComboBox>(&f.form, "ChannelBox")->setCurrentIndex(4);
        QCOMPARE(Closed(f.form), QStringLiteral("00000000"));
    }

    void bufferJumperAndList()
    {
        TShownMainForm f;
        QVERIFY(f.open(Part<TBoardHighlight>(&f.form, "ClampHighlight")));
        QTRY_COMPARE(Part<QComboBox>(&f.form, "BufferBox")->currentIndex(), 0); // entering the panel shows Standard
        Part<QComboBox>(&f.form, "BufferBox")->setCurrentIndex(-1);
        QTest::mouseClick(Part<TThreeJumper>(&f.form, "BufferJumper"), Qt::LeftButton);
        QCOMPARE(Part<TThreeJumper>(&f.form, "BufferJumper")->JumperState(), TThreeJumper::jsOpen);
        QCOMPARE(Part<QComboBox>(&f.form, "BufferBox")->currentText(), QStringLiteral("Standard"));
        QTest::mouseClick(Part<TThreeJumper>(&f.form, "BufferJumper"), Qt::LeftButton);
        QCOMPARE(Part<TThreeJumper>(&f.form, "BufferJumper")->JumperState(), TThreeJumper::jsLeft);
        QCOMPARE(Part<QComboBox>(&f.form, "BufferBox")->currentText(), QStringLiteral("Software Tristated"));
        Choose(Part<QComboBox>(&f.form, "BufferBox"), 0);
        QCOMPARE(Part<TThreeJumper>(&f.form, "BufferJumper")->JumperState(), TThreeJumper::jsRight);
        Choose(Part<QComboBox>(&f.form, "BufferBox"), 1);
        QCOMPARE(Part<TThreeJumper>(&f.form, "BufferJumper")->JumperState(), TThreeJumper::jsLeft);

        // Focus moving into the panel shows Standard; the cap stays on BST.
        Part<TThreeJumper>(&f.form, "BufferJumper")->setFocus();
        Part<TBoardHighlight>(&f.form, "ClampHighlight")->Popup()->DoneButton()->setFocus();
        Part<QComboBox>(&f.form, "BufferBox")->setFocus();
        QTRY_COMPARE(Part<QComboBox>(&f.form, "BufferBox")->currentIndex(), 0);
        QCOMPARE(Part<TThreeJumper>(&f.form, "BufferJumper")->JumperState(), TThreeJumper::jsLeft);
    }

    void dacListsAndSwitches()
    {
        TShownMainForm f;
        QVERIFY(f.open(Part<TBoardHighlight>(&f.form, "DACHighlight")));
        QTRY_COMPARE(Part<QComboBox>(&f.form, "DACBox0")->currentIndex(), 1); // entering the panel shows 0-5V in both
        QCOMPARE(Part<QComboBox>(&f.form, "DACBox1")->currentIndex(), 1);
        QCOMPARE(MainUnit.DACRange[0], uint8_t(0)); // but records nothing
        Choose(Part<QComboBox>(&f.form, "DACBox1"), 5);
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip1")->BinaryValueStr(), QStringLiteral("110"));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip1")->Value(), 6u);
        QCOMPARE(MainUnit.DACRange[1], uint8_t(5));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip0")->BinaryValueStr(), QStringLiteral("000"));

        Choose(Part<QComboBox>(&f.form, "DACBox0"), 4);
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip0")->BinaryValueStr(), QStringLiteral("100"));
        QCOMPARE(MainUnit.DACRange[0], uint8_t(4));
        f.form.DACPanelEnter();
        QCOMPARE(Part<QComboBox>(&f.form, "DACBox0")->currentText(), QStringLiteral("DAC 0: ±5V")); // the chosen range, not 0-5V
        QCOMPARE(Part<QComboBox>(&f.form, "DACBox1")->currentText(), QStringLiteral("DAC 1: ±10V"));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip0")->BinaryValueStr(), QStringLiteral("100"));
        QCOMPARE(MainUnit.DACRange[0], uint8_t(4));
    }

    // Ranges chosen for both DACs survive re-entering the panel: a choice
    // in one list never changes the other DAC's recorded range, so the
    // wizard asks for the targets of the ranges on the card.
    void reenteringKeepsTheOtherDacsRange()
    {
        TShownMainForm f;
        QVERIFY(f.open(Part<TBoardHighlight>(&f.form, "DACHighlight")));
        QTRY_COMPARE(Part<QComboBox>(&f.form, "DACBox1")->currentIndex(), 1); // before any choice: 0-5V, as laid out
        Choose(Part<QComboBox>(&f.form, "DACBox0"), 4); // ±5V
        Choose(Part<QComboBox>(&f.form, "DACBox1"), 2); // 0-10V
        f.form.DACPanelEnter();    // the popup opened again
        Choose(Part<QComboBox>(&f.form, "DACBox0"), 3); // ±2.5V
        QCOMPARE(MainUnit.DACRange, (std::array<uint8_t, 2>{3, 2}));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip1")->BinaryValueStr(), QStringLiteral("010"));
        QCOMPARE(CalibrationSteps::StepDACGain(1, MainUnit.DACRange[1]).Target, 9.95);
    }

    void unselectedListReadsAsBipolarTwoPointFive()
    {
        TShownMainForm f;
        // DAC 0's list still has no selection when DAC 1 is chosen.
        Part<QComboBox>(&f.form, "DACBox0")->setCurrentIndex(-1);
        Choose(Part<QComboBox>(&f.form, "DACBox1"), 0);
        QCOMPARE(MainUnit.DACRange[0], uint8_t(255));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip0")->BinaryValueStr(), QStringLiteral("101"));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip1")->BinaryValueStr(), QStringLiteral("001"));
        Part<QComboBox>(&f.form, "DACBox0")->setCurrentIndex(1);
        Choose(Part<QComboBox>(&f.form, "DACBox1"), 2);
        QCOMPARE(MainUnit.DACRange[0], uint8_t(1));
        QCOMPARE(MainUnit.DACRange[1], uint8_t(2));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip0")->BinaryValueStr(), QStringLiteral("000"));
        QCOMPARE(Part<TDipSwitch>(&f.form, "DACDip1")->BinaryValueStr(), QStringLiteral("010"));
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
