// What the image painters share: the palette of both programs, an empty canvas, and a main
// that writes each painted image into the output folder.
//   draw_<program>_images [OUTPUT_DIR]   (default: the current directory)
#pragma once

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainterPath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <vector>

namespace image_drawing {
const QColor kDeepBlue(16, 52, 110);
const QColor kSteel(70, 120, 190);
const QColor kAmber(240, 170, 40);

inline QImage blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The closed outline through `corners`, in order.
inline QPainterPath outline(std::initializer_list<QPointF> corners) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& corner : corners) {
        if (first) {
            path.moveTo(corner);
            first = false;
        } else {
            path.lineTo(corner);
        }
    }
    path.closeSubpath();
    return path;
}

struct ImageFile {
    const char* name;
    const char* format;  // a toolkit image plugin, e.g. "PNG", "XPM", "ICO"
    std::function<QImage()> paint;
};

// Paints and writes every file, reporting each one; exit code 1 when any could not be written.
inline int writeImageFiles(int argc, char** argv, const std::vector<ImageFile>& files) {
    QGuiApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    bool allWritten = true;
    for (const ImageFile& file : files) {
        const QImage image = file.paint();
        const QString path = dir.filePath(file.name);
        dir.mkpath(QFileInfo(path).path());
        if (!image.save(path, file.format)) {
            std::fprintf(stderr, "could not write %s (is the %s image plugin installed?)\n",
                         qPrintable(path), file.format);
            allWritten = false;
            continue;
        }
        std::printf("wrote %s (%dx%d)\n", qPrintable(path), image.width(), image.height());
    }
    return allWritten ? 0 : 1;
}
}  // namespace image_drawing
