#include "RecordModel.h"

void TRecordModel::Begin(const TCardId &card, const std::array<uint8_t, 2> &ranges, const std::array<bool, 2> &chosen)
{
    FRecord.Begin(card, ranges, chosen);
    emit Changed();
}

void TRecordModel::Measured(TCheckKind kind, const TTestPoint &point, const TMeasurement &m,
                            const std::array<uint8_t, 2> &ranges)
{
    FRecord.Measured(kind, point, m, ranges);
    emit Changed();
}

void TRecordModel::RangesInEffect(const std::array<uint8_t, 2> &ranges, const std::array<bool, 2> &chosen)
{
    if (FRecord.RangesInEffect(ranges, chosen))
        emit Changed();
}

void TRecordModel::PotAdjusted(int pot)
{
    if (FRecord.PotAdjusted(pot))
        emit Changed();
}

void TRecordModel::SetOperator(const QString &name)
{
    FRecord.SetOperator(name);
    emit Changed();
}

void TRecordModel::SetInstruments(const QString &instruments)
{
    FRecord.SetInstruments(instruments);
    emit Changed();
}

void TRecordModel::SetSerial(const QString &serial)
{
    FRecord.SetSerial(serial);
    emit Changed();
}

void TRecordModel::Show(const TCalibrationRecord &record)
{
    FRecord = record;
    emit Changed();
}
