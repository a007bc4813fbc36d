// The setup supporter: its one-time build at the first idle moment, the
// title, the File-menu item, the installed-cards list, the help window's
// timer, Start and Escape, and the Help menu.
#include "Parts.h"
#include "Board.h"
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "SetupSupporter.h"
#include "SupportWindows.h"
#include "ShownMainForm.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"
#include "Wait.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

using namespace trvsim;

namespace {

// A main window with a File menu and a supporter configured as Setup's.
struct Host {
    QMainWindow window;
    TSetupSupporter *sup;
    explicit Host(const QString &fileCaption = QStringLiteral("&File"))
    {
        window.setCentralWidget(new QWidget);
        window.menuBar()->addMenu(fileCaption)->addAction(QStringLiteral("&Exit"));
        sup = new TSetupSupporter(&window);
        sup->setCompanyName(QStringLiteral("TARVIK"));
        sup->setCardNameA(QStringLiteral("PCI-RZ4070(A)"));
        sup->setCardNameB(QStringLiteral("PCI-RZX/4070(M)"));
        sup->setCallHow(QStringLiteral("between 8 am and 5 pm Pacific Time at 1-800-555-0142"));
        window.resize(800, 600);
    }
    void listCards(QStringList texts)
    {
        Machine::instance().clearCards();
        for (int i = 0; i < texts.size(); ++i)
            Machine::instance().addCard(DeviceRZ4070, uint16_t(0x300 + 0x20 * i));
        sup->setOnGetCardString([texts](QObject *, int index) { return texts.value(index); });
    }
    QString title() const { return sup->HeaderLabel() ? sup->HeaderLabel()->text() : QString(); }
    QString cards() const { return sup->PCIForm()->PCIMemo()->toPlainText(); }
    QAction *displayItem() const { return window.findChild<QAction *>(QStringLiteral("DisplayPCI")); }
};

} // namespace

