// TDipSwitch: a drawn bank of DIP switches showing the settings the user
// must make on the card. The program sets it through BinaryValueStr or
// Value (first character = first switch = most significant bit); it does
// not react to the mouse.
#pragma once

#include "OrientedControl.h"

class TDipSwitch : public TOrientedControl {
    Q_OBJECT
    Q_PROPERTY(uint SwitchColor READ SwitchColor WRITE setSwitchColor)
    Q_PROPERTY(uint NumSwitches READ NumSwitches WRITE setNumSwitches)
    Q_PROPERTY(QString BinaryValueStr READ BinaryValueStr WRITE setBinaryValueStr)
    Q_PROPERTY(uint Value READ Value WRITE setValue)

public:
    explicit TDipSwitch(QWidget *parent = nullptr);

    uint SwitchColor() const { return FSwitchColor; }
    void setSwitchColor(uint color) { Assign(FSwitchColor, TColor(color)); }
    uint NumSwitches() const { return FNumSwitches; }
    void setNumSwitches(uint count);
    const QString &BinaryValueStr() const { return FBinaryValueStr; }
    // Keeps only '0' and '1', then the rightmost N (padding with '0' in
    // front); a string with neither character is ignored.
    void setBinaryValueStr(const QString &text);
    uint Value() const { return FValue; }
    // Keeps the lowest N bits.
    void setValue(uint value);

    struct TLook {
        int switches;
        uint32_t value;
        TColor lever;
    };
    // The DIP-switch picture in the canvas's upright frame.
    static void ComposeDipSwitch(TCanvas &canvas, const TLook &look);

protected:
    void Compose(TCanvas &canvas) override;
    void Click() override {}

private:
    // Normalises `text` to N characters and stores it with its number;
    // unless `force`, only when the number differs from the stored Value.
    void Apply(const QString &text, bool force);

    uint8_t FNumSwitches = 3;
    uint32_t FValue = 0;
    QString FBinaryValueStr = QStringLiteral("000");
    TColor FSwitchColor = 0xFFFFFF;
};
