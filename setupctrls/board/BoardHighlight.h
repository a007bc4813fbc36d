// TBoardHighlight: a soft coloured ring over one spot of the board
// photograph. Entering it lights it and opens its popup window; leaving it
// closes the popup unless the pointer went into it; a click pins the popup.
// Highlights on one board with the same Title and HighlightType form a
// group that lights, opens, pins and darkens together, and lists itself
// once in the main menu.
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
    // Called by the popup window when it is activated or deactivated.
    void SetActiveLook(bool Active, bool Propagate);
    // The popup window's close handler.
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

    QImage FDimImage, FBrightImage, FMediumImage;
    float FDimLevel = 0.25f, FBrightLevel = 1.0f, FMediumLevel = 0.5f;
    TColor FRingColor = 0xFF0000;
    bool FLit = false;
    TPopupForm *FPopup = nullptr;
    QString FCaptionText;
    QString FIdentText;
    QPointer<QMenuBar> FMenu;
    bool FPaintedOnce = false;
    bool FPinned = false;
    bool FActive = false;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void BuildRingImages();
    // The parent is exactly a board image: group steps apply.
    bool OnBoard() const;
    QList<QMenu *> TypeMenus() const;
    // Closes the popup and opens the neighbouring entry's, by `step`.
    void StepThroughMenu(int step);

    THighlightType FHighlightType = htOptions;
    QString FTitle;
    bool FCreatePopup = true;
    QPointer<TRadioPanel> FRadioPanel;
};
