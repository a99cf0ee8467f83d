// A line's figures as a reader gets them: plain text, one JSON object, or one HTML page.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "line_figures.h"

namespace line_report {

// One line: runs, units and both yields.
QString summaryLine(const LineFigures& figures);

// The summary line, then the failures, the adapters, the durations and the images as tables.
QString reportText(const LineFigures& figures);

// "runs", "units", "unnamed_runs", "skipped_lines", "duplicate_records" (records of a run
// counted already, and not again), "first_pass_yield" and "final_yield"
// (fractions, null without units), "failures_by_class", "adapters", "duration_s" and "images".
QJsonObject reportJson(const LineFigures& figures);

// A page that stands alone: its charts are inline SVG, and it names nothing outside itself.
QByteArray reportHtml(const LineFigures& figures, const QString& title);

}  // namespace line_report
