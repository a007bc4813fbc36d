// The cards the port-I/O library lists, as the cards window names them and
// the wizard drives them.
#pragma once

#include "CardIO.h"

#include <optional>
#include <vector>

// The card a calibration drives.
struct TCardId {
    QString model;     // "PCI-RZ4070"
    uint16_t base = 0; // its I/O base address
};

// "PCI-RZ4070 at base address E800".
QString CardText(const TCardId &card);
// What a user is told of a card that another program drives.
QString BusyCardText(const TCardId &card);

// A card of one of the two kinds Setup knows, as the library lists it.
struct TListedCard {
    QString model;     // "PCI-RZ4070"
    QString title;     // the model and what it is: "PCI-RZ4070    Analog Input/Output Card"
    uint32_t base = 0; // its I/O base address, as listed
    bool busy = false; // another program drives it
    // Whether 16-bit ports reach it: a card above 0xFFFF is never driven
    // at a truncated address.
    bool Addressable() const { return base <= 0xFFFF; }
    TCardId Id() const { return {model, uint16_t(base)}; }
    // The cards window's text: the title, then "Base Address: E800", and
    // for a busy card "In use by another program".
    QString Text() const;
};

// The card the library lists at `index`; none for an index it does not
// list or a card of another kind.
std::optional<TListedCard> ListedCard(int index);
// Every card of the two kinds that the library lists, in its order.
std::vector<TListedCard> ListedCards();
