// TSetupSupporter: a non-visual component holding the maker's and the card
// family's names. At the first idle moment it builds, once, the main
// window's title label, the help, technical-support and installed-cards
// windows and a File-menu item; about 100 ms later it shows the help.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

class QLabel;
class QWidget;
class THelpForm;
class TTechForm;
class TPCIForm;

// Describes installed card CardIndex; empty when there is nothing to show.
using TPCIEvent = std::function<QString(QObject *Sender, int CardIndex)>;
using TCalibEvent = std::function<QString(QObject *Sender, uint8_t Channel, bool &ItsAllBad)>;
using TNotifyEvent = std::function<void(QObject *Sender)>;

class TSetupSupporter : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString CompanyName MEMBER FCompanyName)
    Q_PROPERTY(QString CardNameA MEMBER FCardNameA)
    Q_PROPERTY(QString CardNameB MEMBER FCardNameB)
    Q_PROPERTY(bool UseCardNameB MEMBER FUseCardNameB)
    Q_PROPERTY(QString CallHow MEMBER FCallHow)
    Q_PROPERTY(bool MultiPort MEMBER FMultiPort)
    Q_PROPERTY(uint Channels MEMBER FChannels)
    Q_PROPERTY(bool ChangeButtons MEMBER FChangeButtons)
    Q_PROPERTY(bool bSeries MEMBER FbSeries)

public:
    // `owner` is the main window: it owns the label, windows and menu item.
    explicit TSetupSupporter(QWidget *owner);
    ~TSetupSupporter() override;

    QString FCompanyName, FCardNameA, FCardNameB, FCallHow;
    bool FUseCardNameB = false;
    bool FMultiPort = false;
    uint FChannels = 8;
    bool FChangeButtons = true;
    bool FbSeries = true;

    // Never raised in this program: the layout stores these events (and
    // Channels and ChangeButtons) for programs of the same family whose
    // supporter runs the calibration itself; here the main window's wizard
    // does. Assigning OnBeginCalib restarts the help timer, as described.
    TNotifyEvent OnBeginCalib, OnStopButtonClick, OnStartButtonClick;
    TCalibEvent OnGetCalibString;
    // Raised once per installed card while the cards are listed; assigned,
    // it also brings the installed-cards window, its menu item and a
    // paragraph of the help text.
    TPCIEvent OnGetCardString;
    void SetOnBeginCalib(const TNotifyEvent &handler);

    // Registers the one-time start-up handler with the application's idle
    // notification (the event queue has been drained).
    void RegisterApplicationIdle();
    // Removes itself from the idle notification, then builds.
    void ApplicationIdle();
    void BuildSupportWindows();
    void DisplayPCIClick();
    void UpdateTimer();
    void TimerTick();

    QString CardName() const { return FUseCardNameB ? FCardNameB : FCardNameA; }

    bool FHelpPending = false;
    QPointer<QLabel> FHeaderLabel;
    QPointer<THelpForm> FHelpForm;
    QPointer<TTechForm> FTechForm;
    QPointer<TPCIForm> FPCIForm;
    QTimer FTimer; // delivers its ticks on the user-interface thread

private:
    // Fills the installed-cards list; true when a card was described.
    bool ListCards();
    void AddDisplayPCIItem();
    QWidget *MainWindow() const;

    QMetaObject::Connection FIdle;
};
