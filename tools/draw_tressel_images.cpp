// Paints the two images compiled into tressel: the logo beside the instructions and the window
// icon. Run by hand; the output is committed in resources/.
// The icon is written through the toolkit's ICO plugin (a 32-bit bitmap entry that every ICO
// reader understands).
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include "image_drawing.h"

namespace {
using namespace image_drawing;

const QColor kChipBody(45, 48, 58);

// A flash chip with its pins, seen from above, inside `body`.
void drawChip(QPainter& p, const QRectF& body, int pinsPerSide) {
    const qreal pinLength = body.width() * 0.12;
    const qreal pitch = body.height() / (pinsPerSide + 1);
    const qreal pinWidth = pitch * 0.45;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 200, 210));
    for (int i = 1; i <= pinsPerSide; ++i) {
        const qreal y = body.top() + i * pitch - pinWidth / 2;
        p.drawRect(QRectF(body.left() - pinLength, y, pinLength, pinWidth));
        p.drawRect(QRectF(body.right(), y, pinLength, pinWidth));
    }
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, kChipBody.lighter(150));
    shade.setColorAt(1, kChipBody);
    p.setBrush(shade);
    p.setPen(QPen(Qt::black, 1));
    p.drawRoundedRect(body, body.width() * 0.08, body.width() * 0.08);
    p.setBrush(QColor(120, 120, 130));
    p.setPen(Qt::NoPen);
    const qreal dot = body.width() * 0.12;
    p.drawEllipse(QRectF(body.left() + dot * 0.6, body.top() + dot * 0.6, dot, dot));
}

// A downward arrow that ends in the chip: the image going into the drive's memory.
void drawArrow(QPainter& p, QPointF tip, qreal size) {
    const QPainterPath arrow = outline({tip,
                                        {tip.x() - size * 0.5, tip.y() - size * 0.45},
                                        {tip.x() - size * 0.2, tip.y() - size * 0.45},
                                        {tip.x() - size * 0.2, tip.y() - size},
                                        {tip.x() + size * 0.2, tip.y() - size},
                                        {tip.x() + size * 0.2, tip.y() - size * 0.45},
                                        {tip.x() + size * 0.5, tip.y() - size * 0.45}});
    p.setPen(QPen(kAmber.darker(160), 1));
    p.setBrush(kAmber);
    p.drawPath(arrow);
}

QImage drawLogo() {
    QImage image = blank(128, 96);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    drawChip(p, QRectF(40, 26, 48, 40), 4);
    drawArrow(p, QPointF(64, 44), 40);

    QFont font("DejaVu Sans");
    font.setPixelSize(17);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(font);
    p.setPen(kDeepBlue);
    p.drawText(QRectF(0, 70, 128, 24), Qt::AlignCenter, "TRESSEL");
    p.setPen(QPen(kSteel, 2));
    p.drawLine(QPointF(14, 93), QPointF(114, 93));
    return image;
}

// Drawn on a 32-pixel grid and scaled to `size`, for the window and the desktop's icon theme.
QImage drawIcon(int size = 32) {
    QImage image = blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    QLinearGradient plate(0, 0, 0, 32);
    plate.setColorAt(0, kSteel);
    plate.setColorAt(1, kDeepBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(plate);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    drawChip(p, QRectF(10, 13, 12, 14), 3);
    drawArrow(p, QPointF(16, 21), 16);
    return image;
}
}  // namespace

int main(int argc, char** argv) {
    return image_drawing::writeImageFiles(
        argc, argv,
        {{"logoTransp128xXX.png", "PNG", drawLogo},
         {"tressel.ico", "ICO", [] { return drawIcon().convertToFormat(QImage::Format_ARGB32); }},
         {"icons/tressel-48.png", "PNG", [] { return drawIcon(48); }},
         {"icons/tressel-64.png", "PNG", [] { return drawIcon(64); }},
         {"icons/tressel-128.png", "PNG", [] { return drawIcon(128); }}});
}
