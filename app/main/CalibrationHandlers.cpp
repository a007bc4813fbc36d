// TMainForm's calibration handlers and card identification; the wizard
// itself is the calibration session.
#include "CalibrationSession.h"
#include "DueDates.h"
#include "HistoryKeeper.h"
#include "HistoryWindow.h"
#include "InstalledCards.h"
#include "MessageBox.h"
#include "template.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>

QString TMainForm::SetSupGetCardString(QObject *, int CardIndex)
{
    const std::optional<TListedCard> card = ListedCard(CardIndex);
    if (!card)
        return QString();
    // The wizard drives the last card listed that 16-bit ports reach.
    if (card->Addressable())
        MainUnit.BaseAddress = uint16_t(card->base);
    // A card the history knows by the serial last given for it: when it
    // is due, if soon or past, or that it was never calibrated.
    const QString serial = THistoryKeeper::SerialOf(card->Id());
    if (serial.isEmpty())
        return card->Text();
    const std::optional<TCardSummary> kept = FHistory->Store().Card(serial);
    const TDueState due = kept ? DueOf(kept->lastCalibrated, kept->intervalMonths, QDate::currentDate()) : TDueState{};
    if (due.due == TDue::InTime)
        return card->Text();
    return card->Text() + QStringLiteral("\r\nCalibration: ") + DueText(due);
}

void TMainForm::History1Click()
{
    FHistory->Flush();
    if (!FHistoryWindow)
        FHistoryWindow = new THistoryWindow(this, *FHistory);
    else
        FHistoryWindow->Refresh();
    FHistoryWindow->show();
    FHistoryWindow->raise();
    FHistoryWindow->activateWindow();
}

void TMainForm::CalibButtonClick()
{
    if (FCalibration->Running()) {
        FCalibration->Restart();
        return;
    }
    if (const std::optional<TCardId> card = ChooseCard())
        FCalibration->Start(*card);
}

void TMainForm::NextClick()
{
    FCalibration->Next();
}

void TMainForm::PrevClick()
{
    FCalibration->Prev();
}

void TMainForm::QuitClick()
{
    FCalibration->Quit();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    QuitClick();
    QMainWindow::closeEvent(event);
}

std::optional<TCardId> TMainForm::ChooseCard()
{
    const std::vector<TListedCard> listed = ListedCards();
    const std::optional<TCardId> card = AskForCard(listed);
    const bool busy = card && std::any_of(listed.begin(), listed.end(), [&](const TListedCard &c) {
        return c.busy && c.Addressable() && c.base == card->base;
    });
    if (busy) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration"), BusyCardText(*card), QMessageBox::Ok);
        return std::nullopt;
    }
    return card;
}

std::optional<TCardId> TMainForm::AskForCard(const std::vector<TListedCard> &listedCards)
{
    std::vector<TCardId> cards; // one per base address, the last listed kept
    QString unaddressable;
    for (const TListedCard &listed : listedCards) {
        if (!listed.Addressable()) {
            unaddressable = listed.model + QStringLiteral(" at base address ") + CardIO::FormatAddress(listed.base);
            continue;
        }
        const TCardId card = listed.Id();
        const auto same = std::find_if(cards.begin(), cards.end(), [&](const TCardId &c) { return c.base == card.base; });
        if (same != cards.end())
            *same = card;
        else
            cards.push_back(card);
    }
    if (MainUnit.BaseAddress == 0) {
        // Without a card the registers would be the machine's ports 0 to 15.
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration"),
                       unaddressable.isEmpty()
                           ? QStringLiteral("No PCI-RZ4070(A) card was found, so there is nothing to calibrate.\n\n"
                                            "Install the card and its driver, then run this program again.")
                           : QStringLiteral("The %1 lies above the 16-bit I/O ports that Setup drives, so it "
                                            "cannot be calibrated here.").arg(unaddressable),
                       QMessageBox::Ok);
        return std::nullopt;
    }
    if (cards.size() < 2) {
        const auto listed = std::find_if(cards.begin(), cards.end(), [](const TCardId &c) { return c.base == MainUnit.BaseAddress; });
        return listed != cards.end() ? *listed : TCardId{QString(), MainUnit.BaseAddress};
    }
    QStringList items;
    for (const TCardId &card : cards)
        items << CardText(card);
    // The last card listed is the one the wizard drives without a choice.
    // Asked from the active window (the Calibration popup, which stays on
    // top), so that every window manager stacks the question above it.
    QWidget *asking = QApplication::activeWindow() ? QApplication::activeWindow() : this;
    const std::optional<int> chosen = AskForItem(asking, QStringLiteral("Calibration"),
                                                 QStringLiteral("Calibrate which card?"), items, int(items.size()) - 1);
    if (!chosen)
        return std::nullopt;
    return cards[size_t(*chosen)];
}

void TMainForm::ImportRecords1Click()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("Import calibration records"), QString(),
                                                            QStringLiteral("Calibration records (*.csv)"));
    if (files.isEmpty())
        return;
    const QString said = FHistory->Import(files);
    if (FHistoryWindow)
        FHistoryWindow->Refresh();
    ShowMessageBox(this, QMessageBox::Information, QStringLiteral("Import calibration records"), said, QMessageBox::Ok);
}
