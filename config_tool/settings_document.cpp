#include "settings_document.h"

#include <QDomNamedNodeMap>
#include <QDomNodeList>
#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>
#include <algorithm>

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

// One pass over the text with the limits the DOM cannot be given: the nesting depth and the
// total of text and attribute values after entity expansion.
bool withinParseLimits(const QByteArray& text) {
    QXmlStreamReader reader(text);
    reader.setEntityExpansionLimit(kEntityExpansionLimit);
    int depth = 0;
    qint64 expanded = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::StartElement:
                if (++depth > kMaxElementDepth) {
                    return false;
                }
                for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                    expanded += attribute.value().size();
                }
                break;
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

// The order attributes are written in; any others follow alphabetically.
const QStringList kAttributeOrder = {"Type", "Value", "Version"};

long long attributeRank(const QString& name) {
    const long long rank = kAttributeOrder.indexOf(name);
    return rank < 0 ? kAttributeOrder.size() : rank;
}

QStringList orderedAttributeNames(const QDomElement& element) {
    const QDomNamedNodeMap map = element.attributes();
    QStringList names;
    for (int i = 0; i < map.count(); ++i) {
        names << map.item(i).nodeName();
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const long long rankA = attributeRank(a);
        const long long rankB = attributeRank(b);
        return rankA != rankB ? rankA < rankB : a < b;
    });
    return names;
}

void writeElement(const QDomElement& element, int depth, QString& out) {
    const QString indent(depth, ' ');
    out += indent + '<' + element.tagName();
    for (const QString& name : orderedAttributeNames(element)) {
        out += ' ' + name + "=\"" + element.attribute(name).toHtmlEscaped() + '"';
    }
    const QDomNodeList children = element.childNodes();
    bool hasElements = false;
    for (int i = 0; i < children.count(); ++i) {
        hasElements = hasElements || children.at(i).isElement();
    }
    if (!hasElements) {
        out += "/>\n";
        return;
    }
    out += ">\n";
    for (int i = 0; i < children.count(); ++i) {
        if (children.at(i).isElement()) {
            writeElement(children.at(i).toElement(), depth + 1, out);
        }
    }
    out += indent + "</" + element.tagName() + ">\n";
}
}  // namespace

SettingsDocument newSettingsDocument() {
    SettingsDocument settings{QDomDocument("KMR_ML"), QDomElement()};
    settings.root = settings.document.createElement("SetupFRX");
    settings.document.appendChild(settings.root);
    QDomElement fileSpecs = settings.document.createElement("FileSpecs");
    fileSpecs.setAttribute("Version", QString::number(kSettingsFileVersion));
    settings.root.appendChild(fileSpecs);
    return settings;
}

QByteArray settingsFileText(const QDomDocument& document) {
    QString out;
    const QString type = document.doctype().name();
    if (!type.isEmpty()) {
        out += "<!DOCTYPE " + type + ">\n";
    }
    const QDomElement root = document.documentElement();
    if (!root.isNull()) {
        writeElement(root, 0, out);
    }
    return out.toUtf8();
}

QString withSettingsSuffix(const QString& name) {
    if (name.endsWith(".frx", Qt::CaseInsensitive)) {
        return name;
    }
    return name + ".frx";
}

bool parseSettingsText(const QByteArray& text, QDomDocument& document) {
    if (!withinParseLimits(text)) {
        return false;
    }
    // The stream reader also refuses a duplicate attribute, which the DOM's own parser lets by.
    QXmlStreamReader reader(text);
    reader.setEntityExpansionLimit(kEntityExpansionLimit);
    return document.setContent(&reader, false);
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

int settingsFileVersion(const QDomElement& root) {
    const QDomNodeList fileSpecs = root.elementsByTagName("FileSpecs");
    if (fileSpecs.isEmpty()) {
        return 0;
    }
    bool isNumber = false;
    const int version = fileSpecs.at(0).toElement().attribute("Version").toInt(&isNumber, 10);
    return isNumber ? version : 0;
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

QDomElement paramElement(QDomDocument& document, uint16_t number, uint16_t value) {
    QDomElement element = document.createElement("Param" + QString::number(number));
    element.setAttribute("Type", "uint16");
    element.setAttribute("Value", QString::number(value));
    return element;
}

}  // namespace config_tool
