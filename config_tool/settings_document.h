// The settings file: an XML document with the type "KMR_ML", the root "SetupFRX", a "FileSpecs"
// version element and one element per drive parameter. This layer knows the format and the
// file system; the workflows (settings_file.cpp) bring in the questions and messages.
#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <cstdint>
#include <functional>

namespace drive_link {
class FrontEnd;
}

namespace config_tool {

constexpr int kSettingsFileVersion = 100;

struct SettingsDocument {
    QDomDocument document;
    QDomElement root;  // already holds "FileSpecs"; the parameters go after it
};
SettingsDocument newSettingsDocument();

// The file's text, one element per line. Attributes are written in a fixed order ("Type" before
// "Value"), so the same settings always give the same bytes; the DOM's own writer orders them
// by hash.
QByteArray settingsFileText(const QDomDocument& document);

// ".frx" unless the name already ends so, in any letter case.
QString withSettingsSuffix(const QString& name);

// Reading a settings file that may be anything: a real one is under 1 KB, so a file above the
// size limit, a FIFO or a device is refused before a byte is read, and the parse bounds nesting
// and entity expansion, so that no file can take the window's memory, stack or time.
constexpr qint64 kSettingsFileSizeLimit = 64 * 1024;
enum class SettingsRead {
    Read,
    CannotOpen,  // "File not found"
    Refused,     // not a settings file by its kind or size: "File read failed"
};
// The file's bytes, at most the size limit of them; the parse is the caller's.
SettingsRead readSettingsFile(const QString& path, QByteArray& text);
// The parse alone: false for malformed XML, duplicate attributes, or text past the bounds.
bool parseSettingsText(const QByteArray& text, QDomDocument& document);

// "Version" of the first "FileSpecs" below the root; 0 when missing or not a number.
int settingsFileVersion(const QDomElement& root);

// Runs one step of interpreting a loaded document. Nothing below is meant to throw, but a
// failure that does must not take the program down: it shows "File load failed" and gives false.
bool guardSettingsLoad(drive_link::FrontEnd& frontEnd, const std::function<void()>& step);

// One parameter as the file holds it: <Param<number> Type="uint16" Value="<value>"/>.
QDomElement paramElement(QDomDocument& document, uint16_t number, uint16_t value);

}  // namespace config_tool
