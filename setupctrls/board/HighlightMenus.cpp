// TBoardHighlight's menu entries and the popup's Previous, Next and Done.
#include "BoardHighlight.h"

#include "ExactClass.h"
#include "PopupForm.h"

#include <QMenu>
#include <QMenuBar>

namespace {

struct TypeMenu {
    const char *caption;
    const char *stem;
    QStringList before; // inserted before the first of these
};

const TypeMenu &MenuOf(TBoardHighlight::THighlightType type)
{
    static const TypeMenu menus[] = {
        {"&Options", "Options", {QStringLiteral("&Help")}},
        {"&Settings", "Settings", {QStringLiteral("&Calibration"), QStringLiteral("&Options"), QStringLiteral("&Help")}},
        {"&Calibration", "Calibration", {QStringLiteral("&Options"), QStringLiteral("&Help")}},
    };
    return menus[type];
}

// The highlight whose MenuItemClick handles an entry.
constexpr const char *HandlerProperty = "MenuItemClickHandler";

TBoardHighlight *HandlerOf(const QAction *item)
{
    return qobject_cast<TBoardHighlight *>(item->property(HandlerProperty).value<QObject *>());
}

// A component name unique among the owner's: stem followed by the lowest n >= 1.
QString UniqueName(const QObject *owner, const QString &stem)
{
    for (int n = 1;; ++n) {
        const QString name = stem + QString::number(n);
        if (!owner->findChild<QObject *>(name))
            return name;
    }
}

} // namespace

QList<QMenu *> TBoardHighlight::TypeMenus() const
{
    QList<QMenu *> menus;
    if (!FMenu)
        return menus;
    const QString caption = QLatin1String(MenuOf(FHighlightType).caption);
    for (QAction *top : FMenu->actions())
        if (top->text() == caption && top->menu())
            menus.append(top->menu());
    return menus;
}

void TBoardHighlight::BuildMenuItems()
{
    if (!FMenu)
        return;
    QObject *owner = FMenu->parent() ? FMenu->parent() : FMenu.data();
    auto addEntry = [&](QMenu *menu) {
        if (FTitle.isEmpty())
            return;
        auto *item = new QAction(FTitle, owner);
        item->setObjectName(UniqueName(owner, FIdentText));
        item->setCheckable(true);
        item->setProperty(HandlerProperty, QVariant::fromValue<QObject *>(this));
        // The check mark is ours to set: undo the toggle a checkable item
        // makes on its own before the handler looks at it.
        connect(item, &QAction::triggered, this, [item](bool checked) {
            item->setChecked(!checked);
            if (TBoardHighlight *handler = HandlerOf(item))
                handler->MenuItemClick(item);
        });
        menu->addAction(item);
    };

    const QList<QMenu *> existing = TypeMenus();
    if (!existing.isEmpty()) {
        QMenu *menu = existing.first();
        for (QAction *item : menu->actions())
            if (item->text() == FTitle)
                return; // the group's entry exists already
        addEntry(menu);
        return;
    }
    const TypeMenu &type = MenuOf(FHighlightType);
    auto *menu = new QMenu(QLatin1String(type.caption), qobject_cast<QWidget *>(owner));
    menu->setObjectName(UniqueName(owner, QLatin1String(type.stem)));
    QAction *before = nullptr;
    for (QAction *top : FMenu->actions())
        if (type.before.contains(top->text())) {
            before = top;
            break;
        }
    FMenu->insertMenu(before, menu);
    addEntry(menu);
}

void TBoardHighlight::CheckMenuItem(bool Checked)
{
    for (QMenu *menu : TypeMenus())
        for (QAction *item : menu->actions())
            if (item->text() == FTitle) {
                item->setChecked(Checked);
                return;
            }
}

void TBoardHighlight::MenuItemClick(QObject *Sender)
{
    auto *item = AsExactly<QAction>(Sender);
    if (item && item->isChecked()) {
        if (FPopup) {
            FPopup->close();
            return;
        }
        for (TBoardHighlight *member : Group())
            if (member->FPopup)
                member->MenuItemClick(Sender);
        return;
    }
    PointerEnter(false);
    PinPopup();
    PointerLeave(false);
}

void TBoardHighlight::StepThroughMenu(int step)
{
    for (QMenu *menu : TypeMenus()) {
        // The highlights' entries: the menu may hold others of its owner's.
        QList<QAction *> items = menu->actions();
        items.removeIf([](QAction *item) { return !HandlerOf(item); });
        for (int j = 0; j < items.size(); ++j) {
            if (items[j]->text() != FTitle)
                continue;
            if (FPopup)
                FPopup->close();
            const int count = int(items.size());
            const int target = (j + step + count) % count;
            if (TBoardHighlight *handler = HandlerOf(items[target]))
                handler->MenuItemClick(this);
            return;
        }
    }
}

void TBoardHighlight::PopupPreviousClick()
{
    StepThroughMenu(-1);
}

void TBoardHighlight::PopupNextClick()
{
    StepThroughMenu(+1);
}

void TBoardHighlight::PopupDoneClick()
{
    if (FPopup)
        FPopup->close();
}
