// TRadioPanel: the container a highlight's popup window shows. It carries
// the explanatory text for the popup (Lines), the height of the text box
// (MemoHeight) and the anchors it takes once hosted (FinalAnchors). With
// RadioEnabled its two-pin jumpers behave like radio buttons.
#pragma once

#include "Anchors.h"
#include "Panel.h"

#include <QPointer>
#include <QStringList>

class TTwoJumper;

class TRadioPanel : public TPanel {
    Q_OBJECT
    Q_PROPERTY(bool RadioEnabled READ RadioEnabled WRITE setRadioEnabled)
    Q_PROPERTY(QStringList Lines READ Lines WRITE setLines)
    Q_PROPERTY(int MemoHeight READ MemoHeight WRITE setMemoHeight)
    Q_PROPERTY(Anchoring::TAnchors FinalAnchors READ FinalAnchors WRITE setFinalAnchors)

public:
    explicit TRadioPanel(QWidget *parent = nullptr);

    bool RadioEnabled() const { return FRadioEnabled; }
    void setRadioEnabled(bool value) { FRadioEnabled = value; }
    const QStringList &Lines() const { return FLines; }
    void setLines(const QStringList &lines) { FLines = lines; }
    int MemoHeight() const { return FMemoHeight; }
    void setMemoHeight(int height) { FMemoHeight = height; }
    TAnchors FinalAnchors() const { return FFinalAnchors; }
    // Before hosting only the stored value changes; after, the anchors too.
    void setFinalAnchors(TAnchors anchors);
    TAnchors Anchors() const { return FAnchors; }

    // Closes J and opens every other two-pin jumper on the panel; raises
    // OnRadioChange when a jumper changed.
    void SelectJumper(TTwoJumper *J);
    // Moves the panel into a popup window for good: at (0, 0), visible,
    // anchored as FinalAnchors say.
    void Host(QWidget *popup);
    bool Hosted() const { return FHosted; }

signals:
    // Raised as described, though the main window's layout enables radio
    // behaviour on no panel and connects none of these three: they are the
    // panel's contract for other layouts. OnActivate and OnDeactivate
    // follow the activation of the window the panel is in, with that
    // window as Sender: once hosted, its popup window's.
    void OnRadioChange(QObject *Sender);
    void OnActivate(QObject *Sender);
    void OnDeactivate(QObject *Sender);
    // The keyboard focus moved onto one of the panel's lists from a
    // control outside the panel, inside the same window (or was first
    // given to the panel in that window). A list's own drop-down is part
    // of the list, and activating the window is no focus move.
    void OnEnter(QObject *Sender);

public:
    // Gives the focus to the panel's first list in tab order; without one,
    // to its first control that takes the focus, or to the panel itself.
    void FocusFirstList();
    // Whether a list lies on the panel.
    bool HasList() const;

protected:
    bool event(QEvent *event) override;

private:
    void focusMoved(QWidget *from, QWidget *to);
    bool holds(const QWidget *w) const { return w && (w == this || isAncestorOf(w)); }
    bool isList(const QWidget *w) const;

    // The control that last had the focus in the panel's window.
    QPointer<QWidget> FLastFocus;
    bool FRadioEnabled = false;
    QStringList FLines;
    int FMemoHeight = 58;
    TAnchors FFinalAnchors = akLeft | akTop;
    TAnchors FAnchors = akLeft | akTop;
    bool FHosted = false;
};
