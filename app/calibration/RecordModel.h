// The calibration's record as its windows see it: changed only through
// these operations, each of which signals a change that the windows
// follow.
#pragma once

#include "CalibrationRecord.h"

#include <QObject>

class TRecordModel : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    const TCalibrationRecord &Record() const { return FRecord; }

    // The operations of TCalibrationRecord; Changed follows each that
    // changed the record.
    void Begin(const TCardId &card, const std::array<uint8_t, 2> &ranges, const std::array<bool, 2> &chosen = {true, true});
    void Measured(TCheckKind kind, const TTestPoint &point, const TMeasurement &m,
                  const std::array<uint8_t, 2> &ranges);
    void RangesInEffect(const std::array<uint8_t, 2> &ranges, const std::array<bool, 2> &chosen = {true, true});
    void PotAdjusted(int pot);
    void SetOperator(const QString &name);
    void SetInstruments(const QString &instruments);
    void SetSerial(const QString &serial);
    // Shows a record read back from a store in place of this one.
    void Show(const TCalibrationRecord &record);

signals:
    void Changed();

private:
    TCalibrationRecord FRecord;
};
