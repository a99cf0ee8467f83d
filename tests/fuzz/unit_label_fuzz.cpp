// A unit label of any bytes: refused with a reason, or, checked through the toolkit's own UTF-8
// decoder rather than the label's, whole UTF-8 of 1 to 64 characters that shows as what it is
// (no control, format, separator or replacement character, no blank at either end), which the
// --unit option takes too.
#include <QString>
#include <QVector>

#include "fuzz_check.h"
#include "unit_label.h"

namespace {
bool showsAsItIs(uint c) {
    switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return false;
        default:
            return c != 0xFFFD;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray label(reinterpret_cast<const char*>(data), int(size));
    const QString refusal = command_line::unitLabelRefusal(label);
    if (!refusal.isEmpty()) {
        return 0;
    }
    const QString decoded = QString::fromUtf8(label);
    FUZZ_CHECK(decoded.toUtf8() == label, "an accepted label is whole UTF-8");
    const QVector<uint> characters = decoded.toUcs4();
    FUZZ_CHECK(!characters.isEmpty() && characters.size() <= 64, "1 to 64 characters");
    for (const uint c : characters) {
        FUZZ_CHECK(showsAsItIs(c), "no character that hides or rewrites what is shown");
    }
    FUZZ_CHECK(!QChar::isSpace(characters.first()) && !QChar::isSpace(characters.last()),
               "no blank at either end");
    FUZZ_CHECK(command_line::unitRefusal(decoded).isEmpty(), "--unit takes what a file may hold");
    return 0;
}
