#include "settings_document.h"

#include <QDomNamedNodeMap>
#include <QDomNodeList>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>

#include "front_end.h"

namespace {
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

bool writeFileAtomically(const QString& path, const QByteArray& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // The toolkit's commit does not notice a short write at its final flush (a full disk, a
    // file size limit) and would put a truncated file in place of the old one, so the text is
    // flushed and checked first.
    if (file.write(text) != text.size() || !file.flush() || file.size() != text.size()) {
        file.cancelWriting();
        file.commit();  // discards the temporary file
        return false;
    }
    return file.commit();
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
        frontEnd.showMessage(MessageKind::Warning, "Error", frontEnd.translate("File load failed"));
        return false;
    }
}

QDomElement paramElement(QDomDocument& document, uint16_t number, uint16_t value) {
    QDomElement element = document.createElement("Param" + QString::number(number));
    element.setAttribute("Type", "uint16");
    element.setAttribute("Value", QString::number(value));
    return element;
}
