// Draws the two pictures the main window shows, the photograph of the card
// seen from above (600 x 317) and the picture of its seven trimmer pots
// (225 x 60), and writes them as JPEG files:
//
//   drawpictures OUTPUT_DIR
//
// The drawing is deterministic, so the committed pictures can be rebuilt.
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <jpeglib.h>
#include <random>

namespace {

bool WriteJpeg(const QImage &source, const QString &fileName, int quality)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    std::FILE *file = std::fopen(QFile::encodeName(fileName).constData(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uchar *>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
    return true;
}

std::mt19937 &Random()
{
    static std::mt19937 random(4070);
    return random;
}

int Jitter(int amount)
{
    return std::uniform_int_distribution<int>(-amount, amount)(Random());
}

// Grain and a soft light from the upper left, as a lens sees a board.
void AddGrainAndLight(QImage &image, int grain, double light)
{
    const double cx = image.width() * 0.3, cy = image.height() * 0.2;
    const double reach = std::hypot(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == qRgb(255, 255, 255))
                continue; // the white paper behind the board stays white
            const double shade = 1.0 + light * (0.5 - std::hypot(x - cx, y - cy) / reach);
            const int n = Jitter(grain);
            auto channel = [&](int v) { return std::clamp(int(v * shade) + n, 0, 255); };
            row[x] = qRgb(channel(qRed(row[x])), channel(qGreen(row[x])), channel(qBlue(row[x])));
        }
    }
}

void Silk(QPainter &p, int x, int y, const QString &text, int pixelSize = 8, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    p.setFont(font);
    p.setPen(QColor(235, 238, 228));
    p.drawText(x, y, text);
}

// A trimmer pot from above: blue square body, brass adjusting screw.
void TrimPot(QPainter &p, QPointF c)
{
    p.setPen(QPen(QColor(10, 20, 60), 1));
    QLinearGradient body(c.x() - 8, c.y() - 9, c.x() + 8, c.y() + 9);
    body.setColorAt(0, QColor(70, 105, 215));
    body.setColorAt(1, QColor(20, 40, 130));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(c.x() - 8, c.y() - 10, 16, 20), 2, 2);
    QRadialGradient screw(c + QPointF(-1.5, -3.5), 5);
    screw.setColorAt(0, QColor(250, 235, 170));
    screw.setColorAt(1, QColor(150, 120, 40));
    p.setBrush(screw);
    p.setPen(QPen(QColor(90, 70, 20), 1));
    p.drawEllipse(c + QPointF(0, -3), 4.5, 4.5);
    p.setPen(QPen(QColor(70, 50, 10), 1.2));
    p.drawLine(c + QPointF(-3, -3), c + QPointF(3, -3));
    for (int leg = -1; leg <= 1; ++leg) { // three solder legs below the body
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 200, 195));
        p.drawRect(QRectF(c.x() + leg * 5 - 1, c.y() + 10, 2, 3));
    }
}

// A DIP package with its leads along both long sides.
void Chip(QPainter &p, QRect body, const QString &name, bool vertical = false)
{
    const int leads = (vertical ? body.height() : body.width()) / 7;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(205, 205, 200));
    for (int i = 0; i < leads; ++i) {
        const int t = 4 + i * 7;
        if (vertical) {
            p.drawRect(body.left() - 3, body.top() + t, 3, 3);
            p.drawRect(body.right() + 1, body.top() + t, 3, 3);
        } else {
            p.drawRect(body.left() + t, body.top() - 3, 3, 3);
            p.drawRect(body.left() + t, body.bottom() + 1, 3, 3);
        }
    }
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, QColor(48, 48, 52));
    g.setColorAt(1, QColor(22, 22, 25));
    p.setBrush(g);
    p.setPen(QPen(QColor(10, 10, 10), 1));
    p.drawRect(body);
    p.setBrush(QColor(60, 60, 66));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(body.left() + 5, body.top() + 5), 2, 2);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(7);
    p.setFont(font);
    p.setPen(QColor(170, 170, 175));
    p.drawText(body.adjusted(1, 1, -1, -1), Qt::AlignCenter, name);
}

