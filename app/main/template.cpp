#include "template.h"

#include "CalibrationSession.h"
#include "DriverCheck.h"
#include "HistoryKeeper.h"
#include "JpegImage.h"
#include "LLTRVWDM.h"
#include "MessageBox.h"
#include "SetupSupporter.h"
#include "SupportWindows.h"
#include "TrendChart.h"

#include <QActionEvent>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QLineEdit>
#include <QPixmap>
#include <QSignalBlocker>
#include <future>
#include <utility>

namespace {

// A list with an edit field: typing never adds items; each edit selects the
// item whose text is the typed text (none when no item matches) and raises
// the list's change handler.
void SelectByTyping(QComboBox *box, TMainForm *form, void (TMainForm::*change)())
{
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    QObject::connect(box->lineEdit(), &QLineEdit::textEdited, form, [box, form, change](const QString &text) {
        const int cursor = box->lineEdit()->cursorPosition();
        {
            const QSignalBlocker quiet(box);
            box->setCurrentIndex(box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
            box->setEditText(text);
        }
        box->lineEdit()->setCursorPosition(cursor);
        (form->*change)();
    });
}

// The picture for a screen of this device pixel ratio: at a whole ratio
// above 1, each pixel repeated, so that it shows sharp instead of blurred.
QPixmap WholePixelPixmap(const QImage &image, qreal ratio)
{
    const int n = qRound(ratio);
    if (n < 2 || ratio != n)
        return QPixmap::fromImage(image);
    QPixmap pixmap = QPixmap::fromImage(image.scaled(image.size() * n, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    pixmap.setDevicePixelRatio(n);
    return pixmap;
}

// Keeps `items` last in the menu bar's menu `caption`, made by others
// whenever they make it and filled by them after: in it from the moment it
// joins the bar, so assistive technology lists them before it opens.
class TMenuTail : public QObject {
public:
    TMenuTail(QMenuBar *bar, const QString &caption, const QList<QAction *> &items)
        : QObject(bar), FBar(bar), FCaption(caption), FItems(items)
    {
        bar->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ActionAdded)
            return false;
        QAction *added = static_cast<QActionEvent *>(event)->action();
        if (watched == FBar) {
            if (auto *menu = added->menu<QMenu *>(); menu && added->text() == FCaption) {
                menu->installEventFilter(this);
                MoveLast(menu);
            }
        } else if (!FItems.contains(added)) {
            MoveLast(static_cast<QMenu *>(watched));
        }
        return false;
    }

private:
    void MoveLast(QMenu *menu)
    {
        for (QAction *item : FItems) {
            menu->removeAction(item);
            menu->addAction(item);
        }
    }

    QMenuBar *FBar;
    QString FCaption;
    QList<QAction *> FItems;
};

} // namespace

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    // The pictures decode on another core while the form is built.
    auto pictures = std::async(std::launch::async, [] {
        return std::pair{LoadJpeg(QStringLiteral(":/board.jpg")), LoadJpeg(QStringLiteral(":/pots.jpg"))};
    });
    setupUi(this);
    // What the form file cannot hold: the pictures and object references.
    const auto [board, pots] = pictures.get();
    BoardImage1->setPicture(board);
    Image1->setPixmap(WholePixelPixmap(pots, qApp->devicePixelRatio()));
    Image1->resize(Image1->pixmap().deviceIndependentSize().toSize());
    BoardImage1->setMenu(MainMenu1);
    BoardImage1->setFirst(ChannelHighlight);
    ChannelHighlight->setRadioPanel(ChannelPanel);
    ClampHighlight->setRadioPanel(BufferPanel);
    CalibrationHighlight0->setRadioPanel(CalibPanel);
    CalibrationHighlight1->setRadioPanel(CalibPanel);
    DACHighlight->setRadioPanel(DACPanel);
    SetSup = new TSetupSupporter(this);
    SetSup->setObjectName(QStringLiteral("SetSup"));
    SetSup->setCompanyName(QStringLiteral("TARVIK"));
    SetSup->setCardNameA(QStringLiteral("PCI-RZ4070(A)"));
    SetSup->setCardNameB(QStringLiteral("PCI-RZX/4070(M)"));
    SetSup->setCallHow(QStringLiteral("between 8 am and 5 pm Pacific Time at 1-800-555-0142"));
    SetSup->setChannels(16);
    SetSup->setChangeButtons(true);
    SetSup->setOnGetCardString([this](QObject *sender, int index) { return SetSupGetCardString(sender, index); });
    // The live trend and the card driven, in the instruction panel.
    auto *trend = new TTrendView(InstPanel);
    trend->setObjectName(QStringLiteral("TrendView"));
    trend->setGeometry(8, 180, 225, 55); // the free band between CBody2 and the pots
    trend->hide();
    auto *cardLabel = new QLabel(InstPanel);
    cardLabel->setObjectName(QStringLiteral("CardLabel"));
    cardLabel->setGeometry(8, 310, 225, 20); // between the pots and the buttons
    FCalibration = new TCalibrationSession(this, {InstPanel, OutputPanel, CTitle, CBody, CBody2, cardLabel, ReadCount,
                                                  ReadVolt, PotMark, Image1, trend, {Next, Prev, Quit},
                                                  [this] { return FDacChosen; }});
    FHistory = new THistoryKeeper(FCalibration->RecordModel(), THistoryKeeper::DefaultFile(),
                                  THistoryKeeper::ConfiguredServer(QCoreApplication::arguments()), this);
    connect(FCalibration, &TCalibrationSession::Ended, FHistory, &THistoryKeeper::Flush);
    connect(FHistory, &THistoryKeeper::Message, this, [this](const QString &text) {
        ShowMessageBox(this, QMessageBox::Information, QStringLiteral("Calibration history"), text, QMessageBox::Ok);
    }, Qt::QueuedConnection);
    // The history's entries, last in the Calibration menu that the
    // calibration highlights make at their first paint.
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    auto *history = new QAction(QStringLiteral("Calibration &history…"), this);
    history->setObjectName(QStringLiteral("History1"));
    connect(history, &QAction::triggered, this, &TMainForm::History1Click);
    auto *import = new QAction(QStringLiteral("&Import records…"), this);
    import->setObjectName(QStringLiteral("ImportRecords1"));
    connect(import, &QAction::triggered, this, &TMainForm::ImportRecords1Click);
    new TMenuTail(MainMenu1, QStringLiteral("&Calibration"), {separator, history, import});
    // Said once the wizard's tick has returned, from the application's loop.
    connect(FCalibration, &TCalibrationSession::Failed, this, [this](const QString &reason) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration"), reason, QMessageBox::Ok);
    }, Qt::QueuedConnection);
    SelectByTyping(ChannelBox, this, &TMainForm::ChannelBoxChange);
    SelectByTyping(BufferBox, this, &TMainForm::BufferBoxChange);
    NameForAssistiveTechnology(trend);
    FormCreate();
}

