// The main window: the kernel-driver check, its components, texts and
// initial states, and File, Exit.
#include "Parts.h"
#include "DriverCheck.h"
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "ModalBoxes.h"
#include "Panel.h"
#include "Shape.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QComboBox>
#include <QLabel>
#include <QLibrary>
#include <QMenuBar>
#include <QtTest>

using trvsim::Machine;

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseLayoutLook(); }
    void init()
    {
        // Every handler the layout binds exists: a connection by name
        // that finds no slot or signal fails the test.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
        Machine::instance().reset();
        LLTRVWDM::LoadDriverLibrary();
    }

    void driverPresentShowsNoWarning()
    {
        ModalBoxes boxes(QMessageBox::Ok);
        TMainForm form;
        QVERIFY(boxes.seen.isEmpty());
    }

    void driverAbsentWarnsAndStartsAnyway_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("OK") << int(QMessageBox::Ok);
        QTest::newRow("Cancel") << int(QMessageBox::Cancel);
    }

    void driverAbsentWarnsAndStartsAnyway()
    {
        QFETCH(int, answer);
        Machine::instance().setKernelDriverLoaded(false);
        ModalBoxes boxes{QMessageBox::StandardButton(answer)};
        TMainForm form;
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].caption, QStringLiteral("Warning"));
        QCOMPARE(boxes.seen[0].text,
                 QStringLiteral("TARVIKNT.SYS not detected. Please copy TARVIKNT.SYS into "
                                "[NT]/system32/drivers and re-run this setup program."));
        QCOMPARE(boxes.seen[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }

    // The warning's advice fits its cause: a library that is missing or
    // lacks an entry point needs reinstalling, not the group; a card whose
    // file does not open needs the group.
    void adviceFitsTheCause_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<bool>("kernelDriver");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("doesNotSay");
        QTest::newRow("library missing") << QStringLiteral("libtrvwdm-not-installed.so.1") << true
                                         << QStringLiteral("could not load") << QStringLiteral("usermod");
        QTest::newRow("entry point missing") << QStringLiteral(PARTIAL_DRIVER) << true
                                             << QStringLiteral("lacks some of its operations")
                                             << QStringLiteral("usermod");
        QTest::newRow("card not accessible") << QString() << false
                                             << QStringLiteral("sudo usermod -aG rz4070 $USER")
                                             << QStringLiteral("reinstall");
    }

    void adviceFitsTheCause()
    {
        QFETCH(QString, library);
        QFETCH(bool, kernelDriver);
        QFETCH(QString, says);
        QFETCH(QString, doesNotSay);
        LLTRVWDM::LoadDriverLibrary(library);
        Machine::instance().setKernelDriverLoaded(kernelDriver);
        ModalBoxes boxes(QMessageBox::Ok);
        TMainForm form;
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].caption, QStringLiteral("Warning"));
        QVERIFY2(boxes.seen[0].informativeText.contains(says), qPrintable(boxes.seen[0].informativeText));
        QVERIFY2(!boxes.seen[0].informativeText.contains(doesNotSay, Qt::CaseInsensitive),
                 qPrintable(boxes.seen[0].informativeText));
    }

    // Under a locked-down kernel the start-up warning gives the remedy that
    // fits what the system shows of its IOMMU; the warning's text stays.
    void lockedDownKernelWarnsWithTheIommuRemedy()
    {
        Machine::instance().setWritesRefused(true);
        {
            ModalBoxes boxes(QMessageBox::Ok);
            TMainForm form;
            QCOMPARE(boxes.seen.size(), 1);
            QVERIFY(boxes.seen[0].text.startsWith(QStringLiteral("TARVIKNT.SYS not detected.")));
            QCOMPARE(boxes.seen[0].informativeText, DriverAdvice(TDriverFault::LockedDown));
        }
        Machine::instance().setWritesRefused(false);

        const struct {
            TIommuView view;
            const char *says, *doesNotSay;
        } cases[] = {
            {{false, QStringLiteral("BOOT_IMAGE=/vmlinuz root=/dev/sda1 intel_iommu=off")}, "Enable VT-d", "update-grub"},
            {{true, QStringLiteral("root=/dev/sda1 intel_iommu=off quiet")}, "turns it off with intel_iommu=off", "Enable VT-d"},
            {{true, QStringLiteral("amd_iommu=off")}, "turns it off with amd_iommu=off", "Enable VT-d"},
            {{true, QStringLiteral("intel_iommu=on")}, "not bound to vfio-pci", "update-grub"},
            {{true, QStringLiteral("myintel_iommu=off")}, "not bound to vfio-pci", "update-grub"},
        };
        for (const auto &c : cases) {
            const QString advice = DriverAdvice(TDriverFault::LockedDown, c.view);
            QVERIFY2(advice.contains(QLatin1String(c.says)) && !advice.contains(QLatin1String(c.doesNotSay)), qPrintable(advice));
            QVERIFY(advice.endsWith(QStringLiteral("Or turn Secure Boot off in the firmware settings.")));
        }
    }

    // A card the library reports above 0xFFFF is listed as reported, but
    // the wizard refuses it and writes no port, instead of driving the
    // truncated address.
    void cardAbove16BitPortsIsRefused()
    {
        QVERIFY(LLTRVWDM::LoadDriverLibrary(QStringLiteral(HIGH_BASE_DRIVER)));
        QLibrary fake(QStringLiteral(HIGH_BASE_DRIVER));
        const auto writes = reinterpret_cast<int (*)()>(fake.resolve("PortWrites"));
        QVERIFY(writes);
        ModalBoxes boxes(QMessageBox::Ok);
        TMainForm form;
        QCOMPARE(form.SetSupGetCardString(nullptr, 0),
                 QStringLiteral("PCI-RZ4070    Analog Input/Output Card\r\nBase Address: 1E800"));
        QCOMPARE(MainUnit.BaseAddress, uint16_t(0));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.CalibButtonClick();
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].caption, QStringLiteral("Calibration"));
        QVERIFY2(boxes.seen[0].text.contains(QStringLiteral("PCI-RZ4070 at base address 1E800")),
                 qPrintable(boxes.seen[0].text));
        QVERIFY(!Part<TPanel>(&form, "InstPanel")->isVisible());
        QCOMPARE(writes(), 0);
    }

    void windowAndMenus()
    {
        TMainForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Setup"));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(form.font().pointSize(), 8);
        QCOMPARE(form.menuBar(), Part<QMenuBar>(&form, "MainMenu1"));
        const QList<QAction *> top = Part<QMenuBar>(&form, "MainMenu1")->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top[0]->text(), QStringLiteral("&File"));
        QCOMPARE(top[1]->text(), QStringLiteral("&Help"));
        QCOMPARE(Part<QMenu>(&form, "File1")->actions(), QList<QAction *>{Part<QAction>(&form, "Exit2")});
        QCOMPARE(Part<QAction>(&form, "Exit2")->text(), QStringLiteral("&Exit"));
        QCOMPARE(Part<QMenu>(&form, "Help1")->actions(), (QList<QAction *>{Part<QAction>(&form, "Howtousethisprogram1"), Part<QAction>(&form, "TechnicalSupport1")}));
        QCOMPARE(Part<QAction>(&form, "Howtousethisprogram1")->text(), QStringLiteral("H&ow to use this program"));
        QCOMPARE(Part<QAction>(&form, "TechnicalSupport1")->text(), QStringLiteral("&Technical Support"));
    }

    void boardImage()
    {
        TMainForm form;
        QCOMPARE(Part<TBoardImage>(&form, "BoardImage1")->geometry(), QRect(166, 210, 600, 317));
        QVERIFY(!Part<TBoardImage>(&form, "BoardImage1")->AutoSize());
        QVERIFY(Part<TBoardImage>(&form, "BoardImage1")->Stretch());
        QCOMPARE(Part<TBoardImage>(&form, "BoardImage1")->Picture().size(), QSize(600, 317));
        QCOMPARE(Part<TBoardImage>(&form, "BoardImage1")->Menu(), Part<QMenuBar>(&form, "MainMenu1"));
        form.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(Part<TBoardImage>(&form, "BoardImage1")->PaintedOnce());
        QCOMPARE(Part<TBoardImage>(&form, "BoardImage1")->DesignPosition().x(), 166);
        QCOMPARE(Part<TBoardImage>(&form, "BoardImage1")->DesignPosition().y(), 210);
        const QSize outer = form.frameGeometry().size();
        QTRY_COMPARE(Part<TBoardImage>(&form, "BoardImage1")->pos(), QPoint((outer.width() - 600) / 2, (outer.height() - 317) / 2));
    }

    void panelsAndLabels()
    {
        TMainForm form;
        struct Expect { QWidget *w; QRect bounds; };
        const Expect panels[] = {
            {Part<TRadioPanel>(&form, "ChannelPanel"), {248, 480, 169, 177}}, {Part<TRadioPanel>(&form, "BufferPanel"), {608, 528, 169, 97}},
            {Part<TRadioPanel>(&form, "CalibPanel"), {390, 46, 193, 171}}, {Part<TPanel>(&form, "OutputPanel"), {304, 24, 177, 81}},
            {Part<TPanel>(&form, "InstPanel"), {8, 8, 241, 369}}, {Part<TRadioPanel>(&form, "DACPanel"), {592, 24, 209, 105}}};
        form.show();
        for (const Expect &e : panels) {
            QCOMPARE(e.w->geometry(), e.bounds);
            QVERIFY2(!e.w->isVisible(), qPrintable(e.w->objectName()));
        }
        QCOMPARE(Part<TPanel>(&form, "OutputPanel")->BevelOuter(), TPanel::bvRaised);

        QCOMPARE(Part<QLabel>(&form, "Label5")->text(), QStringLiteral("C H 0"));
        QVERIFY(Part<QLabel>(&form, "Label5")->wordWrap() && Part<QLabel>(&form, "Label5")->font().bold());
        QCOMPARE(Part<QLabel>(&form, "Label7")->text(), QStringLiteral("6  5  4"));
        QCOMPARE(Part<QLabel>(&form, "Label8")->text(), QStringLiteral("3  2  1"));
        QCOMPARE(Part<QLabel>(&form, "Label1")->text(), QStringLiteral("BEN"));
        QCOMPARE(Part<QLabel>(&form, "Label2")->text(), QStringLiteral("BST"));
        QVERIFY(Part<QLabel>(&form, "Label2")->alignment() & Qt::AlignRight);
        QCOMPARE(Part<QLabel>(&form, "Label4")->font().pointSize(), 10);
        QCOMPARE(Part<QLabel>(&form, "Label3")->text(), QStringLiteral("Before calibrating, make sure you've set the range for the DACs in this program to match the actual card."));
        QCOMPARE(Part<QPushButton>(&form, "CalibButton")->text(), QStringLiteral("Begin Calibration"));
        QCOMPARE(Part<QPushButton>(&form, "CalibButton")->geometry(), QRect(48, 128, 99, 25));
        QCOMPARE(Part<QLabel>(&form, "Label9")->text(), QStringLiteral("COUNTS"));
        QCOMPARE(Part<QLabel>(&form, "Label11")->text(), QStringLiteral("VOLTS"));
        QVERIFY(Part<QLabel>(&form, "ReadCount")->text().isEmpty() && Part<QLabel>(&form, "ReadVolt")->text().isEmpty());
        QCOMPARE(Part<QLabel>(&form, "ReadVolt")->minimumSize(), QSize(60, 25));
        QCOMPARE(Part<QLabel>(&form, "CBody2")->minimumSize(), QSize(145, 65));
        QCOMPARE(Part<QLabel>(&form, "Image1")->geometry(), QRect(8, 240, 225, 60));
        QCOMPARE(Part<QLabel>(&form, "Image1")->pixmap().size(), QSize(225, 60));
        QCOMPARE(Part<TShape>(&form, "PotMark")->geometry(), QRect(83, 240, 24, 65));
        QCOMPARE(Part<TShape>(&form, "PotMark")->PenColor(), QColor(Qt::red));
        QCOMPARE(Part<TShape>(&form, "PotMark")->PenWidth(), 3);
        QVERIFY(Part<TShape>(&form, "PotMark")->isHidden());
        QCOMPARE(Part<QPushButton>(&form, "Next")->text(), QStringLiteral("Next"));
        QCOMPARE(Part<QPushButton>(&form, "Prev")->geometry(), QRect(8, 336, 48, 25));
        QCOMPARE(Part<QPushButton>(&form, "Quit")->geometry(), QRect(184, 336, 48, 25));
    }

    void listsStartWithNoSelection()
    {
        TMainForm form;
        QCOMPARE(Part<QComboBox>(&form, "ChannelBox")->count(), 9);
        QCOMPARE(Part<QComboBox>(&form, "ChannelBox")->itemText(0), QStringLiteral("None"));
        QCOMPARE(Part<QComboBox>(&form, "ChannelBox")->itemText(8), QStringLiteral("CH7"));
        QVERIFY(Part<QComboBox>(&form, "ChannelBox")->isEditable());
        QCOMPARE(Part<QComboBox>(&form, "BufferBox")->itemText(1), QStringLiteral("Software Tristated"));
        QVERIFY(!Part<QComboBox>(&form, "DACBox0")->isEditable());
        QCOMPARE(Part<QComboBox>(&form, "DACBox0")->itemText(3), QStringLiteral("DAC 0: ±2.5V"));
        QCOMPARE(Part<QComboBox>(&form, "DACBox1")->itemText(5), QStringLiteral("DAC 1: ±10V"));
        for (QComboBox *box : {Part<QComboBox>(&form, "ChannelBox"), Part<QComboBox>(&form, "BufferBox"), Part<QComboBox>(&form, "DACBox0"), Part<QComboBox>(&form, "DACBox1")})
            QCOMPARE(box->currentIndex(), -1);
        QVERIFY(Part<QComboBox>(&form, "ChannelBox")->currentText().isEmpty());
    }

    void tabOrder()
    {
        TMainForm form;
        QWidget *chain[] = {Part<QComboBox>(&form, "ChannelBox"), Part<QComboBox>(&form, "BufferBox"), Part<QPushButton>(&form, "CalibButton"), Part<QPushButton>(&form, "Next"),
                            Part<QPushButton>(&form, "Prev"), Part<QPushButton>(&form, "Quit"), Part<QComboBox>(&form, "DACBox0"), Part<QComboBox>(&form, "DACBox1")};
        for (size_t i = 0; i + 1 < std::size(chain); ++i) {
            QWidget *next = chain[i]->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus || qobject_cast<QComboBox *>(next->parentWidget()))
                next = next->nextInFocusChain();
            QCOMPARE(next, chain[i + 1]);
        }
    }

    void moduleStateStartsEmpty()
    {
        TMainForm form;
        QCOMPARE(MainUnit.DACRange[0], uint8_t(0));
        QCOMPARE(MainUnit.DACRange[1], uint8_t(0));
        QCOMPARE(MainUnit.BaseAddress, uint16_t(0));
        QCOMPARE(MainUnit.CalibStep, 0);
    }

    void exitClosesTheWindow()
    {
        TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Part<QAction>(&form, "Exit2")->trigger();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