// A pin header of `count` square posts, pitch `pitch`, along (dx, dy).
void Header(QPainter &p, QPoint first, int count, int pitch, QPoint step)
{
    for (int i = 0; i < count; ++i) {
        const QPoint c = first + step * (i * pitch);
        p.setPen(QPen(QColor(20, 20, 20), 1));
        p.setBrush(QColor(30, 30, 30));
        p.drawRect(c.x() - 3, c.y() - 3, 6, 6);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(230, 205, 110));
        p.drawRect(c.x() - 1, c.y() - 1, 3, 3);
    }
}

void DipBank(QPainter &p, QRect body)
{
    p.setPen(QPen(QColor(10, 10, 10), 1));
    p.setBrush(QColor(200, 40, 40));
    p.drawRect(body);
    const int slot = body.width() / 3;
    for (int i = 0; i < 3; ++i) {
        const QRect s(body.left() + i * slot + 3, body.top() + 5, slot - 6, body.height() - 9);
        p.setBrush(QColor(60, 20, 20));
        p.drawRect(s);
        p.setBrush(QColor(245, 245, 240));
        p.drawRect(s.left(), i == 1 ? s.top() : s.center().y(), s.width(), s.height() / 2);
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(5);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(body.left() + 2, body.top() + 5, QStringLiteral("ON"));
}

void Traces(QPainter &p)
{
    p.setBrush(Qt::NoBrush);
    const QColor copper(40, 118, 60);
    for (int i = 0; i < 34; ++i) { // bus from the edge fingers up into the logic
        QPainterPath path;
        const double x = 250 + i * 8.6;
        path.moveTo(x, 300);
        path.lineTo(x, 262 - (i % 5) * 4);
        path.lineTo(x - 18 - (i % 7) * 2, 245 - (i % 5) * 4);
        path.lineTo(x - 18 - (i % 7) * 2, 205 + (i % 3) * 6);
        p.setPen(QPen(copper, 1.6));
        p.drawPath(path);
    }
    for (int i = 0; i < 19; ++i) { // connector pins to the input chips
        QPainterPath path;
        const double y = 60 + i * 11.5;
        path.moveTo(44, y);
        path.lineTo(70 + i * 2, y);
        path.lineTo(92 + i * 2, y - 18 + (i % 4) * 3);
        path.lineTo(150, y - 18 + (i % 4) * 3);
        p.setPen(QPen(copper, 1.3));
        p.drawPath(path);
    }
    for (int i = 0; i < 12; ++i) { // analog section to the pots and DACs
        QPainterPath path;
        path.moveTo(205 + i * 6, 82);
        path.lineTo(205 + i * 6, 120 + i * 3);
        path.lineTo(410, 120 + i * 3);
        path.lineTo(430, 100 - i * 2);
        p.setPen(QPen(copper, 1.2));
        p.drawPath(path);
    }
    p.setPen(QPen(copper, 3.0)); // a supply rail
    p.drawLine(20, 8, 580, 8);
    p.drawLine(580, 8, 580, 265);
    // vias
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 90; ++i) {
        const int x = 60 + (i * 97) % 500, y = 40 + (i * 53) % 200;
        p.setBrush(QColor(200, 175, 90));
        p.drawEllipse(QPoint(x, y), 2, 2);
        p.setBrush(QColor(20, 50, 25));
        p.drawEllipse(QPoint(x, y), 1, 1);
    }
}

