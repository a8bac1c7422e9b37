// Writes the program's icon for the desktop's icon theme: the 32 x 32 16-colour picture as it
// is, larger PNGs scaled up pixel for pixel, and an SVG of the same pixels, so every size shows
// one design.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QTextStream>

#include <cstdio>

namespace {

bool writeSvg(const QImage &image, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream svg(&file);
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << image.width() << "\" height=\""
        << image.height() << "\" viewBox=\"0 0 " << image.width() << ' ' << image.height()
        << "\" shape-rendering=\"crispEdges\">\n";
    // One rectangle per run of equal pixels in a row keeps the file small and exact.
    for (int y = 0; y < image.height(); ++y) {
        int x = 0;
        while (x < image.width()) {
            const QRgb pixel = image.pixel(x, y);
            int end = x + 1;
            while (end < image.width() && image.pixel(end, y) == pixel)
                ++end;
            if (qAlpha(pixel) != 0) {
                svg << "  <rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << end - x
                    << "\" height=\"1\" fill=\"" << QColor(pixel).name() << "\"/>\n";
            }
            x = end;
        }
    }
    svg << "</svg>\n";
    return svg.status() == QTextStream::Ok && file.flush();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ICON.xpm OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    if (icon.isNull() || icon.size() != QSize(32, 32)) {
        std::fprintf(stderr, "%s: cannot read a 32 x 32 icon from %s\n", argv[0], argv[1]);
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QImage argb = icon.convertToFormat(QImage::Format_ARGB32);
    bool ok = icon.convertToFormat(QImage::Format_Indexed8).save(folder + "/32.png")
              && writeSvg(argb, folder + "/scalable.svg");
    for (int size : {48, 64, 128, 256}) {
        ok = ok
             && argb.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .save(folder + QStringLiteral("/%1.png").arg(size));
    }
    if (!ok) {
        std::fprintf(stderr, "%s: cannot write the icons into %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
