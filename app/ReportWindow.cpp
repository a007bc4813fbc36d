#include "ReportWindow.h"

#include "MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TReportWindow::TReportWindow(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("ReportWindow"));
    setWindowTitle(QStringLiteral("Calibration report"));
    setModal(false);
    // Above the help and support windows, which stay on top as well.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto *layout = new QVBoxLayout(this);
    Table = new QPlainTextEdit(this);
    Table->setReadOnly(true);
    Table->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(9);
    Table->setFont(mono);
    layout->addWidget(Table);
    auto *buttons = new QHBoxLayout;
    PdfButton = new QPushButton(QStringLiteral("Save as PDF…"), this);
    CsvButton = new QPushButton(QStringLiteral("Save as CSV…"), this);
    CopyButton = new QPushButton(QStringLiteral("Copy"), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton *b : {PdfButton, CsvButton, CopyButton, CloseButton})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    resize(720, 300);

    // Asks for a file name, then saves with `save`.
    auto saveAs = [this](const QString &what, const QString &name, bool (TReportWindow::*save)(const QString &)) {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save as %1").arg(what), name,
                                                          QStringLiteral("%1 (*.%2)").arg(what, what.toLower()));
        if (!path.isEmpty())
            (this->*save)(path);
    };
    connect(PdfButton, &QPushButton::clicked, this,
            [saveAs] { saveAs(QStringLiteral("PDF"), QStringLiteral("calibration-report.pdf"), &TReportWindow::SavePdf); });
    connect(CsvButton, &QPushButton::clicked, this,
            [saveAs] { saveAs(QStringLiteral("CSV"), QStringLiteral("calibration-report.csv"), &TReportWindow::SaveCsv); });
    connect(CopyButton, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(Text()); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::hide);
}

void TReportWindow::Show(const TReportHeader &header, const std::array<TAsLeft, 8> &rows)
{
    FHeader = header;
    FRows = rows;
    Table->setPlainText(Text());
    show();
    raise();
}

QString TReportWindow::Text() const
{
    return ReportText(FHeader, FRows);
}

bool TReportWindow::Saved(bool written, const QString &path)
{
    if (!written)
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration report"),
                       QStringLiteral("The report could not be written to %1.").arg(path), QMessageBox::Ok);
    return written;
}

bool TReportWindow::SavePdf(const QString &path)
{
    return Saved(WriteReportPdf(path, FHeader, FRows), path);
}

bool TReportWindow::SaveCsv(const QString &path)
{
    QFile file(path);
    const QByteArray csv = ReportCsv(FRows).toUtf8();
    return Saved(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(csv) == csv.size() && file.flush(),
                 path);
}
