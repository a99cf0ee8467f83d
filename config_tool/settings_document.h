// The settings file: an XML document with the type "KMR_ML", the root "SetupFRX", a "FileSpecs"
// version element and one element per drive parameter. This layer knows the format and the
// file system; the workflows (settings_file.cpp) bring in the questions and messages.
// The file is read with a stream reader in one pass and written as text: a document tree would
// only be built to look up 26 values, with a few thousand allocations per file.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace drive_link {
class FrontEnd;
}

namespace config_tool {

constexpr int kSettingsFileVersion = 100;

// One parameter as the file holds it: <Param<number> Type="uint16" Value="<value>"/>.
struct FileParam {
    uint16_t number;
    uint16_t value;
};
// The whole file's text for these parameters, one element per line in the given order, after the
// version: the same settings always give the same bytes.
QByteArray writeSettingsText(const std::vector<FileParam>& params);

// A "Value" as the loader reads it from a file of another version: a decimal integer, blanks
// around it allowed, 0 for text that is no number.
int wholeNumberOr0(const QString& text);
// A "Value" as the writer writes it: decimal digits and nothing else (at most nine of them, so
// that no overflow can hide a large number); none for any other text.
std::optional<int> decimalDigitsValue(const QString& text);

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

// What a settings file's text holds for the loader. Nesting and order do not matter: below the
// root, the first element of a name in document order is the one that counts.
struct SettingsText {
    QString rootName;
    int version = 0;  // "Version" of the first "FileSpecs"; 0 when missing or not a number
    // "Value" of the first element named "Param<number>", for each wanted number, as the file
    // writes it: none when the file has no such element, empty when the element has no "Value".
    std::vector<std::optional<QString>> values;
    // Elements the loader does not take: a second "FileSpecs" or parameter element of a name
    // (duplicate), or one named "Param..." that names no wanted parameter. In document order.
    struct Stray {
        QString element;  // the name as written
        QString value;    // its "Version" or "Value" text
        bool duplicate;
    };
    std::vector<Stray> strays;
};
// One pass over the text: false for malformed XML, duplicate attributes, a text above the size
// limit or past the bounds of nesting and entity expansion.
bool parseSettingsText(const QByteArray& text, const std::vector<uint16_t>& wanted,
                       SettingsText& read);

// Runs one step of interpreting a loaded file. Nothing below is meant to throw, but a failure
// that does must not take the program down: it shows "File load failed" and gives false.
bool guardSettingsLoad(drive_link::FrontEnd& frontEnd, const std::function<void()>& step);

}  // namespace config_tool
