// Prints the user manual from its Markdown source into a PDF with the toolkit alone:
//   make_manual SOURCE.md OUTPUT.pdf
// Pictures are looked up beside the source and scaled down to fit the page; every top-level
// heading but the first starts a new page. Exit code 1 when a picture or a file is missing.
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// Document pixels (1/96 inch): a picture fits between the 2 cm margins of an A4 page and
// leaves room for its text on the page.
constexpr qreal kPictureWidth = 600;
constexpr qreal kPictureHeight = 500;

struct Span {
    int position;
    int length;
    QTextCharFormat format;
};

void setSpanFormat(QTextDocument& doc, const Span& span) {
    QTextCursor cursor(&doc);
    cursor.setPosition(span.position);
    cursor.setPosition(span.position + span.length, QTextCursor::KeepAnchor);
    cursor.setCharFormat(span.format);
}

bool fitPicturesAndPages(QTextDocument& doc, const QDir& folder) {
    std::vector<Span> pictures;
    std::vector<Span> code;  // the Markdown reader sets the platform's fixed font on code
    const QString fixedFamily = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    bool firstChapter = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (QTextTable* table = QTextCursor(block).currentTable()) {
            QTextTableFormat format = table->format();
            format.setCellPadding(3);
            table->setFormat(format);
        }
        if (block.blockFormat().headingLevel() == 1) {
            QTextBlockFormat format = block.blockFormat();
            format.setPageBreakPolicy(firstChapter ? QTextFormat::PageBreak_Auto
                                                   : QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(block).setBlockFormat(format);
            firstChapter = false;
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const Span span{fragment.position(), fragment.length(), fragment.charFormat()};
            if (span.format.isImageFormat()) {
                pictures.push_back(span);
            } else if (span.format.font().family() == fixedFamily) {
                code.push_back(span);
            }
        }
    }
    // Without a display that fixed font may well be a proportional one.
    for (Span& span : code) {
        span.format.setFontFamilies({QStringLiteral("DejaVu Sans Mono")});
        setSpanFormat(doc, span);
    }
    for (Span& span : pictures) {
        QTextImageFormat picture = span.format.toImageFormat();
        const QImage image(folder.filePath(picture.name()));
        if (image.isNull()) {
            std::fprintf(stderr, "make_manual: cannot read picture %s\n",
                         qPrintable(folder.filePath(picture.name())));
            return false;
        }
        // Printing works on a copy of the document, which does not resolve names against the
        // source's folder; a full file URL loads anywhere.
        picture.setName(QUrl::fromLocalFile(folder.absoluteFilePath(picture.name())).toString());
        const qreal scale =
            std::min({1.0, kPictureWidth / image.width(), kPictureHeight / image.height()});
        picture.setWidth(image.width() * scale);
        picture.setHeight(image.height() * scale);
        span.format = picture;
        setSpanFormat(doc, span);
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_manual SOURCE.md OUTPUT.pdf\n");
        return 2;
    }
    const QFileInfo sourceInfo(QString::fromLocal8Bit(argv[1]));
    QFile source(sourceInfo.filePath());
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_manual: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument doc;
    doc.setDefaultFont(QFont("DejaVu Sans", 10));
    doc.setMarkdown(QString::fromUtf8(source.readAll()));
    if (!fitPicturesAndPages(doc, sourceInfo.absoluteDir())) {
        return 1;
    }
    const QString output = QString::fromLocal8Bit(argv[2]);
    {
        QPdfWriter writer(output);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setTitle("Morvane and Tressel user manual");
        writer.setCreator("make_manual");
        doc.print(&writer);
    }
    if (QFileInfo(output).size() == 0) {
        std::fprintf(stderr, "make_manual: could not write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
