#include "AccessibleBoard.h"

#include "BoardHighlight.h"
#include "PopupForm.h"

#include <QAccessibleWidget>

namespace {

class TAccessibleHighlight : public QAccessibleWidget {
public:
    explicit TAccessibleHighlight(TBoardHighlight *highlight) : QAccessibleWidget(highlight, QAccessible::Button) {}

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
    QStringList actionNames() const override { return QStringList{pressAction()} << QAccessibleWidget::actionNames(); }
    void doAction(const QString &action) override
    {
        if (action == pressAction())
            Highlight()->OpenAndPin();
        else
            QAccessibleWidget::doAction(action);
    }
    QStringList keyBindingsForAction(const QString &action) const override
    {
        return action == pressAction() ? QStringList{QStringLiteral("Space")} : QStringList{};
    }

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
