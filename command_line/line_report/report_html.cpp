// The report as one HTML page: its styles inline and its charts drawn as SVG in the page, so that
// it opens the same from a mail, a share or a machine off the network.
#include <QDateTime>
#include <algorithm>

#include "report_pages.h"

namespace line_report {

namespace {
constexpr int kWidth = 640;
constexpr int kHeight = 220;
constexpr int kLeft = 48;  // room for the axis labels
constexpr int kBottom = 40;
constexpr int kTop = 12;
constexpr int kPlotHeight = kHeight - kTop - kBottom;

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString svgOpen(int height, const QString& label) {
    return QString(
               "<svg width=\"%1\" height=\"%2\" "
               "role=\"img\" aria-label=\"%3\">\n")
        .arg(kWidth)
        .arg(height)
        .arg(escaped(label));
}

QString text(double x, double y, const QString& content, const QString& anchor = "start") {
    return QString("<text x=\"%1\" y=\"%2\" text-anchor=\"%3\">%4</text>\n")
        .arg(x, 0, 'f', 1)
        .arg(y, 0, 'f', 1)
        .arg(anchor, escaped(content));
}

// The y axis of a chart in percent: grid lines at 0, 50 and 100 %.
QString percentAxis() {
    QString svg;
    for (int percent : {0, 50, 100}) {
        const double y = kTop + kPlotHeight * (1 - percent / 100.0);
        svg += QString("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" class=\"grid\"/>\n")
                   .arg(kLeft)
                   .arg(y, 0, 'f', 1)
                   .arg(kWidth - 8);
        svg += text(kLeft - 6, y + 4, QString("%1 %").arg(percent), "end");
    }
    return svg;
}

double yOf(double fraction) {
    return kTop + kPlotHeight * (1 - fraction);
}

QString polyline(const std::vector<std::pair<double, double>>& points, const QString& cls) {
    QString list;
    for (const auto& [x, y] : points) {
        list += QString("%1,%2 ").arg(x, 0, 'f', 1).arg(y, 0, 'f', 1);
    }
    return QString("<polyline points=\"%1\" class=\"%2\"/>\n").arg(list.trimmed(), cls);
}

QString yieldChart(const LineFigures& figures) {
    const std::vector<YieldStretch>& stretches = figures.yieldOverTime;
    if (stretches.empty()) {
        return "<p>No units in the log.</p>\n";
    }
    QString svg = svgOpen(kHeight, "first-pass and final yield over time") + percentAxis();
    const double step = (kWidth - kLeft - 24) / double(std::max<size_t>(stretches.size() - 1, 1));
    std::vector<std::pair<double, double>> firstPass, finalPass;
    for (size_t i = 0; i < stretches.size(); ++i) {
        const double x = kLeft + 12 + step * double(i);
        firstPass.emplace_back(x, yOf(double(stretches[i].firstPass) / stretches[i].units));
        finalPass.emplace_back(x, yOf(double(stretches[i].finalPass) / stretches[i].units));
    }
    svg += polyline(finalPass, "final") + polyline(firstPass, "first");
    const auto when = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString("yyyy-MM-dd HH:mm");
    };
    svg += text(kLeft + 12, kHeight - 22, when(stretches.front().firstMs));
    svg += text(kWidth - 12, kHeight - 22, when(stretches.back().firstMs), "end");
    svg += text(kLeft + 12, kHeight - 6,
                QString("%1 stretches of about %2 units, by their first attempt (UTC); "
                        "blue: first pass, green: final")
                    .arg(stretches.size())
                    .arg(figures.units / qint64(stretches.size())));
    return svg + "</svg>\n";
}

// The failure classes, most frequent first, with their running share of all failures.
QString paretoChart(const LineFigures& figures) {
    if (figures.failuresByClass.empty()) {
        return "<p>No failures in the log.</p>\n";
    }
    int total = 0;
    for (const auto& entry : figures.failuresByClass) {
        total += entry.second;
    }
    QString svg = svgOpen(kHeight, "failures by class, most frequent first") + percentAxis();
    const double slot = (kWidth - kLeft - 8) / double(figures.failuresByClass.size());
    std::vector<std::pair<double, double>> running;
    int sum = 0;
    for (size_t i = 0; i < figures.failuresByClass.size(); ++i) {
        const auto& [name, count] = figures.failuresByClass[i];
        sum += count;
        const double x = kLeft + slot * double(i);
        const double top = yOf(double(count) / total);
        svg += QString("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" class=\"bar\"/>\n")
                   .arg(x + slot * 0.15, 0, 'f', 1)
                   .arg(top, 0, 'f', 1)
                   .arg(slot * 0.7, 0, 'f', 1)
                   .arg(kTop + kPlotHeight - top, 0, 'f', 1);
        svg += text(x + slot / 2, kHeight - 22, QString("%1 (%2)").arg(name).arg(count), "middle");
        running.emplace_back(x + slot / 2, yOf(double(sum) / total));
    }
    svg += polyline(running, "running");
    svg += text(kLeft, kHeight - 6, "bars: share of all failures; line: running share");
    return svg + "</svg>\n";
}

QString adapterChart(const LineFigures& figures) {
    if (figures.adapters.empty()) {
        return "<p>No runs in the log.</p>\n";
    }
    constexpr int kRow = 22;
    constexpr int kNameWidth = 150;
    const int height = kRow * int(figures.adapters.size()) + 30;
    double highest = 0;
    qint64 failures = 0;
    for (const AdapterFigures& adapter : figures.adapters) {
        highest = std::max(highest, double(adapter.failures) / adapter.runs);
        failures += adapter.failures;
    }
    const double lineRate = double(failures) / figures.runs;
    const double scale = (kWidth - kNameWidth - 150) / std::max(highest, 0.01);
    QString svg = svgOpen(height, "failure rate per adapter");
    for (size_t i = 0; i < figures.adapters.size(); ++i) {
        const AdapterFigures& adapter = figures.adapters[i];
        const double rate = double(adapter.failures) / adapter.runs;
        const double y = 8 + kRow * double(i);
        svg += text(kNameWidth - 6, y + 14, adapter.adapter, "end");
        svg += QString("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"16\" class=\"%4\"/>\n")
                   .arg(kNameWidth)
                   .arg(y, 0, 'f', 1)
                   .arg(rate * scale, 0, 'f', 1)
                   .arg(adapter.alarm ? "alarm" : "bar");
        svg += text(kNameWidth + rate * scale + 6, y + 14,
                    QString("%1 of %2 (%3 %)%4")
                        .arg(adapter.failures)
                        .arg(adapter.runs)
                        .arg(rate * 100, 0, 'f', 1)
                        .arg(adapter.alarm ? "  ALARM" : ""));
    }
    const double x = kNameWidth + lineRate * scale;
    svg += QString("<line x1=\"%1\" y1=\"4\" x2=\"%1\" y2=\"%2\" class=\"line-rate\"/>\n")
               .arg(x, 0, 'f', 1)
               .arg(height - 20);
    svg +=
        text(kNameWidth, height - 6,
             QString("dashed: the whole line's failure rate, %1 %").arg(lineRate * 100, 0, 'f', 1));
    return svg + "</svg>\n";
}

QString table(const QStringList& head, const std::vector<QStringList>& rows) {
    QString html = "<table><tr>";
    for (const QString& cell : head) {
        html += "<th>" + escaped(cell) + "</th>";
    }
    html += "</tr>\n";
    for (const QStringList& row : rows) {
        html += "<tr>";
        for (const QString& cell : row) {
            html += "<td>" + escaped(cell) + "</td>";
        }
        html += "</tr>\n";
    }
    return html + "</table>\n";
}
}  // namespace

