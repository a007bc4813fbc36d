// The simulated card's shared state: two processes see each other's
// changes, a segment of another layout is reported, the bench may start
// before or after Setup, the bench window drives the card, and one
// program drives it at a time.
#include "BenchWindow.h"
#include "CalibrationSession.h"
#include "InstalledCards.h"
#include "LLTRVWDM.h"
#include "ModalBoxes.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QComboBox>
#include <QDial>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace trvsim;

namespace {

std::string UniqueName(const char *what)
{
    return "/rz4070-test-" + std::to_string(getpid()) + "-" + what;
}

// The factory inputs of a new card, as a bench offers them.
struct Factory {
    Card card{DeviceRZ4070, DefaultBase};
    const CardState &state() { return card.State(); }
};

// Writes the raw header of a segment, as another program might have.
void ForgeSegment(const std::string &name, uint32_t magic, uint32_t version, off_t size)
{
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(ftruncate(fd, size), 0);
    if (size >= off_t(3 * sizeof(uint32_t))) {
        auto *words = static_cast<uint32_t *>(mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        words[0] = magic;
        words[1] = version;
        words[2] = uint32_t(sizeof(SharedState::Segment));
        munmap(words, size_t(size));
    }
    close(fd);
}

} // namespace

class TestShared : public QObject {
    Q_OBJECT

    std::vector<std::string> names;
    std::string Name(const char *what)
    {
        names.push_back(UniqueName(what));
        return names.back();
    }

private slots:
    void cleanup()
    {
        for (const std::string &n : names)
            SharedState::Remove(n);
        names.clear();
        unsetenv("TRVWDM_SIM_SHM");
        Machine::instance().reset();
    }

    void twoProcessesSeeEachOther()
    {
        const std::string name = Name("pair");
        Factory factory;
        std::string error;
        auto mine = SharedState::Attach(name, factory.state(), &error);
        QVERIFY2(mine, error.c_str());
        mine->Card().SetPot(0, 0.25);
        const pid_t child = fork();
        if (child == 0) {
            Factory other;
            auto theirs = SharedState::Attach(name, other.state(), nullptr);
            const bool sees = theirs && theirs->Card().Pot(0) == 0.25 && theirs->Card().Pot(1) == factory.state().Pot(1);
            if (theirs) {
                theirs->Card().SetPot(2, 0.77);
                theirs->Card().pin37 = int(Pin37::Dac1);
            }
            _exit(sees ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(mine->Card().Pot(2), 0.77);
        QCOMPARE(mine->Card().pin37.load(), int(Pin37::Dac1));
    }

    void otherLayoutsAreReportedNotMisread()
    {
        Factory factory;
        std::string error;
        const std::string newer = Name("newer");
        ForgeSegment(newer, SharedState::Magic, 99, sizeof(SharedState::Segment));
        QVERIFY(!SharedState::Attach(newer, factory.state(), &error));
        QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("layout version 99")), error.c_str());

        const std::string small = Name("small");
        ForgeSegment(small, SharedState::Magic, SharedState::LayoutVersion, 16);
        QVERIFY(!SharedState::Attach(small, factory.state(), &error));
        QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("smaller")), error.c_str());

