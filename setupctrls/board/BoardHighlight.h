// TBoardHighlight: a soft coloured ring over one spot of the board
// photograph. Entering it lights it and opens its popup window; leaving it
// closes the popup unless the pointer went into it; a click pins the popup.
// Highlights on one board with the same Title and HighlightType form a
// group that lights, opens, pins and darkens together, and lists itself
// once in the main menu. With the keyboard focus, Space or Enter opens
// and pins its popup.
#pragma once

#include "Colors.h"
#include "GraphicControl.h"

#include <QImage>
#include <QList>
#include <QPointer>

class QAction;
class QMenu;
class QMenuBar;
class TPopupForm;
class TRadioPanel;

class TBoardHighlight : public TGraphicControl {
    Q_OBJECT
    Q_MOC_INCLUDE("RadioPanel.h")
    Q_PROPERTY(bool CreatePopup READ CreatePopup WRITE setCreatePopup)
    Q_PROPERTY(THighlightType HighlightType READ HighlightType WRITE setHighlightType)
    Q_PROPERTY(TRadioPanel *RadioPanel READ RadioPanel WRITE setRadioPanel)
    Q_PROPERTY(QString Title READ Title WRITE setTitle)

public:
    enum THighlightType { htOptions, htSettings, htCalibration };
    Q_ENUM(THighlightType)

    explicit TBoardHighlight(QWidget *parent = nullptr);

    bool CreatePopup() const { return FCreatePopup; }
    void setCreatePopup(bool value) { FCreatePopup = value; }
    THighlightType HighlightType() const { return FHighlightType; }
    void setHighlightType(THighlightType type);
    TRadioPanel *RadioPanel() const;
    // Refused, silently, when a highlight of another group uses the panel.
    void setRadioPanel(TRadioPanel *panel);
    void LinkRadioPanel(TRadioPanel *panel);
    const QString &Title() const { return FTitle; }
    void setTitle(const QString &title);

    // Pointer and click handling; group propagation passes FromGroup True.
    void PointerEnter(bool FromGroup);
    void PointerLeave(bool FromGroup);
    void Click() override;
    void PinPopup();
    // Behaves as if the pointer entered the highlight, clicked it and left:
    // the group's popup opens and stays. What the board's start message, the
    // keyboard (Space, Enter) and assistive technology do.
    void OpenAndPin(bool FromGroup = false);
    // Follows the popup window's activation (Propagate True) and spreads
    // it over the group.
    void SetActiveLook(bool Active, bool Propagate);
    // Follows the popup window's closing: unchecks the entry, clears the
    // popup's close-on-leave and darkens the group.
    void PopupClosed();
    void Unlight();
    // Opens the group's popup window, creating it on first need.
    void ShowPopup();
    // The members of this highlight's group, itself included, in child order.
    QList<TBoardHighlight *> Group() const;

    // Menu entries: one top-level menu per type, one entry per group.
    void BuildMenuItems();
    void CheckMenuItem(bool Checked);
    void MenuItemClick(QObject *Sender);
    void PopupPreviousClick();
    void PopupNextClick();
    void PopupDoneClick();

    static QString CaptionTextOf(const QString &title);
    static QString IdentTextOf(const QString &title);

    // Title without its '&' characters: the popup's caption.
    const QString &CaptionText() const { return FCaptionText; }
    // Title as an identifier: the stem of the menu entry's name.
    const QString &IdentText() const { return FIdentText; }
    // The ring's colour and the weights of its three images, by type.
    TColor RingColor() const { return FRingColor; }
    float DimLevel() const { return FDimLevel; }
    float MediumLevel() const { return FMediumLevel; }
    float BrightLevel() const { return FBrightLevel; }
    // The photograph beneath with the dim, medium and bright ring; built at
    // the first paint.
    const QImage &DimImage() const { return FDimImage; }
    const QImage &MediumImage() const { return FMediumImage; }
    const QImage &BrightImage() const { return FBrightImage; }
    bool PaintedOnce() const { return FPaintedOnce; }
    // The main menu the highlight lists itself in, taken from the board at
    // the first paint.
    QMenuBar *Menu() const;
    // Entered (itself or its group) and its group's popup not closed since.
    bool Lit() const { return FLit; }
    // The popup has been pinned open since it was last shown.
    bool Pinned() const { return FPinned; }
    // The group's popup is the active window.
    bool Active() const { return FActive; }
    // The popup this highlight created and owns; none until first needed,
    // and none for a member whose group's popup another member owns.
    TPopupForm *Popup() const { return FPopup; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void BuildRingImages();
    // The parent is exactly a board image: group steps apply.
    bool OnBoard() const;
    QList<QMenu *> TypeMenus() const;
    // Closes the popup and opens the neighbouring entry's, by `step`.
    void StepThroughMenu(int step);

    QImage FDimImage, FBrightImage, FMediumImage;
    float FDimLevel = 0.25f, FBrightLevel = 1.0f, FMediumLevel = 0.5f;
    TColor FRingColor = 0xFF0000;
    THighlightType FHighlightType = htOptions;
    bool FLit = false;
    TPopupForm *FPopup = nullptr;
    QString FTitle;
    QString FCaptionText;
    QString FIdentText;
    QPointer<QMenuBar> FMenu;
    bool FPaintedOnce = false;
    bool FCreatePopup = true;
    bool FPinned = false;
    QPointer<TRadioPanel> FRadioPanel;
    bool FActive = false;
};