QByteArray reportHtml(const LineFigures& figures, const QString& title) {
    std::vector<QStringList> durations;
    for (const auto& [subcommand, spread] : figures.durations) {
        durations.push_back({subcommand, QString::number(spread.median, 'f', 3),
                             QString::number(spread.p95, 'f', 3)});
    }
    std::vector<QStringList> images;
    for (const ImageFigures& image : figures.images) {
        images.push_back(
            {image.sha256, QString::number(image.runs), QString::number(image.failures)});
    }
    QString html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>" +
        escaped(title) +
        "</title>\n<style>\n"
        "body{font-family:sans-serif;margin:1.5em;color:#222}\n"
        "svg{display:block;margin:0.5em 0 1.5em}svg text{font-size:11px;fill:#333}\n"
        ".grid{stroke:#ccc}.first{fill:none;stroke:#2364aa;stroke-width:2}\n"
        ".final{fill:none;stroke:#3a9b3a;stroke-width:2}.running{fill:none;stroke:#222}\n"
        ".bar{fill:#7a9cc6}.alarm{fill:#c62828}.line-rate{stroke:#222;stroke-dasharray:4 3}\n"
        "table{border-collapse:collapse;margin-bottom:1.5em}"
        "td,th{border:1px solid #bbb;padding:2px 8px;text-align:left}\n"
        "</style></head><body>\n<h1>" +
        escaped(title) + "</h1>\n<p>" + escaped(summaryLine(figures)) +
        "; runs without a unit: " + QString::number(figures.unnamedRuns) +
        "; skipped lines: " + QString::number(figures.skippedLines) +
        "; duplicate records: " + QString::number(figures.duplicateRecords) +
        ".</p>\n<h2>Yield over time</h2>\n" + yieldChart(figures) + "<h2>Failures by class</h2>\n" +
        paretoChart(figures) + "<h2>Failure rate per adapter</h2>\n" + adapterChart(figures) +
        "<h2>Duration per subcommand (s)</h2>\n" +
        table({"subcommand", "median", "p95"}, durations) + "<h2>Flash runs per image</h2>\n" +
        table({"sha256", "runs", "failures"}, images) + "</body></html>\n";
    return html.toUtf8();
}

}  // namespace line_report