QImage DrawBoard()
{
    QImage image(600, 317, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255)); // the background behind the board
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // The board: solder mask over the substrate, its edge slightly darker.
    QPainterPath outline;
    outline.moveTo(6, 4);
    outline.lineTo(594, 4);
    outline.lineTo(594, 284);
    outline.lineTo(560, 284);
    outline.lineTo(560, 296);
    outline.lineTo(180, 296);
    outline.lineTo(180, 284);
    outline.lineTo(6, 284);
    outline.closeSubpath();
    p.setPen(QPen(QColor(10, 60, 25), 2));
    p.setBrush(QColor(22, 102, 48));
    p.drawPath(outline);

    // PCI edge connector: gold fingers with the key gap.
    for (int i = 0; i < 60; ++i) {
        const int x = 186 + i * 6 + (i >= 11 ? 6 : 0);
        if (x > 552)
            break;
        QLinearGradient g(x, 286, x, 314);
        g.setColorAt(0, QColor(240, 205, 95));
        g.setColorAt(1, QColor(185, 140, 40));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRect(x, 286, 4, 28);
    }
    p.setBrush(QColor(22, 102, 48));
    p.drawRect(180, 296, 380, 2);

    Traces(p);

    // Mounting bracket and the 37-pin D-sub connector at the bracket end.
    QLinearGradient bracket(0, 0, 14, 0);
    bracket.setColorAt(0, QColor(150, 152, 158));
    bracket.setColorAt(1, QColor(215, 217, 222));
    p.setPen(QPen(QColor(90, 90, 95), 1));
    p.setBrush(bracket);
    p.drawRect(0, 0, 12, 290);
    p.setBrush(QColor(185, 187, 192));
    p.drawRoundedRect(QRect(10, 40, 32, 230), 4, 4);
    p.setBrush(QColor(35, 35, 38));
    p.drawRoundedRect(QRect(16, 52, 20, 206), 6, 6);
    for (int i = 0; i < 37; ++i) {
        const int column = i < 19 ? 0 : 1;
        const int row = column ? i - 19 : i;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(225, 200, 120));
        p.drawEllipse(QPointF(22.5 + column * 7, 60 + row * 10.5 + column * 5), 1.8, 1.8);
    }
    p.setBrush(QColor(170, 172, 178));
    p.drawEllipse(QPoint(26, 32), 6, 6);
    p.drawEllipse(QPoint(26, 278), 6, 6);

    // Chips.
    // Generic designators and functions, no maker's part numbers.
    Chip(p, QRect(60, 20, 56, 22), QStringLiteral("U1\nMUX"));
    Chip(p, QRect(60, 90, 56, 22), QStringLiteral("U2\nMUX"));
    Chip(p, QRect(205, 40, 86, 30), QStringLiteral("U3\nADC"));
    Chip(p, QRect(320, 22, 64, 24), QStringLiteral("U4\nDAC"));
    Chip(p, QRect(320, 70, 42, 20), QStringLiteral("U5\nOP AMP"));
    Chip(p, QRect(380, 70, 42, 20), QStringLiteral("U6\nOP AMP"));
    Chip(p, QRect(175, 205, 120, 36), QStringLiteral("U7\nPCI BRIDGE"));
    Chip(p, QRect(330, 190, 100, 30), QStringLiteral("U8\nPPI"));
    Chip(p, QRect(330, 240, 56, 20), QStringLiteral("U9\nBUFFER"));
    Chip(p, QRect(450, 175, 40, 20), QStringLiteral("U10\nEEPROM"));
    Chip(p, QRect(160, 110, 30, 52), QStringLiteral("U11\nREF"), true);

    // Small parts: resistors and capacitors.
    for (int i = 0; i < 16; ++i) {
        const int x = 230 + (i % 8) * 22, y = 150 + (i / 8) * 20;
        p.setPen(QPen(QColor(20, 20, 20), 0.5));
        p.setBrush(i % 3 ? QColor(30, 30, 30) : QColor(175, 140, 80));
        p.drawRect(x, y, 10, 5);
        p.setBrush(QColor(200, 200, 195));
        p.drawRect(x - 2, y, 2, 5);
        p.drawRect(x + 10, y, 2, 5);
    }
    for (int i = 0; i < 5; ++i) { // electrolytic capacitors
        QRadialGradient g(QPointF(520 + i * 14 - 2, 110 + (i % 2) * 40 - 2), 7);
        g.setColorAt(0, QColor(70, 80, 160));
        g.setColorAt(1, QColor(15, 20, 70));
        p.setPen(QPen(QColor(10, 10, 30), 1));
        p.setBrush(g);
        p.drawEllipse(QPointF(548, 90 + i * 18), 6, 6);
    }

    // Calibration pots: RP1, RP2, RP3 at the A/D; RP5..RP8 at the DACs.
    for (int i = 0; i < 3; ++i)
        TrimPot(p, QPointF(137 + i * 21.5, 28));
    for (int i = 0; i < 4; ++i)
        TrimPot(p, QPointF(466 + i * 20.5, 30));
    const char *lowPots[] = {"RP1", "RP2", "RP3"};
    for (int i = 0; i < 3; ++i)
        Silk(p, 128 + i * 21, 56, QLatin1String(lowPots[i]), 7);
    const char *highPots[] = {"RP5", "RP6", "RP7", "RP8"};
    for (int i = 0; i < 4; ++i)
        Silk(p, 457 + i * 20, 58, QLatin1String(highPots[i]), 7);

    // Current-input jumpers CH7 .. CH0, one two-pin header each.
    for (int k = 0; k < 8; ++k)
        Header(p, QPoint(75 + (7 - k) * 7.3, 158), 2, 8, QPoint(0, 1));
    Silk(p, 70, 155, QStringLiteral("CH7"), 5);
    Silk(p, 118, 155, QStringLiteral("CH0"), 5);
    Silk(p, 78, 183, QStringLiteral("CURRENT IN"), 5);

    // Buffer mode header BEN/BST and the DAC range switches.
    Header(p, QPoint(514, 229), 3, 9, QPoint(1, 0));
    Silk(p, 503, 226, QStringLiteral("BST"), 5);
    Silk(p, 528, 226, QStringLiteral("BEN"), 5);
    DipBank(p, QRect(436, 116, 28, 24));
    DipBank(p, QRect(470, 116, 28, 24));
    Silk(p, 436, 148, QStringLiteral("DAC0   DAC1"), 5);

    Silk(p, 60, 230, QStringLiteral("TARVIK"), 14, true);
    Silk(p, 60, 248, QStringLiteral("PCI-RZ4070A  REV C"), 9);
    Silk(p, 22, 36, QStringLiteral("J1"), 7);
    p.end();

    AddGrainAndLight(image, 6, 0.35);
    return image;
}

