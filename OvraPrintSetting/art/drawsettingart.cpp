// Draws the pictures of the settings tool into a folder:
//   drawsettingart OUTPUT_DIR
// button_net_en.png, button_net_ru.png (home page), clean_1.png (cleaning sample) and
// alignment_1.png .. alignment_7.png (calibration samples). The logos come from
// scripts/art/ovra-logo.py. Run with QT_QPA_PLATFORM=offscreen; needs the DejaVu fonts.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

const QColor c_colorTeal(18, 124, 138);
const QColor c_colorDark(10, 70, 80);
const QColor c_colorAmber(255, 190, 60);

QImage NewImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A printer with a three-node network beside it, on a rounded teal tile, and a caption.
QImage NetButton(const QString& strCaption)
{
    QImage image = NewImage(400, 200);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 200);
    fill.setColorAt(0, c_colorTeal.lighter(115));
    fill.setColorAt(1, c_colorTeal.darker(110));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(4, 4, 392, 192), 28, 28);

    // Network: three nodes and their links.
    const QPointF nodes[3] = {QPointF(250, 40), QPointF(330, 40), QPointF(290, 110)};
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(nodes[0], nodes[2]);
    p.drawLine(nodes[1], nodes[2]);
    p.drawLine(nodes[2], QPointF(180, 110));
    p.setBrush(c_colorAmber);
    for (const QPointF& node : nodes)
        p.drawEllipse(node, 16, 16);

    // Printer.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(92, 52, 56, 30), 3, 3);    // paper in
    p.drawRoundedRect(QRectF(70, 76, 110, 56), 10, 10); // body
    p.setBrush(c_colorDark);
    p.drawRect(QRectF(84, 92, 82, 6)); // slot
    p.setBrush(c_colorAmber);
    p.drawEllipse(QPointF(162, 118), 5, 5); // status light

    p.setPen(Qt::white);
    QFont font("DejaVu Sans");
    font.setPixelSize(26);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(10, 140, 380, 50), Qt::AlignCenter, strCaption);
    return image;
}

// The cleaning sample: what a clean drum prints - solid blocks, fine lines, a grey ramp.
QImage CleanSample()
{
    QImage image = NewImage(540, 300);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), Qt::white);
    p.setPen(QPen(QColor(170, 170, 170), 2));
    p.drawRect(QRectF(1, 1, 538, 298));

    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) // solid blocks
        p.fillRect(QRectF(30 + i * 125, 24, 105, 70), QColor(20, 20, 20));
    for (int i = 0; i < 48; ++i) // vertical fine lines
        p.fillRect(QRectF(30 + i * 10, 114, 1 + (i % 3), 60), Qt::black);
    for (int i = 0; i < 16; ++i) { // grey ramp
        const int v = 255 - i * 16;
        p.fillRect(QRectF(30 + i * 30, 194, 30, 40), QColor(v, v, v));
    }
    p.setPen(QPen(Qt::black, 2)); // rings
    for (int i = 0; i < 6; ++i)
        p.drawEllipse(QPointF(60 + i * 84, 266), 20, 20);
    return image;
}

// One calibration sample: a vernier of thirteen line pairs, numbered -6 to 6, whose
// pair at 0 lines up; each row has its own colour and line slant.
QImage AlignmentSample(int iRow)
{
    QImage image = NewImage(128, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), Qt::white);
    p.setPen(QPen(QColor(170, 170, 170), 1));
    p.drawRect(QRectF(0.5, 0.5, 127, 63));
    const QColor colours[7] = {QColor(20, 20, 20), QColor(0, 120, 190), QColor(200, 30, 120), QColor(220, 170, 0),
                               QColor(20, 20, 20), QColor(0, 120, 190), c_colorTeal};
    const double slant = (iRow - 4) * 1.5;
    for (int i = -6; i <= 6; ++i) {
        const double x = 64 + i * 9;
        p.setPen(QPen(Qt::black, 1.6));
        p.drawLine(QPointF(x, 8), QPointF(x, 28));
        p.setPen(QPen(colours[iRow - 1], 1.6));
        const double shift = i * 1.2; // the offset grows away from 0
        p.drawLine(QPointF(x + shift, 30), QPointF(x + shift + slant, 48));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c_colorAmber);
    p.drawPolygon(QPolygonF({QPointF(64, 52), QPointF(60, 60), QPointF(68, 60)})); // the 0 mark
    return image;
}

bool Save(const QImage& image, const QString& strPath)
{
    if (image.save(strPath, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(strPath));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawsettingart OUTPUT_DIR\n");
        return 2;
    }
    const QString strDir = QString::fromLocal8Bit(argv[1]) + "/";
    bool bOk = Save(NetButton("Network Configuration"), strDir + "button_net_en.png");
    bOk = Save(NetButton(QString::fromUtf8("Настройка сети")), strDir + "button_net_ru.png") && bOk;
    bOk = Save(CleanSample(), strDir + "clean_1.png") && bOk;
    for (int i = 1; i <= 7; ++i)
        bOk = Save(AlignmentSample(i), strDir + QString("alignment_%1.png").arg(i)) && bOk;
    return bOk ? 0 : 1;
}
