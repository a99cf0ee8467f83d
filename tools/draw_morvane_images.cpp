// Paints the four images compiled into morvane: the window icon, the two file action icons and
// the vertical logo strip beside the axis tabs. Run by hand; the output is committed in resources/.
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

#include "image_drawing.h"

namespace {
using namespace image_drawing;

// A motor face seen end-on: housing, shaft, and an arrow round it for the turning axis. Drawn
// on a 64-pixel grid and scaled to `size`, for the window and the desktop's icon theme.
QImage drawWindowIcon(int size = 64) {
    QImage image = blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    QLinearGradient plate(0, 0, 0, 64);
    plate.setColorAt(0, kSteel);
    plate.setColorAt(1, kDeepBlue);
    p.setPen(QPen(kDeepBlue.darker(140), 1.5));
    p.setBrush(plate);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    QRadialGradient housing(QPointF(28, 26), 26);
    housing.setColorAt(0, QColor(235, 238, 245));
    housing.setColorAt(1, QColor(150, 160, 180));
    p.setPen(QPen(QColor(40, 40, 60), 1.5));
    p.setBrush(housing);
    p.drawEllipse(QPointF(32, 32), 19, 19);

    p.setBrush(QColor(60, 60, 75));
    p.drawEllipse(QPointF(32, 32), 5, 5);

    // The turning arrow, three quarters round, ending in a head.
    QPen arrow(kAmber, 4, Qt::SolidLine, Qt::RoundCap);
    p.setPen(arrow);
    p.setBrush(Qt::NoBrush);
    QRectF ring(32 - 12, 32 - 12, 24, 24);
    p.drawArc(ring, 90 * 16, 270 * 16);
    const QPainterPath head = outline({{44, 32}, {39, 26}, {49, 26}});
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    p.drawPath(head);
    return image;
}

// An open folder with its flap tilted forward.
QImage drawOpenIcon() {
    QImage image = blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor edge(120, 80, 10);
    p.setPen(QPen(edge, 1));
    p.setBrush(QColor(220, 170, 60));
    const QPainterPath back = outline({{3, 8}, {11, 8}, {13, 10}, {25, 10}, {25, 26}, {3, 26}});
    p.drawPath(back);

    p.setBrush(QColor(250, 245, 230));
    p.drawRect(QRectF(6, 6, 16, 14));

    p.setBrush(QColor(250, 205, 90));
    const QPainterPath flap = outline({{3, 26}, {8, 15}, {30, 15}, {25, 26}});
    p.drawPath(flap);
    return image;
}

// A diskette: body, shutter and label.
QImage drawSaveIcon() {
    QImage image = blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kDeepBlue.darker(150), 1));
    p.setBrush(kSteel);
    const QPainterPath body = outline({{4, 4}, {25, 4}, {28, 7}, {28, 28}, {4, 28}});
    p.drawPath(body);

    p.setBrush(QColor(200, 205, 215));
    p.drawRect(QRectF(9, 4, 13, 8));
    p.setBrush(kDeepBlue);
    p.drawRect(QRectF(17, 5.5, 3, 5));

    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(8, 16, 16, 12));
    p.setPen(QPen(QColor(150, 150, 170), 1));
    p.drawLine(QPointF(10, 20), QPointF(22, 20));
    p.drawLine(QPointF(10, 24), QPointF(22, 24));
    return image;
}

// The program's name written upwards on a strip, with a small axis symbol at the foot.
QImage drawLogoStrip() {
    QImage image = blank(24, 186);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient strip(0, 0, 24, 0);
    strip.setColorAt(0, kDeepBlue);
    strip.setColorAt(1, kSteel);
    p.setPen(Qt::NoPen);
    p.setBrush(strip);
    p.drawRoundedRect(QRectF(0, 0, 24, 186), 6, 6);

    p.setPen(QPen(kAmber, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 172), 6, 6);
    p.drawLine(QPointF(12, 172), QPointF(12 + 6 * std::cos(0.8), 172 - 6 * std::sin(0.8)));

    p.save();
    p.translate(17, 156);
    p.rotate(-90);
    QFont font("DejaVu Sans");
    font.setPixelSize(14);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, -14, 150, 18), Qt::AlignLeft | Qt::AlignVCenter, "MORVANE");
    p.restore();
    return image;
}
}  // namespace

int main(int argc, char** argv) {
    return image_drawing::writeImageFiles(
        argc, argv,
        {{"velmora64x64.png", "PNG", [] { return drawWindowIcon(); }},
         {"icons/morvane-48.png", "PNG", [] { return drawWindowIcon(48); }},
         {"icons/morvane-128.png", "PNG", [] { return drawWindowIcon(128); }},
         {"fileopen.xpm", "XPM", drawOpenIcon},
         {"filesave.xpm", "XPM", drawSaveIcon},
         {"logoWideUp24wide.png", "PNG", drawLogoStrip}});
}