void TMainForm::NameForAssistiveTechnology(TTrendView *trend)
{
    // A channel jumper is the channel its list names; the buffer jumper's
    // positions are the labels and list items beside it.
    for (TTwoJumper *jumper : {CH0, CH1, CH2, CH3, CH4, CH5, CH6, CH7})
        jumper->setAccessibleName(ChannelBox->itemText(jumper->Tag()));
    BufferJumper->setAccessibleName(QStringLiteral("Buffer jumper"));
    BufferJumper->setPositionNames({QStringLiteral("Open"), QStringLiteral("BST: ") + BufferBox->itemText(1),
                                    QStringLiteral("BEN: ") + BufferBox->itemText(0)});
    DACDip0->setAccessibleName(QStringLiteral("DAC 0 switches"));
    DACDip1->setAccessibleName(QStringLiteral("DAC 1 switches"));
    ChannelBox->setAccessibleName(QStringLiteral("Channel"));
    BufferBox->setAccessibleName(QStringLiteral("Buffer"));
    DACBox0->setAccessibleName(QStringLiteral("DAC 0 range"));
    DACBox1->setAccessibleName(QStringLiteral("DAC 1 range"));
    // The readouts change ten times a second: named, they raise no event
    // for it. The volts readout speaks the reading, counts and volts,
    // through the calibration's voice, at most once a second.
    Label9->setBuddy(ReadCount);
    Label11->setBuddy(ReadVolt);
    ReadCount->setAccessibleName(QStringLiteral("Counts"));
    ReadVolt->setAccessibleName(QStringLiteral("Reading"));
    Image1->setAccessibleName(QStringLiteral("Trimmer pots"));
    trend->setAccessibleName(QStringLiteral("Trend of the readings"));
}

