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

class TSetupSupporter : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString CompanyName READ CompanyName WRITE setCompanyName)
    Q_PROPERTY(QString CardNameA READ CardNameA WRITE setCardNameA)
    Q_PROPERTY(QString CardNameB READ CardNameB WRITE setCardNameB)
    Q_PROPERTY(bool UseCardNameB READ UseCardNameB WRITE setUseCardNameB)
    Q_PROPERTY(QString CallHow READ CallHow WRITE setCallHow)
    Q_PROPERTY(bool MultiPort READ MultiPort WRITE setMultiPort)
    Q_PROPERTY(uint Channels READ Channels WRITE setChannels)
    Q_PROPERTY(bool ChangeButtons READ ChangeButtons WRITE setChangeButtons)
    Q_PROPERTY(bool bSeries READ bSeries WRITE setbSeries)

public:
    // `owner` is the main window: it owns the label, windows and menu item.
    explicit TSetupSupporter(QWidget *owner);
    ~TSetupSupporter() override;

    const QString &CompanyName() const { return FCompanyName; }
    void setCompanyName(const QString &value) { FCompanyName = value; }
    const QString &CardNameA() const { return FCardNameA; }
    void setCardNameA(const QString &value) { FCardNameA = value; }
    const QString &CardNameB() const { return FCardNameB; }
    void setCardNameB(const QString &value) { FCardNameB = value; }
    bool UseCardNameB() const { return FUseCardNameB; }
    void setUseCardNameB(bool value) { FUseCardNameB = value; }
    const QString &CallHow() const { return FCallHow; }
    void setCallHow(const QString &value) { FCallHow = value; }
    bool MultiPort() const { return FMultiPort; }
    void setMultiPort(bool value) { FMultiPort = value; }
    uint Channels() const { return FChannels; }
    void setChannels(uint value) { FChannels = value; }
    bool ChangeButtons() const { return FChangeButtons; }
    void setChangeButtons(bool value) { FChangeButtons = value; }
    bool bSeries() const { return FbSeries; }
    void setbSeries(bool value) { FbSeries = value; }

    // Raised once per installed card while the cards are listed; assigned,
    // it also brings the installed-cards window, its menu item and a
    // paragraph of the help text.
    const TPCIEvent &OnGetCardString() const { return FOnGetCardString; }
    void setOnGetCardString(const TPCIEvent &handler) { FOnGetCardString = handler; }

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

    // What the build made, none before it (and the installed-cards window
    // none without OnGetCardString). The main window shows the first two
    // from its Help menu.
    THelpForm *HelpForm() const;
    TTechForm *TechForm() const;
    TPCIForm *PCIForm() const;
    QLabel *HeaderLabel() const;
    // The help window is still to be shown at the next tick.
    bool HelpPending() const { return FHelpPending; }
    bool TimerRunning() const { return FTimer.isActive(); }

private:
    // Fills the installed-cards list; true when a card was described.
    bool ListCards();
    void AddDisplayPCIItem();
    QWidget *MainWindow() const;

    QString FCompanyName, FCardNameA, FCardNameB, FCallHow;
    bool FUseCardNameB = false;
    bool FMultiPort = false;
    uint FChannels = 8;
    bool FChangeButtons = true;
    bool FbSeries = true;
    bool FHelpPending = false;
    QPointer<QLabel> FHeaderLabel;
    QPointer<THelpForm> FHelpForm;
    QPointer<TTechForm> FTechForm;
    QPointer<TPCIForm> FPCIForm;
    TPCIEvent FOnGetCardString;
    QTimer FTimer; // delivers its ticks on the user-interface thread
    QMetaObject::Connection FIdle;
};