QImage DrawPots()
{
    QImage image(225, 60, QImage::Format_RGB32);
    image.fill(QColor(24, 108, 52));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int centres[] = {12, 38, 64, 134, 160, 186, 212};
    const char *names[] = {"RP1", "RP2", "RP3", "RP5", "RP6", "RP7", "RP8"};
    for (int i = 0; i < 7; ++i) {
        const int c = centres[i];
        QLinearGradient body(c - 9, 0, c + 9, 0);
        body.setColorAt(0, QColor(25, 40, 120));
        body.setColorAt(1, QColor(12, 22, 80));
        p.setPen(QPen(QColor(5, 10, 40), 1));
        p.setBrush(body);
        p.drawRect(QRectF(c - 9, 8, 18, 38));
        p.setBrush(QColor(215, 225, 245));
        p.drawRect(QRectF(c - 9, 8, 18, 8));
        QRadialGradient screw(QPointF(c - 1, 11), 4);
        screw.setColorAt(0, QColor(250, 235, 170));
        screw.setColorAt(1, QColor(160, 125, 45));
        p.setBrush(screw);
        p.drawEllipse(QPointF(c, 12), 3, 3);
        Silk(p, c - 9, 57, QLatin1String(names[i]), 8);
    }
    p.end();
    AddGrainAndLight(image, 4, 0.2);
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawpictures OUTPUT_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool ok = WriteJpeg(DrawBoard(), dir + QStringLiteral("/board.jpg"), 90)
                    && WriteJpeg(DrawPots(), dir + QStringLiteral("/pots.jpg"), 92);
    if (!ok)
        std::fprintf(stderr, "drawpictures: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
