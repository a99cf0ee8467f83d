// The job file: what an engineer may write, and every job the station must refuse before a
// tile starts.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "job_file.h"
#include "run_result.h"

namespace {

const QByteArray kImage("VLFW\0\0\0\0\0\0\0\0\0\0", 14);

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray jobText(const QString& body) {
    return QString(body).replace("SHA", sha256(kImage)).toUtf8();
}

void copyFactorySettings(const QString& path) {
    QFile golden(KMR_GOLDEN_DIR "/factory_drive.frx");
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    write(path, golden.readAll());
}

TEST(JobFile, AcceptsAJobWithPathsBesideIt) {
    QTemporaryDir dir;
    write(dir.filePath("fw.vlf"), kImage);
    copyFactorySettings(dir.filePath("drive.frx"));
    write(dir.filePath("line.json"),
          jobText(R"({"image":"fw.vlf","sha256":"SHA","retries":2,"log":"units.log",
                     "settings":"drive.frx","fixtures":[{"name":"A","port":"1-1"},
                     {"name":"B","port":"1-2","power_cycle_command":"relay 2"}]})"));
    const station::JobReading reading = station::readJobFile(dir.filePath("line.json"));
    ASSERT_TRUE(reading.accepted) << reading.refusal.toStdString();
    EXPECT_EQ(reading.job.name, "line");
    EXPECT_EQ(reading.job.imagePath, QDir(dir.path()).filePath("fw.vlf"));
    EXPECT_EQ(reading.job.imageSha256, sha256(kImage));
    EXPECT_EQ(reading.job.retries, 2);
    EXPECT_EQ(reading.job.log, QDir(dir.path()).filePath("units.log"));
    EXPECT_EQ(reading.job.settingsPath, QDir(dir.path()).filePath("drive.frx"));
    EXPECT_EQ(reading.job.settingsSha256, command_line::sha256Of(dir.filePath("drive.frx")));
    ASSERT_EQ(reading.job.fixtures.size(), 2);
    EXPECT_EQ(reading.job.fixtures[1].port, "1-2");
    EXPECT_EQ(reading.job.fixtures[1].powerCycleCommand, "relay 2");
}

TEST(JobFile, RefusesWithAClearMessage) {
    const QString fixtures = R"("fixtures":[{"name":"A","port":"1-1"}])";
    const struct {
        const char* job;  // null: no job file at all
        const char* refusal;
    } cases[] = {
        {nullptr, "cannot read the job"},
        {"[1,2]", "is not a JSON object"},
        {"{\"image\":", "is not a JSON object"},
        {R"({"sha256":"SHA","fixtures":[]})", "needs \"image\""},
        {R"({"image":"missing.vlf","sha256":"SHA"})", "cannot read the image"},
        {R"({"image":"fw.vlf","sha256":"00ff"})", "the job expects 00ff"},
        {R"({"image":"fw.vlf","sha256":"SHA","retries":11})", "\"retries\" takes a number"},
        {R"({"image":"fw.vlf","sha256":"SHA","retries":1.5})", "\"retries\" takes a number"},
        {R"({"image":"fw.vlf","sha256":"SHA","log":7})", "are texts"},
        // The settings file as restore would refuse it, before any tile starts.
        {R"({"image":"fw.vlf","sha256":"SHA","settings":"none.frx"})",
         "none.frx is refused: File not found"},
        {R"({"image":"fw.vlf","sha256":"SHA","settings":"fw.vlf"})",
         "fw.vlf is refused: File read failed"},
        {R"({"image":"fw.vlf","sha256":"SHA","settings":"partial.frx"})",
         "partial.frx is refused: Error in config file"},
        {R"({"image":"fw.vlf","sha256":"SHA","settings":"over.frx"})",
         "over.frx is refused: Continuous current can't be greater than peak current"},
        {R"({"image":"fw.vlf","sha256":"SHA","fixtures":[]})", "no \"fixtures\""},
        {R"({"image":"fw.vlf","sha256":"SHA","fixtures":[{"name":"A"}]})",
         "fixture 1 has no \"port\""},
        {R"({"image":"fw.vlf","sha256":"SHA","fixtures":[{"name":"A","port":"1-1"},
            {"name":"B","port":"1-1"}]})",
         "two fixtures on port 1-1"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        write(dir.filePath("fw.vlf"), kImage);
        write(dir.filePath("partial.frx"),
              "<!DOCTYPE KMR_ML>\n<SetupFRX>\n <FileSpecs Version=\"100\"/>\n</SetupFRX>\n");
        copyFactorySettings(dir.filePath("over.frx"));
        QFile over(dir.filePath("over.frx"));
        ASSERT_TRUE(over.open(QIODevice::ReadWrite));
        // A continuous current above the peak current: Apply would refuse it.
        const QByteArray text = over.readAll().replace("\"2600\"", "\"9000\"");
        over.resize(0);
        over.write(text);
        over.close();
        if (c.job) {
            QString body = c.job;
            if (!body.contains("fixtures") && body.startsWith('{') && body.endsWith('}')) {
                body.insert(body.size() - 1, "," + fixtures);
            }
            write(dir.filePath("job.json"), jobText(body));
        }
        const station::JobReading reading = station::readJobFile(dir.filePath("job.json"));
        EXPECT_FALSE(reading.accepted) << c.job;
        EXPECT_TRUE(reading.refusal.contains(c.refusal))
            << (c.job ? c.job : "(none)") << ": " << reading.refusal.toStdString();
    }
}

}  // namespace
