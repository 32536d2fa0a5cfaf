// The saved-report file: a magic header, a format version, then the page list
// through QDataStream (big-endian, doubles in full, strings as UTF-16) with
// every picture as PNG and the image format it had, so it loads back equal.
//
//   magic "\x89TESSALY REPORT\r\n\x1A\n"   (catches 7-bit and newline-converting copies)
//   quint32 version
//   double pageWidth, pageHeight; QString title; quint32 pages
//   per page: quint32 items; per item: quint8 kind, then
//     text:    double x, y, w, h; QString text, family; double points; bool bold;
//              quint8 align; bool wrap
//     line:    double x1, y1, x2, y2, widthPt
//     picture: double x, y, w, h; qint32 image format; QByteArray PNG (empty: none)
//
// A loader reads its own version and every older one; anything else, and any
// file that does not end exactly where its last item does, is refused.
#include "SavedReport.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cmath>
#include <type_traits>

namespace report {

namespace {

const QByteArray Magic = QByteArrayLiteral("\x89TESSALY REPORT\r\n\x1A\n");
constexpr quint32 Version = 1;
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_0;

enum class Kind : quint8 { Text = 0, Line = 1, Picture = 2 };

void writeBox(QDataStream& out, const QRectF& r) {
    out << r.x() << r.y() << r.width() << r.height();
}

void write(QDataStream& out, const TextItem& t) {
    out << quint8(Kind::Text);
    writeBox(out, t.box);
    out << t.text << t.font.family << t.font.points << t.font.bold << quint8(t.align) << t.wrap;
}

void write(QDataStream& out, const LineItem& l) {
    out << quint8(Kind::Line) << l.from.x() << l.from.y() << l.to.x() << l.to.y() << l.widthPt;
}

void write(QDataStream& out, const PictureItem& p) {
    out << quint8(Kind::Picture);
    writeBox(out, p.box);
    QByteArray png;
    if (!p.picture.isNull()) {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!p.picture.save(&buffer, "PNG"))
            throw ReportError(QStringLiteral("A picture of the report cannot be saved"));
    }
    out << qint32(p.picture.format()) << png;
}

[[noreturn]] void damaged(const char* what = nullptr) {
    QString text = QStringLiteral("The saved report is damaged");
    if (what) text += QLatin1String(": ") + QLatin1String(what);
    throw ReportError(text);
}

class Reader {
public:
    explicit Reader(QDataStream& in) : m_in(in) {}

    template <typename T>
    T read() {
        T value{};
        m_in >> value;
        check();
        // The pages are paper in millimetres and points: no infinities, no NaN.
        if constexpr (std::is_floating_point_v<T>)
            if (!std::isfinite(value)) damaged("a number that is not finite");
        return value;
    }

    QRectF box() {
        const double x = read<double>(), y = read<double>();
        const double w = read<double>(), h = read<double>();
        return {x, y, w, h};
    }

    Item item() {
        switch (read<quint8>()) {
            case quint8(Kind::Text): {
                TextItem t;
                t.box = box();
                t.text = read<QString>();
                t.font.family = read<QString>();
                t.font.points = read<double>();
                t.font.bold = read<bool>();
                const quint8 align = read<quint8>();
                if (align > quint8(Align::Center)) damaged("a text of unknown alignment");
                t.align = Align(align);
                t.wrap = read<bool>();
                return t;
            }
            case quint8(Kind::Line): {
                LineItem l;
                const double x1 = read<double>(), y1 = read<double>();
                const double x2 = read<double>(), y2 = read<double>();
                l.from = {x1, y1};
                l.to = {x2, y2};
                l.widthPt = read<double>();
                return l;
            }
            case quint8(Kind::Picture): {
                PictureItem p;
                p.box = box();
                const qint32 format = read<qint32>();
                const QByteArray png = read<QByteArray>();
                if (png.isEmpty()) return p;
                if (format <= QImage::Format_Invalid || format >= QImage::NImageFormats)
                    damaged("a picture of unknown format");
                QImage picture = QImage::fromData(png, "PNG");
                if (picture.isNull()) damaged("a picture cannot be read");
                // PNG keeps the pixels, not the image format, which equality also compares.
                if (picture.format() != QImage::Format(format))
                    picture.convertTo(QImage::Format(format));
                p.picture = picture;
                return p;
            }
            default:
                damaged("an item of unknown kind");
        }
    }

private:
    void check() {
        switch (m_in.status()) {
            case QDataStream::Ok:
                return;
            case QDataStream::ReadPastEnd:
                throw ReportError(QStringLiteral("The saved report is cut short"));
            default:
                damaged();
        }
    }

    QDataStream& m_in;
};

}  // namespace

QByteArray saveReport(const PageList& pages) {
    QByteArray bytes = Magic;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly | QIODevice::Append);
    QDataStream out(&buffer);
    out.setVersion(StreamVersion);
    out << Version;
    out << pages.pageWidth << pages.pageHeight << pages.title << quint32(pages.pages.size());
    for (const Page& page : pages.pages) {
        out << quint32(page.items.size());
        for (const Item& item : page.items)
            std::visit([&](const auto& it) { write(out, it); }, item);
    }
    return bytes;
}

PageList loadReport(const QByteArray& bytes) {
    if (bytes.isEmpty())
        throw ReportError(QStringLiteral("The file is empty; it is not a saved report"));
    if (!bytes.startsWith(Magic)) {
        if (Magic.startsWith(bytes))
            throw ReportError(QStringLiteral("The saved report is cut short"));
        throw ReportError(QStringLiteral("The file is not a saved report"));
    }
    QDataStream in(bytes.sliced(Magic.size()));
    in.setVersion(StreamVersion);
    Reader reader(in);
    const quint32 version = reader.read<quint32>();
    if (version == 0) damaged("its version is 0");
    if (version > Version)
        throw ReportError(QStringLiteral("The saved report is of version %1, newer than this "
                                         "program reads (version %2 and older)")
                              .arg(version)
                              .arg(Version));
    PageList pages;
    pages.pageWidth = reader.read<double>();
    pages.pageHeight = reader.read<double>();
    pages.title = reader.read<QString>();
    // Counts are not trusted for allocation: a damaged one ends in "cut short".
    const quint32 pageCount = reader.read<quint32>();
    for (quint32 i = 0; i < pageCount; ++i) {
        Page page;
        const quint32 items = reader.read<quint32>();
        for (quint32 j = 0; j < items; ++j) page.items.push_back(reader.item());
        pages.pages.push_back(std::move(page));
    }
    if (!in.atEnd()) damaged("bytes follow its end");
    return pages;
}

void writeReportFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    auto fail = [&](const char* pattern) {
        throw ReportError(QString::fromLatin1(pattern).arg(QFileInfo(path).absoluteFilePath(),
                                                           file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly)) fail("Cannot create file \"%1\". %2");
    if (file.write(bytes) != bytes.size()) fail("Cannot write file \"%1\". %2");
    if (!file.commit()) fail("Cannot write file \"%1\". %2");
}

QByteArray readReportFile(const QString& path) {
    QFile file(path);
    auto fail = [&](const QString& reason) {
        throw ReportError(QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(QFileInfo(path).absoluteFilePath(), reason));
    };
    if (QFileInfo(path).isDir()) fail(QStringLiteral("Is a directory"));
    if (!file.open(QIODevice::ReadOnly)) fail(file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) fail(file.errorString());
    return bytes;
}

}  // namespace report