void TMainForm::FormCreate()
{
    MainUnit.ChannelJumper = {nullptr, CH0, CH1, CH2, CH3, CH4, CH5, CH6, CH7};
    MainUnit.DACSwitch = {DACDip0, DACDip1};
    SetSup->RegisterApplicationIdle();
    if (const TDriverFault fault = CheckDriver(); fault != TDriverFault::None) {
        // The text names the driver's Windows file; the informative text
        // says what a Linux user must do, for the cause found.
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Warning"),
                       QStringLiteral("TARVIKNT.SYS not detected. Please copy TARVIKNT.SYS into "
                                      "[NT]/system32/drivers and re-run this setup program."),
                       QMessageBox::Ok | QMessageBox::Cancel, DriverAdvice(fault));
    }
}

void TMainForm::Exit2Click()
{
    close();
}

void TMainForm::Howtousethisprogram1Click()
{
    if (SetSup->HelpForm())
        SetSup->HelpForm()->ShowUp();
}

void TMainForm::TechnicalSupport1Click()
{
    if (SetSup->TechForm())
        SetSup->TechForm()->ShowUp();
}

void TMainForm::ChannelClick(QObject *Sender)
{
    const auto *clicked = qobject_cast<TTwoJumper *>(Sender);
    if (!clicked)
        return;
    for (int k = 1; k <= 8; ++k)
        MainUnit.ChannelJumper[k]->setClosed(false);
    const int tag = clicked->Tag();
    if (tag >= 1 && tag <= 8)
        MainUnit.ChannelJumper[tag]->setClosed(true);
    ChannelBox->setCurrentIndex(tag);
}

void TMainForm::ChannelBoxChange()
{
    for (int k = 1; k <= 8; ++k)
        MainUnit.ChannelJumper[k]->setClosed(k == ChannelBox->currentIndex());
}

void TMainForm::BufferJumperClick()
{
    BufferBox->setCurrentIndex(BufferJumper->JumperState() == TThreeJumper::jsLeft ? 1 : 0);
}

void TMainForm::BufferBoxChange()
{
    BufferJumper->setJumperState(BufferBox->currentIndex() == 1 ? TThreeJumper::jsLeft : TThreeJumper::jsRight);
}

void TMainForm::BufferPanelEnter()
{
    BufferBox->setCurrentIndex(0);
}

void TMainForm::DACBoxChange()
{
    if (sender() == DACBox0 || sender() == DACBox1)
        FDacChosen[sender() == DACBox0 ? 0 : 1] = true;
    MainUnit.DACRange[0] = uint8_t(DACBox0->currentIndex());
    MainUnit.DACRange[1] = uint8_t(DACBox1->currentIndex());
    for (int n = 0; n < 2; ++n) {
        // First switch: bipolar; second: 10 V span; third: 2.5 V span.
        QString pattern = QStringLiteral("000");
        const uint8_t range = MainUnit.DACRange[n];
        if (CardIO::IsBipolarRange(range))
            pattern[0] = u'1';
        if (CardIO::RangeSpanOf(range) == CardIO::TSpan::Span2V5)
            pattern[2] = u'1';
        else if (CardIO::RangeSpanOf(range) == CardIO::TSpan::Span10V)
            pattern[1] = u'1';
        MainUnit.DACSwitch[n]->setBinaryValueStr(pattern);
    }
}

void TMainForm::DACPanelEnter()
{
    // "0-5V" until the user chooses a range for the DAC; from then on its
    // recorded range, so that the next choice in the other list does not
    // store this list's "0-5V" over it.
    DACBox0->setCurrentIndex(FDacChosen[0] ? MainUnit.DACRange[0] : 1);
    DACBox1->setCurrentIndex(FDacChosen[1] ? MainUnit.DACRange[1] : 1);
}
