#include "job_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include "morvane_command_line.h"
#include "morvane_workflows.h"
#include "run_result.h"

namespace station {
namespace {

JobReading refused(const QString& why) {
    JobReading reading;
    reading.refusal = why;
    return reading;
}

// A path in the job is taken relative to the job file, so the job and its image move together.
QString besideJob(const QDir& jobFolder, const QString& path) {
    return QDir::cleanPath(jobFolder.absoluteFilePath(path));
}

bool isText(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).isString() &&
           !object.value(QLatin1String(key)).toString().isEmpty();
}

bool isOptionalText(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isUndefined() || value.isString();
}

QString fixtureFault(const QJsonValue& value, int index, Fixture& fixture) {
    const QString where = QString("fixture %1").arg(index + 1);
    if (!value.isObject()) {
        return where + " is not an object";
    }
    const QJsonObject object = value.toObject();
    if (!isText(object, "name")) {
        return where + " has no \"name\"";
    }
    if (!isText(object, "port")) {
        return where + " has no \"port\"";
    }
    if (!isOptionalText(object, "power_cycle_command") || !isOptionalText(object, "simulate")) {
        return where + ": \"power_cycle_command\" and \"simulate\" are texts";
    }
    fixture.name = object.value("name").toString();
    fixture.port = object.value("port").toString();
    fixture.powerCycleCommand = object.value("power_cycle_command").toString();
    fixture.simulate = object.value("simulate").toString();
    return {};
}

// Why the settings file would be refused by the restore each unit runs after its flash, judged
// now so that a job with a bad file starts no tile; empty when restore takes it.
QString settingsFault(const QString& path) {
    command_line::MorvaneCommandLine reader(0);
    reader.settingsFile = path;
    config_tool::DriveSettings settings;
    return config_tool::openCheckedSettings(reader, settings).succeeded()
               ? QString()
               : reader.report.lastMessage();
}

}  // namespace

JobReading readJobFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return refused(QString("cannot read the job %1").arg(path));
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        return refused(QString("the job %1 is not a JSON object").arg(path));
    }
    const QJsonObject object = document.object();
    const QDir folder = QFileInfo(path).absoluteDir();
    Job job;
    job.name = QFileInfo(path).completeBaseName();

    if (!isText(object, "image") || !isText(object, "sha256")) {
        return refused("the job needs \"image\" and its \"sha256\"");
    }
    job.imagePath = besideJob(folder, object.value("image").toString());
    const QString expectedSha256 = object.value("sha256").toString().toLower();
    job.imageSha256 = command_line::sha256Of(job.imagePath);
    if (job.imageSha256.isEmpty()) {
        return refused(QString("cannot read the image %1").arg(job.imagePath));
    }
    if (job.imageSha256 != expectedSha256) {
        return refused(QString("the image %1 has SHA-256 %2, the job expects %3")
                           .arg(job.imagePath, job.imageSha256, expectedSha256));
    }

    const QJsonValue retries = object.value("retries");
    const double retryCount = retries.toDouble(-1);
    if (!retries.isUndefined() && (!retries.isDouble() || retryCount != int(retryCount) ||
                                   retryCount < 0 || retryCount > kMostJobRetries)) {
        return refused(QString("\"retries\" takes a number from 0 to %1").arg(kMostJobRetries));
    }
    job.retries = retries.isUndefined() ? 0 : int(retryCount);

    if (!isOptionalText(object, "settings") || !isOptionalText(object, "log")) {
        return refused("\"settings\" and \"log\" are texts");
    }
    if (object.contains("settings")) {
        job.settingsPath = besideJob(folder, object.value("settings").toString());
        const QString fault = settingsFault(job.settingsPath);
        if (!fault.isEmpty()) {
            return refused(
                QString("the settings file %1 is refused: %2").arg(job.settingsPath, fault));
        }
        job.settingsSha256 = command_line::sha256Of(job.settingsPath);
    }
    const QString log = object.value("log").toString();
    job.log = log.isEmpty() || log == "journal" ? log : besideJob(folder, log);

    const QJsonArray fixtures = object.value("fixtures").toArray();
    if (fixtures.isEmpty()) {
        return refused("the job has no \"fixtures\"");
    }
    QSet<QString> ports;
    for (int index = 0; index < fixtures.size(); ++index) {
        Fixture fixture;
        const QString fault = fixtureFault(fixtures.at(index), index, fixture);
        if (!fault.isEmpty()) {
            return refused(fault);
        }
        if (ports.contains(fixture.port)) {
            return refused(QString("two fixtures on port %1").arg(fixture.port));
        }
        ports.insert(fixture.port);
        job.fixtures.append(fixture);
    }
    JobReading reading;
    reading.accepted = true;
    reading.job = job;
    return reading;
}

}  // namespace station
