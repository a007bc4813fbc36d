#include "InstalledCards.h"

#include "LLTRVWDM.h"

namespace {

constexpr uint32_t DeviceRZ4070 = 0x6D21;
constexpr uint32_t DeviceRZ4070A = 0x6D22;

} // namespace

QString CardText(const TCardId &card)
{
    return QStringLiteral("%1 at base address %2").arg(card.model, CardIO::FormatAddress(card.base));
}

QString BusyCardText(const TCardId &card)
{
    return QStringLiteral("The %1 is in use by another program (another Setup, or a program of the card's "
                          "own), and one program drives a card at a time. Close that program, then try again.")
        .arg(CardText(card));
}

QString TListedCard::Text() const
{
    const QString text = title + QStringLiteral("\r\nBase Address: ") + CardIO::FormatAddress(base);
    return busy ? text + QStringLiteral("\r\nIn use by another program") : text;
}

std::optional<TListedCard> ListedCard(int index)
{
    uint32_t deviceId = 0, base = 0;
    if (!LLTRVWDM::QueryCardInfo(index, &deviceId, &base))
        return std::nullopt;
    TListedCard card;
    if (deviceId == DeviceRZ4070)
        card.title = QStringLiteral("PCI-RZ4070    Analog Input/Output Card");
    else if (deviceId == DeviceRZ4070A)
        card.title = QStringLiteral("PCI-RZ4070A   Analog Input/Output Card (With FIFOs)");
    else
        return std::nullopt; // another kind of card never becomes the wizard's target
    card.model = card.title.section(u' ', 0, 0);
    card.base = base;
    card.busy = LLTRVWDM::IsCardBusy(index);
    return card;
}

std::vector<TListedCard> ListedCards()
{
    std::vector<TListedCard> cards;
    for (int index = 0, count = LLTRVWDM::GetNumCards(); index < count; ++index)
        if (std::optional<TListedCard> card = ListedCard(index))
            cards.push_back(*card);
    return cards;
}
