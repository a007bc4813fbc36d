#include "DipSwitch.h"

#include "AccessibleControls.h"

namespace {

// Bit k of a 32-bit value; bits past 31 read as 0.
bool Bit(uint32_t value, int k)
{
    return k >= 0 && k < 32 && (value >> k & 1u);
}

} // namespace

TDipSwitch::TDipSwitch(QWidget *parent) : TOrientedControl(parent)
{
    resize(53, 43);
    setFocusPolicy(Qt::TabFocus);
}

void TDipSwitch::Apply(const QString &text, bool force)
{
    QString s;
    for (QChar c : text)
        if (c == u'0' || c == u'1')
            s.append(c);
    if (s.isEmpty() && !force)
        return;
    const int N = FNumSwitches;
    if (s.size() > N)
        s = s.right(N);
    while (s.size() < N)
        s.prepend(u'0');
    uint32_t number = 0;
    for (int k = 1; k <= N; ++k)
        if (s[k - 1] == u'1' && N - k < 32)
            number |= 1u << (N - k);
    if (number == FValue && !force)
        return;
    const bool changed = s != FBinaryValueStr;
    FValue = number;
    FBinaryValueStr = s;
    update();
    if (changed)
        AnnounceStateChange(this);
}

void TDipSwitch::setBinaryValueStr(const QString &text)
{
    Apply(text, false);
}

void TDipSwitch::setValue(uint value)
{
    if (value == FValue)
        return;
    QString bits;
    for (int k = FNumSwitches - 1; k >= 0; --k)
        bits.append(Bit(value, k) ? u'1' : u'0');
    FValue = value;
    Apply(bits, true);
}

void TDipSwitch::setNumSwitches(uint count)
{
    count = std::min(count, 255u);
    if (count == FNumSwitches)
        return;
    FNumSwitches = uint8_t(count);
    Apply(FBinaryValueStr, true);
}

void TDipSwitch::ComposeDipSwitch(TCanvas &canvas, const TLook &look)
{
    const int W = canvas.Width(), H = canvas.Height(), N = look.switches;
    canvas.State = {0x000000, true, 0x000000};
    canvas.Rectangle({0, 0, W, H});
    canvas.TextOut(0, 0, QStringLiteral("ON"), QStringLiteral("MS Sans Serif"), 11, 0xFFFFFF);
    if (N <= 0)
        return; // nothing to slot: the body and its label
    const int e = (W - 3) / (N + 1);
    const int gap = (W - 3 - N * e) / N;
    const int b = 85 * ((H - 16) / 2) / 100;
    auto slotLeft = [&](int i) { return i * (e + gap) + gap + 1; };
    canvas.State = {0x000000, true, 0x808080};
    for (int i = 0; i < N; ++i)
        canvas.Rectangle({slotLeft(i), 13, slotLeft(i) + e, H - 3});
    canvas.State.brush = look.lever;
    for (int i = 0; i < N; ++i) {
        const int x = slotLeft(i);
        if (Bit(look.value, N - 1 - i))
            canvas.Rectangle({x, 13, x + e, 13 + b});
        else
            canvas.Rectangle({x, H - 3 - b, x + e, H - 3});
    }
}

void TDipSwitch::Compose(TCanvas &canvas)
{
    ComposeDipSwitch(canvas, {FNumSwitches, FValue, FSwitchColor});
}
