// Paints a page of `report --html` into a PNG for the manual: its headings, paragraphs and
// tables as rich text, and its inline SVG charts element by element (the few elements and classes
// the report draws with), so that the picture shows the page's own charts without a browser.
//   report_page_picture PAGE.html OUT.png
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QRegularExpression>
#include <QTextDocument>
#include <QXmlStreamReader>
#include <cstdio>
#include <map>

namespace {
constexpr int kWidth = 680;
constexpr int kMargin = 20;

struct Look {
    QPen pen;
    QBrush brush;
};

// The page's style sheet, as the painter takes it.
const std::map<QString, Look>& looks() {
    static const std::map<QString, Look> table{
        {"grid", {QPen(QColor("#cccccc")), Qt::NoBrush}},
        {"first", {QPen(QColor("#2364aa"), 2), Qt::NoBrush}},
        {"final", {QPen(QColor("#3a9b3a"), 2), Qt::NoBrush}},
        {"running", {QPen(QColor("#222222")), Qt::NoBrush}},
        {"bar", {Qt::NoPen, QColor("#7a9cc6")}},
        {"alarm", {Qt::NoPen, QColor("#c62828")}},
        {"line-rate", {QPen(QColor("#222222"), 1, Qt::DashLine), Qt::NoBrush}},
    };
    return table;
}

double number(const QXmlStreamAttributes& attributes, const char* name) {
    return attributes.value(QLatin1String(name)).toDouble();
}

// Paints one <svg> element at `top`; returns its height.
int paintSvg(QPainter& painter, const QString& svg, int top) {
    QXmlStreamReader xml(svg);
    int height = 0;
    painter.save();
    painter.translate(kMargin, top);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement()) {
            xml.readNext();
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        const Look look = looks().count(a.value("class").toString())
                              ? looks().at(a.value("class").toString())
                              : Look{QPen(Qt::black), Qt::NoBrush};
        painter.setPen(look.pen);
        painter.setBrush(look.brush);
        const auto name = xml.name();
        if (name == QLatin1String("svg")) {
            height = int(number(a, "height"));
            xml.readNext();
            continue;
        }
        if (name == QLatin1String("rect")) {
            painter.drawRect(
                QRectF(number(a, "x"), number(a, "y"), number(a, "width"), number(a, "height")));
        } else if (name == QLatin1String("line")) {
            painter.drawLine(QPointF(number(a, "x1"), number(a, "y1")),
                             QPointF(number(a, "x2"), number(a, "y2")));
        } else if (name == QLatin1String("polyline")) {
            QPolygonF points;
            for (const QString& pair :
                 a.value("points").toString().split(' ', Qt::SkipEmptyParts)) {
                points << QPointF(pair.section(',', 0, 0).toDouble(),
                                  pair.section(',', 1, 1).toDouble());
            }
            painter.drawPolyline(points);
        } else if (name == QLatin1String("text")) {
            const QPointF at(number(a, "x"), number(a, "y"));
            const QString anchor = a.value("text-anchor").toString();
            const QString content = xml.readElementText();
            const int width = painter.fontMetrics().horizontalAdvance(content);
            painter.setPen(QColor("#333333"));
            painter.drawText(at - QPointF(anchor == "middle" ? width / 2.0
                                          : anchor == "end"  ? width
                                                             : 0,
                                          0),
                             content);
            continue;
        }
        xml.skipCurrentElement();
    }
    painter.restore();
    return height;
}
}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QFile page(argc > 2 ? argv[1] : "");
    if (argc != 3 || !page.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "usage: report_page_picture PAGE.html OUT.png\n");
        return 2;
    }
    const QString html = QString::fromUtf8(page.readAll());
    // Headings, the summary, the charts and the tables, in the page's order.
    const QRegularExpression parts(
        "<h1>.*?</h1>|<h2>.*?</h2>|<p>.*?</p>|<svg.*?</svg>|"
        "<table>.*?</table>",
        QRegularExpression::DotMatchesEverythingOption);
    QImage image(kWidth, 1600, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(11);
    int y = kMargin;
    for (auto match = parts.globalMatch(html); match.hasNext();) {
        const QString part = match.next().captured();
        if (part.startsWith("<svg")) {
            painter.setFont(font);
            y += paintSvg(painter, part, y) + 8;
            continue;
        }
        // Headings, the summary and the tables as the toolkit's rich text lays them out.
        QTextDocument text;
        QFont textFont = font;
        textFont.setPixelSize(12);
        text.setDefaultFont(textFont);
        text.setDefaultStyleSheet(
            "h1{font-size:20px}h2{font-size:15px}table{border-collapse:collapse}"
            "td,th{padding:1px 8px;font-size:11px}");
        text.setHtml(part);
        text.setTextWidth(kWidth - 2 * kMargin);
        painter.save();
        painter.translate(kMargin, y);
        text.drawContents(&painter);
        painter.restore();
        y += int(text.size().height()) + 4;
    }
    painter.end();
    return image.copy(0, 0, kWidth, y + kMargin).save(argv[2]) ? 0 : 1;
}