class TestSupporter : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UseLayoutLook();
        LLTRVWDM::LoadDriverLibrary();
    }
    void init() { Machine::instance().reset(); }

    void withoutCardHandler()
    {
        Host h;
        h.sup->BuildSupportWindows();
        QCOMPARE(h.title(), QStringLiteral("PCI-RZ4070(A) Series Settings Program"));
        QVERIFY(!h.displayItem());
        QVERIFY(!h.sup->PCIForm());
        QVERIFY(!h.sup->HelpForm()->HelpRich()->toPlainText().contains(QStringLiteral("To see a list")));
        QCOMPARE(h.sup->HeaderLabel()->objectName(), QStringLiteral("HeaderLabel"));
        QCOMPARE(h.sup->HeaderLabel()->font().pointSize(), 18);
        QVERIFY(h.sup->HeaderLabel()->font().bold());
        QCOMPARE(h.sup->HeaderLabel()->width(), h.window.centralWidget()->width());
        QCOMPARE(h.sup->HeaderLabel()->y(), 0);
    }

    void cardsListedInOrder()
    {
        Host h;
        h.listCards({"first\r\nBase Address: 0300", "", "third\r\nBase Address: 0340"});
        h.sup->BuildSupportWindows();
        QCOMPARE(h.cards(), QStringLiteral("first\nBase Address: 0300\nthird\nBase Address: 0340"));
        QVERIFY(h.sup->PCIForm()->isVisible());
        QCOMPARE(h.sup->PCIForm()->windowTitle(), QStringLiteral("PCI-RZ4070(A) Cards installed"));
        QCOMPARE(h.sup->PCIForm()->PCIMemo()->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(h.title(), QStringLiteral("PCI-RZ4070(A) Series Settings Program"));
        // The item stands first in the File menu.
        QMenu *file = h.window.menuBar()->actions()[0]->menu();
        QCOMPARE(file->actions().first(), h.displayItem());
        QCOMPARE(h.displayItem()->text(), QStringLiteral("Display PCI-RZ4070(A) Cards Installed"));
        QVERIFY(h.sup->HelpForm()->HelpRich()->toPlainText().contains(QStringLiteral("To see a list of PCI-RZ4070(A) cards installed")));
        h.sup->PCIForm()->CloseButton()->click();
        QVERIFY(!h.sup->PCIForm()->isVisible());
        h.displayItem()->trigger();
        QVERIFY(h.sup->PCIForm()->isVisible());
    }

    void noCardFound_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("series");
        QTest::addColumn<QString>("title");
        QTest::newRow("no cards") << QStringList() << true << "No PCI-RZ4070(A) Series Card Found";
        QTest::newRow("all empty") << QStringList{"", ""} << true << "No PCI-RZ4070(A) Series Card Found";
        QTest::newRow("not a series") << QStringList() << false << "No PCI-RZ4070(A) Found";
    }

    void noCardFound()
    {
        QFETCH(QStringList, texts);
        QFETCH(bool, series);
        QFETCH(QString, title);
        Host h;
        h.listCards(texts);
        h.sup->setbSeries(series);
        h.sup->BuildSupportWindows();
        QCOMPARE(h.cards(), QStringLiteral("No Card Found"));
        QCOMPARE(h.title(), title);
    }

    void seriesAndSecondName()
    {
        Host h;
        h.listCards({"card"});
        h.sup->setbSeries(false);
        h.sup->setUseCardNameB(true);
        h.sup->BuildSupportWindows();
        QCOMPARE(h.title(), QStringLiteral("PCI-RZX/4070(M) Settings Program"));
        QCOMPARE(h.displayItem()->text(), QStringLiteral("Display PCI-RZX/4070(M) Cards Installed"));
        QCOMPARE(h.sup->PCIForm()->windowTitle(), QStringLiteral("PCI-RZX/4070(M) Cards installed"));
        const QString help = h.sup->HelpForm()->HelpRich()->toPlainText();
        QVERIFY(help.startsWith(QStringLiteral("TARVIK PCI-RZX/4070(M) Settings Program")));
        QVERIFY(help.contains(QStringLiteral("\"Display PCI-RZX/4070(M) Cards Installed\"")));
    }

    void fileWithoutAmpersandGetsNoItem()
    {
        Host h(QStringLiteral("File"));
        h.listCards({"card"});
        h.sup->BuildSupportWindows();
        QVERIFY(!h.displayItem());
        QVERIFY(h.sup->PCIForm()); // the window is still built
    }

    void buildsOnceAtTheFirstIdleMomentAndShowsHelpOnce()
    {
        Host h;
        h.sup->RegisterApplicationIdle();
        QVERIFY(!h.sup->HelpForm());
        h.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.window));
        QVERIFY(WaitFor([&] { return bool(h.sup->HelpForm()); }));
        QPointer<THelpForm> help = h.sup->HelpForm();
        QVERIFY(!help->isVisible());
        QVERIFY(WaitFor([&] { return help->isVisible(); })); // the timer's first tick
        QVERIFY(!h.sup->HelpPending());
        QVERIFY(!h.sup->TimerRunning());
        help->close();
        RunEventsFor(300);
        QVERIFY(!help->isVisible());
        QCOMPARE(h.sup->HelpForm(), help); // never rebuilt
    }

    void supportWindowsGeometryAndTexts()
    {
        Host h;
        h.sup->BuildSupportWindows();
        TTechForm *tech = h.sup->TechForm();
        QCOMPARE(tech->objectName(), QStringLiteral("TechForm"));
        QCOMPARE(tech->windowTitle(), QStringLiteral("Technical Support"));
        QCOMPARE(tech->size(), QSize(305, 122));
        QCOMPARE(tech->TechMemo()->geometry(), QRect(0, 0, 305, 89));
        QCOMPARE(tech->CloseButton()->geometry(), QRect(116, 97, 73, 25));
        QVERIFY(tech->TechMemo()->toPlainText().startsWith(QStringLiteral("There are several ways to get technical support.")));
        QVERIFY(tech->TechMemo()->toPlainText().contains(
            QStringLiteral("and TARVIK stands ready to provide that help. You can call us between 8 am and 5 pm Pacific Time at "
                           "1-800-555-0142 for any of your product questions.\n\nIn order to provide")));
        tech->show();
        tech->resize(405, 222);
        QCOMPARE(tech->CloseButton()->geometry(), QRect(166, 197, 73, 25));
        QCOMPARE(tech->TechMemo()->geometry(), QRect(0, 0, 405, 189));

        THelpForm *help = h.sup->HelpForm();
        QCOMPARE(help->windowTitle(), QStringLiteral("Instructions for Settings utility"));
        QCOMPARE(help->size(), HelpClientSize(QGuiApplication::primaryScreen()->size()));
        QVERIFY(help->StartButton()->isDefault());
        QVERIFY(help->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(help->findChild<QPushButton *>(QStringLiteral("CloseButton")), nullptr);
        QCOMPARE(help->HelpRich()->palette().color(QPalette::Base), QColor(221, 221, 221));
    }

    void startAndEscapeOpenTheFirstHighlight()
    {
        for (bool escape : {false, true}) {
            TShownMainForm shown;
            TMainForm &form = shown.form;
            QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&form, "SetSup")->HelpForm() && Part<TSetupSupporter>(&form, "SetSup")->HelpForm()->isVisible(); }));
            QCOMPARE(Part<TSetupSupporter>(&form, "SetSup")->HeaderLabel()->text(), QStringLiteral("PCI-RZ4070(A) Series Settings Program"));
            QCOMPARE(MainUnit.BaseAddress, uint16_t(0xE800));
            THelpForm *help = Part<TSetupSupporter>(&form, "SetSup")->HelpForm();
            if (escape) {
                help->activateWindow();
                QTest::keyClick(help, Qt::Key_Escape);
            } else {
                help->StartButton()->click();
            }
            QVERIFY(!help->isVisible());
            QVERIFY(Part<TBoardHighlight>(&form, "ChannelHighlight")->Popup() && Part<TBoardHighlight>(&form, "ChannelHighlight")->Popup()->isVisible());
            QVERIFY(Part<TBoardHighlight>(&form, "ChannelHighlight")->Pinned());

            // The Help menu shows the windows again; they are not rebuilt.
            Part<QAction>(&form, "Howtousethisprogram1")->trigger();
            QVERIFY(help->isVisible());
            QCOMPARE(Part<TSetupSupporter>(&form, "SetSup")->HelpForm(), help);
            Part<QAction>(&form, "TechnicalSupport1")->trigger();
            QVERIFY(Part<TSetupSupporter>(&form, "SetSup")->TechForm()->isVisible());
            QCOMPARE(Part<QMenu>(&form, "File1")->actions().first()->objectName(), QStringLiteral("DisplayPCI"));
        }
    }
};

QTEST_MAIN(TestSupporter)
#include "tst_supporter.moc"
