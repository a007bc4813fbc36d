// The setup supporter's three windows: help (THelpForm), technical support
// (TTechForm) and installed cards (TPCIForm). Each stays on top, is never
// modal, and hides instead of closing. They belong to the main window
// (dialogs transient for it): the window manager minimises and restores
// them with it. They offer close and minimise, not maximise: a helper on
// top would cover everything. A window manager that still maximises them
// (openbox allows it to every resizable window) sees them return to their
// normal size.
#pragma once

#include "Anchors.h"

#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;

// What the help and support texts are made of.
struct TSupportTexts {
    QString CompanyName;
    QString CardName;
    QString CallHow;
    bool bSeries = true;
    bool MultiPort = false;
    bool ListsCards = false; // an OnGetCardString handler is assigned
};

// The help document, as RTF.
QByteArray HelpDocument(const TSupportTexts &texts);
// The technical-support text.
QString SupportText(const TSupportTexts &texts);
// The help window's client size on a screen of `screen` pixels: 305 x 138
// scaled by min(height / 450, width / 800), never below 1.
QSize HelpClientSize(const QSize &screen);

// A secondary window: hides on close, follows its children's anchors, and
// comes back where it was when shown again.
class TSupportWindow : public QDialog {
    Q_OBJECT

public:
    TSupportWindow(QWidget *owner, const QString &name, const QString &caption);

    // Brings the window up, whatever the user left it as: shown, not
    // minimised, raised and active. What the menu items and the first
    // timer tick do.
    void ShowUp();

protected:
    void resizeEvent(QResizeEvent *event) override;
    // The close box only hides the window.
    void closeEvent(QCloseEvent *event) override;
    // Keeps the place the window had (or the user gave it).
    void hideEvent(QHideEvent *event) override;
    // Shown again, it comes back where it was, frame included, wherever
    // the window manager first puts it.
    void showEvent(QShowEvent *event) override;
    TAnchorLayout FLayout;

private:
    // Puts the frame back where it was once the window manager has
    // framed and placed the window again.
    void Return();

    std::optional<QPoint> FOuterAt; // the frame's corner when last hidden
    QTimer FReturn;
    QDeadlineTimer FReturnUntil;
    int FReturns = 0; // moves made since shown
};

class THelpForm : public TSupportWindow {
    Q_OBJECT

public:
    THelpForm(QWidget *owner, const TSupportTexts &texts);

    QTextEdit *HelpRich() const { return FHelpRich; }
    QLabel *HelpLabel() const { return FHelpLabel; }
    QPushButton *StartButton() const { return FStartButton; }

public slots:
    // Hides the window and opens the board's first highlight.
    void StartButtonClick();

protected:
    // Escape, like Enter, is the Start button.
    void reject() override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Centred over the main window as it is now, frames included.
    void Centre();
    // The main window or this window got its size, place or frame: centred
    // again, unless the user has moved this window since it was centred.
    void Recentre();

    bool FPlaced = false;
    QPoint FPlacedAt; // where Centre() put the client area
    QTextEdit *FHelpRich;
    QLabel *FHelpLabel;
    QPushButton *FStartButton;
};

// A text view above a centred Close button: the support and card windows.
class TTextForm : public TSupportWindow {
    Q_OBJECT

public:
    TTextForm(QWidget *owner, const QString &name, const QString &caption, const QString &memoName);

    QPlainTextEdit *Memo() const { return FMemo; }
    QPushButton *CloseButton() const { return FCloseButton; }

public slots:
    void CloseButtonClick();

private:
    QPlainTextEdit *FMemo;
    QPushButton *FCloseButton;
};

class TTechForm : public TTextForm {
    Q_OBJECT

public:
    TTechForm(QWidget *owner, const TSupportTexts &texts);
    QPlainTextEdit *TechMemo() const { return Memo(); }
};

class TPCIForm : public TTextForm {
    Q_OBJECT

public:
    TPCIForm(QWidget *owner, const QString &cardName);
    QPlainTextEdit *PCIMemo() const { return Memo(); }
};
