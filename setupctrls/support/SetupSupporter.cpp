#include "SetupSupporter.h"

#include "ClientArea.h"
#include "LLTRVWDM.h"
#include "SupportWindows.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QWindow>
#include <algorithm>

namespace {

constexpr int HelpDelayMs = 100;
// More cards than a machine can hold are read as this many.
constexpr int MaxListedCards = 64;

// Keeps the title label across the full width of its parent's top edge.
class TTopAligned : public QObject {
public:
    TTopAligned(QLabel *label) : QObject(label), FLabel(label)
    {
        label->parentWidget()->installEventFilter(this);
        follow();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            follow();
        return false;
    }

private:
    void follow() { FLabel->setGeometry(0, 0, FLabel->parentWidget()->width(), FLabel->sizeHint().height()); }
    QLabel *FLabel;
};

} // namespace

TSetupSupporter::TSetupSupporter(QWidget *owner) : QObject(owner)
{
    FTimer.setInterval(HelpDelayMs);
    connect(&FTimer, &QTimer::timeout, this, &TSetupSupporter::TimerTick);
}

TSetupSupporter::~TSetupSupporter()
{
    FTimer.stop();
    disconnect(FIdle);
}

THelpForm *TSetupSupporter::HelpForm() const
{
    return FHelpForm;
}

TTechForm *TSetupSupporter::TechForm() const
{
    return FTechForm;
}

TPCIForm *TSetupSupporter::PCIForm() const
{
    return FPCIForm;
}

QLabel *TSetupSupporter::HeaderLabel() const
{
    return FHeaderLabel;
}

QWidget *TSetupSupporter::MainWindow() const
{
    return qobject_cast<QWidget *>(parent());
}

void TSetupSupporter::RegisterApplicationIdle()
{
    disconnect(FIdle);
    FIdle = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                     &TSetupSupporter::ApplicationIdle);
}

void TSetupSupporter::ApplicationIdle()
{
    // The first idle moment of the main window on screen (exposed, so
    // already painted once: it shows before the support windows are
    // built), not of a message box shown while it is being created.
    QWidget *main = MainWindow();
    if (!main || !main->isVisible() || !main->windowHandle() || !main->windowHandle()->isExposed()
        || QApplication::activeModalWidget())
        return;
    disconnect(FIdle);
    FIdle = {};
    BuildSupportWindows();
}

void TSetupSupporter::BuildSupportWindows()
{
    QWidget *main = MainWindow();
    if (!main)
        return;
    const QString name = CardName();
    const TSupportTexts texts{FCompanyName, name, FCallHow, FbSeries, FMultiPort, bool(FOnGetCardString)};

    FHeaderLabel = new QLabel(ClientArea(main));
    FHeaderLabel->setObjectName(QStringLiteral("HeaderLabel"));
    FHeaderLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont tahoma(QStringLiteral("Tahoma"), 18);
    tahoma.setBold(true);
    FHeaderLabel->setFont(tahoma);
    QPalette black = FHeaderLabel->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    FHeaderLabel->setPalette(black);
    new TTopAligned(FHeaderLabel);

    FHelpForm = new THelpForm(main, texts);
    FTechForm = new TTechForm(main, texts);

    bool found = true;
    if (FOnGetCardString) {
        AddDisplayPCIItem();
        FPCIForm = new TPCIForm(main, name);
        FPCIForm->ShowUp();
        found = ListCards();
    }
    const QString series = FbSeries ? QStringLiteral(" Series") : QString();
    FHeaderLabel->setText(found ? name + series + QStringLiteral(" Settings Program")
                                : QStringLiteral("No ") + name + (FbSeries ? QStringLiteral(" Series Card") : QString())
                                      + QStringLiteral(" Found"));
    FHeaderLabel->show();
    // A label is drawn on its parent's surface, beneath the panels and the
    // board, whatever the order they were made in.
    FHeaderLabel->lower();

    FHelpPending = true;
    UpdateTimer();
}

void TSetupSupporter::AddDisplayPCIItem()
{
    auto *main = qobject_cast<QMainWindow *>(MainWindow());
    QMenuBar *bar = main ? main->findChild<QMenuBar *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!bar)
        return;
    for (QAction *top : bar->actions()) {
        if (top->text() != QStringLiteral("&File") || !top->menu())
            continue;
        QMenu *file = top->menu();
        auto *item = new QAction(QStringLiteral("Display ") + CardName() + QStringLiteral(" Cards Installed"), file);
        item->setObjectName(QStringLiteral("DisplayPCI"));
        connect(item, &QAction::triggered, this, &TSetupSupporter::DisplayPCIClick);
        file->insertAction(file->actions().value(0), item);
        return;
    }
}

bool TSetupSupporter::ListCards()
{
    // A library answering an absurd count must not freeze the start.
    const int count = std::min(LLTRVWDM::GetNumCards(), MaxListedCards);
    bool found = false;
    if (count > 0) {
        FPCIForm->PCIMemo()->clear();
        for (int index = 0; index < count; ++index) {
            const QString text = FOnGetCardString(this, index);
            if (text.isEmpty())
                continue;
            FPCIForm->PCIMemo()->appendPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
            found = true;
        }
    }
    if (!found)
        FPCIForm->PCIMemo()->setPlainText(QStringLiteral("No Card Found"));
    return found;
}

void TSetupSupporter::DisplayPCIClick()
{
    if (FPCIForm)
        FPCIForm->ShowUp();
}

void TSetupSupporter::UpdateTimer()
{
    FTimer.stop();
    if (FHelpPending)
        FTimer.start();
}

void TSetupSupporter::TimerTick()
{
    if (!FHelpPending)
        return;
    if (FHelpForm)
        FHelpForm->ShowUp();
    FHelpPending = false;
    UpdateTimer();
}
