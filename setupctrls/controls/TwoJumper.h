// TTwoJumper: a drawn two-pin header with an optional cap. A click fits or
// removes the cap; on a radio-enabled panel the clicked jumper always ends
// fitted and the panel's other two-pin jumpers open.
#pragma once

#include "JumperControl.h"

class TTwoJumper : public TJumperControl {
    Q_OBJECT
    Q_PROPERTY(bool Closed READ Closed WRITE setClosed)

public:
    explicit TTwoJumper(QWidget *parent = nullptr);

    bool Closed() const { return FClosed; }
    void setClosed(bool value);

    struct TLook {
        bool closed;
        TColors colors;
    };
    // The two-pin picture in the canvas's upright frame.
    static void ComposeTwoJumper(TCanvas &canvas, const TLook &look);

protected:
    void Compose(TCanvas &canvas) override;
    void Click() override;

private:
    bool FClosed = false;
};