        const std::string stranger = Name("stranger");
        ForgeSegment(stranger, 0xDEADBEEF, 1, sizeof(SharedState::Segment));
        QVERIFY(!SharedState::Attach(stranger, factory.state(), &error));
        QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("does not hold")), error.c_str());

        // A creator that died while it initialised left the segment so:
        // the next to come initialises it.
        const std::string orphan = Name("orphan");
        ForgeSegment(orphan, 1, 0, sizeof(SharedState::Segment));
        factory.card.setPot(Pot::RP2, 0.375);
        auto adopted = SharedState::Attach(orphan, factory.state(), &error);
        QVERIFY2(adopted, error.c_str());
        QCOMPARE(adopted->Card().Pot(int(Pot::RP2)), 0.375);

        // The library then runs alone, with its own card.
        setenv("TRVWDM_SIM_SHM", newer.c_str(), 1);
        Machine::instance().reset();
        Machine::instance().card(0).setPot(Pot::RP1, 0.1);
        QCOMPARE(Machine::instance().card(0).pot(Pot::RP1), 0.1);
    }

    // Segments that are not safely this user's own are refused.
    void foreignSegmentsAreRefused()
    {
        Factory factory;
        std::string error;
        const std::string open = Name("open");
        ForgeSegment(open, SharedState::Magic, SharedState::LayoutVersion, sizeof(SharedState::Segment));
        const int fd = shm_open(open.c_str(), O_RDWR, 0);
        QVERIFY(fd >= 0);
        QCOMPARE(fchmod(fd, 0662), 0);
        QVERIFY(!SharedState::Attach(open, factory.state(), &error));
        QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("writable by other users")), error.c_str());
        QCOMPARE(fchmod(fd, 0600), 0);
        QVERIFY(SharedState::Attach(open, factory.state(), &error));
        if (geteuid() == 0) { // only root can give a file away
            QCOMPARE(fchown(fd, 54321, 54321), 0);
            QVERIFY(!SharedState::Attach(open, factory.state(), &error));
            QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("another user")), error.c_str());
        }
        close(fd);
    }

    // A segment cut short under a running library or bench no longer
    // kills them with SIGBUS: both go on with a card of their own.
    void shrunkSegmentFallsBackToTheOwnCard()
    {
        const std::string name = Name("shrunk");
        setenv("TRVWDM_SIM_SHM", name.c_str(), 1);
        Machine::instance().reset();
        Card &card = Machine::instance().card(0);
        Factory factory;
        auto benchLink = SharedState::Attach(name, factory.state(), nullptr);
        QVERIFY(benchLink);
        TBenchWindow bench(benchLink->Card(), benchLink.get());
        LLTRVWDM::OutPort(card.base() + reg::Dac0, 100);
        QCOMPARE(benchLink->Card().dacCode[0].load(), 100u); // shared so far

        const int fd = shm_open(name.c_str(), O_RDWR, 0);
        QVERIFY(fd >= 0);
        QCOMPARE(ftruncate(fd, 0), 0);
        close(fd);
        QVERIFY(!benchLink->Intact());
        LLTRVWDM::OutPort(card.base() + reg::Dac0, 200);
        QCOMPARE(card.dacCode(0), uint16_t(200));
        LLTRVWDM::OutPortB(card.base(), 0);
        bench.Refresh();
        bench.PotDial(Pot::RP1)->setValue(1234);
        QVERIFY(bench.windowTitle().endsWith(QStringLiteral("(no longer shared)")));
        QVERIFY(!bench.CardErrors().isEmpty());
    }

    // One program drives the card at a time: a second one lists it as busy,
    // reads and writes nothing on it and will not calibrate it. The bench,
    // the card's surroundings, shares it with whichever drives it.
    void aCardAnotherProgramDrivesIsBusy()
    {
        const std::string name = Name("busy");
        Factory factory;
        auto other = SharedState::Attach(name, factory.state(), nullptr); // another Setup's library
        QVERIFY(other && other->TakeForDriving());
        auto bench = SharedState::Attach(name, factory.state(), nullptr);
        QVERIFY(bench);
        setenv("TRVWDM_SIM_SHM", name.c_str(), 1);
        Machine::instance().reset();
        QVERIFY(LLTRVWDM::LoadDriverLibrary());
        const uint32_t base = Machine::instance().card(0).base();

        QCOMPARE(LLTRVWDM::GetNumCards(), 1);
        QVERIFY(LLTRVWDM::IsCardBusy(0));
        const std::vector<TListedCard> listed = ListedCards();
        QCOMPARE(listed.size(), size_t(1));
        QCOMPARE(listed[0].Text(), QStringLiteral("PCI-RZ4070    Analog Input/Output Card\r\nBase Address: E800\r\n"
                                                  "In use by another program"));
        LLTRVWDM::TakePortError();
        LLTRVWDM::OutPort(base + reg::Dac0, 123);
        QCOMPARE(LLTRVWDM::TakePortError(), EBUSY);
        QCOMPARE(LLTRVWDM::InPort(base + reg::AdSelect), 0xFFFFu);
        QCOMPARE(LLTRVWDM::TakePortError(), EBUSY);
        QCOMPARE(bench->Card().dacCode[0].load(), factory.state().dacCode[0].load());
        {
            ModalBoxes boxes(QMessageBox::Ok);
            TMainForm form;
            form.SetSupGetCardString(nullptr, 0);
            form.CalibButtonClick();
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].text, BusyCardText({QStringLiteral("PCI-RZ4070"), uint16_t(base)}));
            QVERIFY(!form.Calibration()->Running());
        }

        // The other program ends: this one takes the card when it asks
        // again, with no restart, and Begin Calibration begins.
        other.reset();
        QVERIFY(!LLTRVWDM::IsCardBusy(0));
        LLTRVWDM::OutPort(base + reg::Dac0, 123);
        QCOMPARE(LLTRVWDM::TakePortError(), 0);
        QCOMPARE(bench->Card().dacCode[0].load(), 123u);
        ModalBoxes boxes(QMessageBox::Ok);
        TMainForm form;
        form.SetSupGetCardString(nullptr, 0);
        form.CalibButtonClick();
        QVERIFY(boxes.seen.isEmpty());
        QVERIFY(form.Calibration()->Running());
        form.QuitClick();

        // A program killed while it drives the card lets it go as well.
        unsetenv("TRVWDM_SIM_SHM");
        Machine::instance().reset(); // this one lets go of it
        int ready[2];
        QCOMPARE(pipe(ready), 0);
        // Killed and reaped whatever the checks come to.
        struct Child {
            pid_t pid;
            ~Child()
            {
                if (pid > 0 && kill(pid, SIGKILL) == 0)
                    waitpid(pid, nullptr, 0);
            }
        } killed{fork()};
        if (killed.pid == 0) {
            Factory own;
            auto held = SharedState::Attach(name, own.state(), nullptr);
            const char taken = held && held->TakeForDriving() ? 'y' : 'n';
            if (write(ready[1], &taken, 1) == 1)
                pause();
            _exit(1);
        }
        char taken = 0;
        QCOMPARE(read(ready[0], &taken, 1), ssize_t(1));
        close(ready[0]);
        close(ready[1]);
        QCOMPARE(taken, 'y');
        setenv("TRVWDM_SIM_SHM", name.c_str(), 1);
        Machine::instance().reset();
        QVERIFY(LLTRVWDM::IsCardBusy(0));
        QCOMPARE(kill(killed.pid, SIGKILL), 0);
        QCOMPARE(waitpid(killed.pid, nullptr, 0), killed.pid);
        killed.pid = 0;
        QVERIFY(!LLTRVWDM::IsCardBusy(0));
    }

    void benchBeforeSetup()
    {
        const std::string name = Name("before");
        Factory factory;
        auto bench = SharedState::Attach(name, factory.state(), nullptr);
        QVERIFY(bench);
        bench->Card().SetPot(int(Pot::RP1), 0.3);
        bench->Card().dacRange[1] = 5;
        setenv("TRVWDM_SIM_SHM", name.c_str(), 1);
        Machine::instance().reset(); // Setup loads the library
        Card &card = Machine::instance().card(0);
        QCOMPARE(card.pot(Pot::RP1), 0.3);
        QCOMPARE(card.dacRange(1), 5);
        QVERIFY(LLTRVWDM::LoadDriverLibrary());
        LLTRVWDM::OutPort(card.base() + reg::Dac1, 4076);
        QCOMPARE(bench->Card().dacCode[1].load(), 4076u);
    }

    void benchAfterSetup()
    {
        const std::string name = Name("after");
        setenv("TRVWDM_SIM_SHM", name.c_str(), 1);
        Machine::instance().reset();
        Card &card = Machine::instance().card(0);
        Factory factory;
        auto bench = SharedState::Attach(name, factory.state(), nullptr);
        QVERIFY(bench);
        QCOMPARE(bench->Card().Pot(int(Pot::RP1)), card.pot(Pot::RP1));
        bench->Card().pin37 = int(Pin37::Calibrator);
        bench->Card().SetCalibrator(9.9);
        QCOMPARE(card.pin37(), Pin37::Calibrator);
        QCOMPARE(card.pin37Volts(), 9.9);
    }

    void aloneWithoutBench()
    {
        Machine::instance().reset();
        Card &card = Machine::instance().card(0);
        QCOMPARE(card.pot(Pot::RP1), CardTraits::FromSeed(card.seed()).factory[0]); // a new card, out of trim
        QVERIFY(std::abs(card.pot(Pot::RP1) - card.idealPosition(Pot::RP1)) >= 0.06);
        QCOMPARE(card.pin37(), Pin37::Open);
    }

    void benchWindowDrivesTheCard()
    {
        Card card(DeviceRZ4070, DefaultBase);
        TBenchWindow bench(card.State());
        bench.PotDial(Pot::RP5)->setValue(2500);
        QCOMPARE(card.pot(Pot::RP5), 0.25);
        bench.Wiring()->setCurrentIndex(3);
        emit bench.Wiring()->activated(3);
        QCOMPARE(card.pin37(), Pin37::Dac0);
        bench.DacRange(0)->setCurrentIndex(5);
        emit bench.DacRange(0)->activated(5);
        QCOMPARE(card.dacRange(0), 5);
        bench.Calibrator()->setValue(-4.5);
        QCOMPARE(card.calibratorVolts(), -4.5);
        card.write16(reg::Dac0, 2048);
        bench.Refresh();
        QCOMPARE(bench.Readout(0), QStringLiteral("%1 V").arg(card.dacVolts(0), 8, 'f', 4));
        QCOMPARE(bench.Readout(2), bench.Readout(0)); // pin 37 is wired to DAC 0
        // Another bench's change shows here.
        card.setPot(Pot::RP8, 0.9);
        bench.Refresh();
        QCOMPARE(bench.PotDial(Pot::RP8)->value(), 9000);

        // The reference meter shows the card's true errors; no label gives
        // away where a pot's exact trim is.
        QVERIFY(bench.CardErrors().contains(QStringLiteral("A/D bipolar")));
        for (const QLabel *label : bench.findChildren<QLabel *>())
            QVERIFY2(!label->text().contains(u'%'), qPrintable(label->text()));
        // New card: a fresh card from a new seed, its pots out of trim.
        const uint64_t before = card.seed();
        QTest::mouseClick(bench.NewCardButton(), Qt::LeftButton);
        QVERIFY(card.seed() != before);
        QCOMPARE(card.pot(Pot::RP8), CardTraits::FromSeed(card.seed()).factory[int(Pot::RP8)]);
        QCOMPARE(card.pin37(), Pin37::Open);
    }
};

QTEST_MAIN(TestShared)
#include "tst_shared.moc"
