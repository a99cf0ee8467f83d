#include "journal_log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstring>
#include <vector>

#ifdef KMR_HAVE_JOURNAL
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
// The entries carry the record, not the place in our source that sent it.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace command_line {

namespace {
// Journal field names are capitals, digits and underscores.
QByteArray fieldName(const QString& key) {
    QByteArray name = "KMR_" + key.toUpper().toLatin1();
    for (char& c : name) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        c = allowed ? c : '_';
    }
    return name;
}

// A value as the log line's JSON writes it, without the quotes of a string.
QByteArray fieldText(const QJsonValue& value) {
    if (value.isString()) {
        return value.toString().toUtf8();
    }
    const QByteArray inArray = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return inArray.mid(1, inArray.size() - 2);
}

#ifdef KMR_HAVE_JOURNAL
// Where the journal daemon takes entries from its local clients.
constexpr char kJournalSocket[] = "/run/systemd/journal/socket";

// Whether a journal daemon listens: its socket is there and takes a connection. Nothing is sent.
bool journalListening(QString& why) {
    struct stat status {};
    int problem = stat(kJournalSocket, &status) != 0 ? errno : 0;
    if (problem == 0 && !S_ISSOCK(status.st_mode)) {
        problem = ENOTSOCK;
    }
    if (problem == 0) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, kJournalSocket, sizeof address.sun_path - 1);
        const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (probe < 0 ||
            connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            problem = errno;
        }
        if (probe >= 0) {
            close(probe);
        }
    }
    if (problem != 0) {
        why = QString("no system journal here: cannot reach %1: %2")
                  .arg(kJournalSocket, std::strerror(problem));
    }
    return problem == 0;
}

class JournalLog : public RunLog {
public:
    bool append(const QJsonObject& record, QString& why) override {
        const QList<QByteArray> fields = journalFields(record);
        std::vector<iovec> parts;
        for (const QByteArray& field : fields) {
            parts.push_back({const_cast<char*>(field.constData()), size_t(field.size())});
        }
        const int sent = sd_journal_sendv(parts.data(), int(parts.size()));
        if (sent < 0) {
            why = QString("cannot write the journal: %1").arg(std::strerror(-sent));
        }
        return sent >= 0;
    }
};
#endif
}  // namespace

QList<QByteArray> journalFields(const QJsonObject& record) {
    const QString program = record["program"].toString();
    QString summary = program + " " + record["subcommand"].toString();
    if (record.contains("unit")) {
        summary += " unit " + record["unit"].toString();
    }
    summary += ": " + record["message"].toString();
    QList<QByteArray> fields{QByteArray("MESSAGE_ID=") + kRunRecordMessageId,
                             "MESSAGE=" + summary.toUtf8(),
                             record["result"].toString() == "done" ? "PRIORITY=6" : "PRIORITY=3",
                             "SYSLOG_IDENTIFIER=" + program.toUtf8()};
    for (auto entry = record.begin(); entry != record.end(); ++entry) {
        fields += fieldName(entry.key()) + '=' + fieldText(entry.value());
    }
    return fields;
}

std::unique_ptr<RunLog> openJournalLog(QString& why) {
#ifdef KMR_HAVE_JOURNAL
    if (journalListening(why)) {
        return std::make_unique<JournalLog>();
    }
#else
    why =
        "this build has no system journal (it was built without libsystemd); name a file, "
        "e.g. --log=./journal";
#endif
    return nullptr;
}

}  // namespace command_line
