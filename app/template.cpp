#include "template.h"

#include "JpegImage.h"
#include "LLTRVWDM.h"

#include <QMessageBox>

std::array<TTwoJumper *, 9> ChannelJumper{};
std::array<TDipSwitch *, 2> DACSwitch{};
std::array<uint8_t, 2> DACRange{0, 0};
uint16_t BaseAddress = 0;
int32_t CalibStep = 0;

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    setupUi(this);
    // What the form file cannot hold: the pictures and object references.
    BoardImage1->setPicture(LoadJpeg(QStringLiteral(":/board.jpg")));
    Image1->setPixmap(QPixmap::fromImage(LoadJpeg(QStringLiteral(":/pots.jpg"))));
    Image1->resize(Image1->pixmap().size());
    BoardImage1->setMenu(MainMenu1);
    FormCreate();
}

void TMainForm::FormCreate()
{
    if ((LLTRVWDM::InPortB(DriverCheckPort) & 0xFFFF) == 0xAA55) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"),
                        QStringLiteral("TARVIKNT.SYS not detected. Please copy TARVIKNT.SYS into "
                                       "[NT]/system32/drivers and re-run this setup program."),
                        QMessageBox::Ok | QMessageBox::Cancel);
        box.exec();
    }
}

void TMainForm::Exit2Click()
{
    close();
}
