#include "AccessibleBoard.h"

#include "AccessibleControls.h"
#include "BoardHighlight.h"
#include "PopupForm.h"


namespace {

class TAccessibleHighlight : public TAccessibleClickable {
public:
    explicit TAccessibleHighlight(TBoardHighlight *highlight)
        : TAccessibleClickable(highlight, QAccessible::Button, pressAction())
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return Highlight()->CaptionText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.hasPopup = true;
        return s;
    }

protected:
    void Act() override { Highlight()->OpenAndPin(); }

private:
    TBoardHighlight *Highlight() const { return static_cast<TBoardHighlight *>(widget()); }
};

QAccessibleInterface *BoardFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TBoardHighlight"))
        return new TAccessibleHighlight(static_cast<TBoardHighlight *>(object));
    if (className == QLatin1String("TPopupForm"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Dialog);
    return nullptr;
}

} // namespace

void InstallBoardAccessibility()
{
    static const bool installed = (QAccessible::installFactory(BoardFactory), true);
    Q_UNUSED(installed);
}
