#include "run_records.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cmath>

namespace line_report {

namespace {
// The journal's field that marks our records among everything else it holds.
const QString kOurMessageId = QStringLiteral("8c1e4b7a2f5d4e6b9a0c3d2e1f4a5b6c");
const QString kJournalPrefix = QStringLiteral("KMR_");

// A journal entry's fields are text; ours go back to the log line's names and types. A field
// that is not text (the journal's byte array for what is not UTF-8) spoils the record.
bool fromJournal(const QJsonObject& entry, QJsonObject& record) {
    for (auto field = entry.begin(); field != entry.end(); ++field) {
        if (!field.key().startsWith(kJournalPrefix)) {
            continue;
        }
        if (!field.value().isString()) {
            return false;
        }
        const QString key = field.key().mid(kJournalPrefix.size()).toLower();
        const QString text = field.value().toString();
        bool isNumber = true;
        if (key == "exit_code" || key == "attempt") {
            record[key] = text.toInt(&isNumber);
        } else if (key == "duration_s") {
            record[key] = text.toDouble(&isNumber);
        } else {
            record[key] = text;
        }
        if (!isNumber) {
            return false;
        }
    }
    return true;
}

// The log's own form of a time, "2026-12-07T10:00:00.123Z", read without the general parser,
// which takes most of a big report's time; other ISO 8601 forms go to that parser.
bool readTime(const QString& text, qint64& msSinceEpoch) {
    static const QString kForm = QStringLiteral("dddd-dd-ddTdd:dd:dd.dddZ");
    bool isOurForm = text.size() == kForm.size();
    int fields[7] = {};
    for (int i = 0, field = 0; isOurForm && i < text.size(); ++i) {
        if (kForm[i] != 'd') {
            isOurForm = text[i] == kForm[i];
            field += kForm[i] != 'Z';
        } else {
            isOurForm = text[i].isDigit();
            fields[field] = fields[field] * 10 + text[i].digitValue();
        }
    }
    const auto [year, month, day, hour, minute, second, ms] = fields;
    const QDate date(year, month, day);
    if (isOurForm && date.isValid() && hour < 24 && minute < 60 && second < 60) {
        constexpr qint64 kEpochJulianDay = 2440588;
        msSinceEpoch =
            (((date.toJulianDay() - kEpochJulianDay) * 24 + hour) * 60 + minute) * 60000LL +
            second * 1000 + ms;
        return true;
    }
    const QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    msSinceEpoch = time.toMSecsSinceEpoch();
    return time.isValid();
}

bool isWholeNumber(const QJsonValue& value) {
    return value.isDouble() && value.toDouble() == double(value.toInt());
}

// NaN and infinities reach here from the journal's text ("nan", "inf") or a number too large for
// a double; a run never takes less than no time.
bool isDuration(const QJsonValue& value) {
    return value.isDouble() && std::isfinite(value.toDouble()) && value.toDouble() >= 0;
}

bool fromLogLine(const QJsonObject& line, RunRecord& record) {
    const QJsonValue exitCode = line.value(QLatin1String("exit_code"));
    const QJsonValue time = line.value(QLatin1String("time"));
    const QJsonValue adapter = line.value(QLatin1String("adapter"));
    const QJsonValue subcommand = line.value(QLatin1String("subcommand"));
    const QJsonValue duration = line.value(QLatin1String("duration_s"));
    const QJsonValue unit = line.value(QLatin1String("unit"));
    const QJsonValue sha256 = line.value(QLatin1String("sha256"));
    const QJsonValue attempt = line.value(QLatin1String("attempt"));
    if (!isWholeNumber(exitCode) || !time.isString() || !adapter.isString() ||
        !subcommand.isString() || !isDuration(duration) ||
        !(unit.isUndefined() || unit.isString()) || !(sha256.isUndefined() || sha256.isString()) ||
        !(attempt.isUndefined() || isWholeNumber(attempt)) ||
        !readTime(time.toString(), record.timeMs)) {
        return false;
    }
    record.unit = unit.toString();
    record.adapter = adapter.toString();
    record.subcommand = subcommand.toString();
    record.sha256 = sha256.toString();
    record.exitCode = exitCode.toInt();
    record.durationS = duration.toDouble();
    record.attempt = attempt.toInt(1);
    return true;
}

// The programs as the journal names them: the identifier they send and the command name the
// daemon reads from the kernel for the sending process.
bool sentByOurPrograms(const QJsonObject& entry, const RecordTrust& trust) {
    static const QStringList kPrograms{QStringLiteral("morvane"), QStringLiteral("tressel")};
    const QString identifier = entry.value("SYSLOG_IDENTIFIER").toString();
    if (!kPrograms.contains(identifier) || entry.value("KMR_PROGRAM").toString() != identifier) {
        return false;
    }
    if (entry.contains("_COMM") && !kPrograms.contains(entry.value("_COMM").toString())) {
        return false;
    }
    if (!trust.journalUid) {
        return true;
    }
    bool isNumber = false;
    const uint uid = entry.value("_UID").toString().toUInt(&isNumber);
    return isNumber && uid == *trust.journalUid;
}
}  // namespace

bool parseRecordLine(const QByteArray& line, RunRecord& record, const RecordTrust& trust) {
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isObject()) {
        return false;
    }
    const QJsonObject object = document.object();
    if (!object.contains("MESSAGE_ID")) {
        return fromLogLine(object, record);
    }
    QJsonObject converted;
    return object.value("MESSAGE_ID").toString() == kOurMessageId &&
           sentByOurPrograms(object, trust) && fromJournal(object, converted) &&
           fromLogLine(converted, record);
}

}  // namespace line_report
