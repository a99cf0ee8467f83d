#include "settings_document.h"

#include <QFile>
#include <QXmlStreamReader>

#include "front_end.h"
#include "regular_file.h"

namespace config_tool {

using drive_link::Failure;
using drive_link::FrontEnd;
using drive_link::MessageKind;
using files::FileOpening;
using files::openRegularFile;
using files::RegularFile;

namespace {
// Far beyond anything a settings file holds (depth 2, no entities, a few hundred characters of
// attribute values), and far below what would hurt.
constexpr int kMaxElementDepth = 64;
constexpr int kEntityExpansionLimit = 1024;
constexpr qint64 kMaxExpandedText = 1024 * 1024;

// The number in an element name "Param<number>" with the number written as the writer writes it
// (decimal digits, no leading zero): "Param0410" names no parameter. -1 for any other name.
template <typename Name>
int paramNumberIn(const Name& name) {
    const QLatin1String prefix("Param");
    const auto digits = name.mid(prefix.size());
    if (!name.startsWith(prefix) || digits.isEmpty() || digits.size() > 5 ||
        (digits.size() > 1 && digits.at(0) == QLatin1Char('0'))) {
        return -1;
    }
    for (const QChar digit : digits) {
        if (digit.unicode() < '0' || digit.unicode() > '9') {
            return -1;
        }
    }
    return digits.toInt();
}
}  // namespace

int wholeNumberOr0(const QString& text) {
    bool isNumber = false;
    const int value = text.toInt(&isNumber, 10);
    return isNumber ? value : 0;
}

std::optional<int> decimalDigitsValue(const QString& text) {
    if (text.isEmpty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (const QChar digit : text) {
        if (digit.unicode() < '0' || digit.unicode() > '9') {
            return std::nullopt;
        }
        value = value * 10 + (digit.unicode() - '0');
    }
    return value;
}

QByteArray writeSettingsText(const std::vector<FileParam>& params) {
    QByteArray text;
    text.reserve(64 + 48 * int(params.size()));
    text.append("<!DOCTYPE KMR_ML>\n<SetupFRX>\n <FileSpecs Version=\"")
        .append(QByteArray::number(kSettingsFileVersion))
        .append("\"/>\n");
    for (const FileParam& param : params) {
        text.append(" <Param")
            .append(QByteArray::number(param.number))
            .append(" Type=\"uint16\" Value=\"")
            .append(QByteArray::number(param.value))
            .append("\"/>\n");
    }
    return text.append("</SetupFRX>\n");
}

QString withSettingsSuffix(const QString& name) {
    if (name.endsWith(".frx", Qt::CaseInsensitive)) {
        return name;
    }
    return name + ".frx";
}

bool parseSettingsText(const QByteArray& text, const std::vector<uint16_t>& wanted,
                       SettingsText& read) {
    if (text.size() > kSettingsFileSizeLimit) {
        return false;
    }
    read = SettingsText{};
    read.values.resize(wanted.size());
    bool versionFound = false;

    QXmlStreamReader reader(text);
    reader.setEntityExpansionLimit(kEntityExpansionLimit);
    int depth = 0;
    qint64 expanded = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::StartElement: {
                if (++depth > kMaxElementDepth) {
                    return false;
                }
                const QXmlStreamAttributes attributes = reader.attributes();
                for (const QXmlStreamAttribute& attribute : attributes) {
                    expanded += attribute.value().size();
                }
                const auto name = reader.qualifiedName();
                if (depth == 1) {
                    read.rootName = name.toString();
                    break;
                }
                if (name == QLatin1String("FileSpecs")) {
                    const auto version = attributes.value(QLatin1String("Version"));
                    if (versionFound) {
                        read.strays.push_back({name.toString(), version.toString(), true});
                    } else {
                        versionFound = true;
                        read.version = wholeNumberOr0(version.toString());
                    }
                    break;
                }
                const int number = paramNumberIn(name);
                const auto value = attributes.value(QLatin1String("Value"));
                bool placed = false;
                for (size_t i = 0; number >= 0 && i < wanted.size(); ++i) {
                    if (wanted[i] == number) {
                        placed = true;
                        if (read.values[i]) {
                            read.strays.push_back({name.toString(), value.toString(), true});
                        } else {
                            read.values[i] = value.toString();
                        }
                    }
                }
                if (!placed && reader.name().startsWith(QLatin1String("Param"))) {
                    read.strays.push_back({name.toString(), value.toString(), false});
                }
                break;
            }
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            case QXmlStreamReader::Characters:
                expanded += reader.text().size();
                break;
            default:
                break;
        }
        if (expanded > kMaxExpandedText) {
            return false;
        }
    }
    return !reader.hasError();
}

SettingsRead readSettingsFile(const QString& path, QByteArray& text) {
    const RegularFile opened = openRegularFile(QFile::encodeName(path).constData());
    if (opened.outcome != FileOpening::Opened) {
        return opened.outcome == FileOpening::CannotOpen ? SettingsRead::CannotOpen
                                                         : SettingsRead::Refused;
    }
    QFile file;
    if (!file.open(opened.descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        return SettingsRead::CannotOpen;
    }
    // The size is checked before reading, and the read stops past the limit in case the file
    // grows or does not know its size.
    if (file.size() > kSettingsFileSizeLimit) {
        return SettingsRead::Refused;
    }
    text = file.read(kSettingsFileSizeLimit + 1);
    return text.size() > kSettingsFileSizeLimit ? SettingsRead::Refused : SettingsRead::Read;
}

bool guardSettingsLoad(FrontEnd& frontEnd, const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (...) {
        frontEnd.showMessage(MessageKind::Warning, "Error", frontEnd.translate("File load failed"),
                             Failure::FileRefused);
        return false;
    }
}

}  // namespace config_tool
