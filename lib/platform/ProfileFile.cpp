// The profile file: Windows-1251 text through iconv, parsed afresh on every
// read and replaced atomically on every write.
#include "ProfileFile.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace platform {

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

// One iconv conversion; an input sequence the target cannot take is replaced,
// so neither a foreign character nor a stray byte ever stops the conversion.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("No conversion from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // skipUtf8: the input is UTF-8, so a refused character spans its whole sequence.
    QByteArray convert(const QByteArray& input, const QByteArray& replacement, bool skipUtf8) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        QByteArray out;
        // Windows-1251 to UTF-8 takes at most three bytes a character.
        out.resize(input.size() * 3 + 16);
        char* in = const_cast<char*>(input.constData());
        size_t inLeft = size_t(input.size());
        char* o = out.data();
        size_t outLeft = size_t(out.size());
        const auto grow = [&] {
            const qsizetype used = o - out.data();
            out.resize(out.size() * 2);
            o = out.data() + used;
            outLeft = size_t(out.size() - used);
        };
        while (inLeft > 0) {
            if (iconv(m_cd, &in, &inLeft, &o, &outLeft) != size_t(-1)) break;
            if (errno == E2BIG) {
                grow();
            } else if (errno == EILSEQ || errno == EINVAL) {
                while (outLeft < size_t(replacement.size())) grow();
                std::memcpy(o, replacement.constData(), size_t(replacement.size()));
                o += replacement.size();
                outLeft -= size_t(replacement.size());
                const size_t skip = std::min(skipUtf8 ? utf8Length(uchar(*in)) : 1, inLeft);
                in += skip;
                inLeft -= skip;
            } else {
                break;
            }
        }
        out.resize(o - out.data());
        return out;
    }

private:
    static size_t utf8Length(uchar lead) {
        if (lead >= 0xF0 && lead <= 0xF7) return 4;
        if (lead >= 0xE0) return 3;
        if (lead >= 0xC0) return 2;
        return 1;
    }

    iconv_t m_cd;
};

QByteArray encode(Converter& c, const QString& text) {
    return c.convert(text.toUtf8(), QByteArrayLiteral("?"), true);
}

QString decode(Converter& c, const QByteArray& bytes) {
    return QString::fromUtf8(c.convert(bytes, QByteArrayLiteral("\xEF\xBF\xBD"), false));
}

// The file's bytes; absent reports whether it does not exist at all.
bool readBytes(const QString& path, QByteArray* bytes, bool* absent) {
    *absent = false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *absent = errno == ENOENT;
        return false;
    }
    bytes->clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        bytes->append(buffer, n);
    }
    ::close(fd);
    return true;
}

// The file as lines without their ends; a byte order mark is kept apart.
struct Lines {
    QByteArray mark;
    QList<QByteArray> raw;
    QList<QString> text;
};

Lines splitLines(const QByteArray& bytes, Converter& decoder) {
    Lines lines;
    QByteArray body = bytes;
    if (body.startsWith(Utf8Bom)) {
        lines.mark = Utf8Bom;
        body.remove(0, Utf8Bom.size());
    }
    if (body.isEmpty()) return lines;
    lines.raw = body.split('\n');
    if (body.endsWith('\n')) lines.raw.removeLast();
    for (QByteArray& line : lines.raw) {
        if (line.endsWith('\r')) line.chop(1);
        lines.text.append(decode(decoder, line));
    }
    return lines;
}

bool isSection(const QString& line, QString* name) {
    const QString t = line.trimmed();
    if (!t.startsWith(u'[')) return false;
    const qsizetype close = t.indexOf(u']');
    if (close < 0) return false;
    *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool isKey(const QString& line, QString* key, QString* value) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) return false;
    *key = line.left(eq).trimmed();
    *value = line.mid(eq + 1).trimmed();
    return true;
}

bool sameName(const QString& inFile, const QString& asked) {
    return QString::compare(inFile, asked.trimmed(), Qt::CaseInsensitive) == 0;
}

qsizetype findSection(const Lines& lines, const QString& section) {
    QString name;
    for (qsizetype i = 0; i < lines.text.size(); ++i) {
        if (isSection(lines.text[i], &name) && sameName(name, section)) return i;
    }
    return -1;
}

QString oneLine(QString text) {
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

[[noreturn]] void refuse(const QString& path) {
    throw std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString());
}

bool writeAll(int fd, const QByteArray& content) {
    const char* p = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= n;
    }
    return true;
}

void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Writes a sibling file, syncs it and renames it over the target, so the
// target always holds either its old or its new content.
bool replaceFile(const QString& path, const QByteArray& content) {
    QFileInfo info(path);
    // Replacing a link would cut it off from the file it stands for.
    if (info.isSymLink() && info.exists()) info = QFileInfo(info.canonicalFilePath());
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());

    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    // A rename ignores the file's own permission; a read-only file must still refuse.
    if (exists && ::access(target.constData(), W_OK) != 0) return false;

    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "/." + QFile::encodeName(info.fileName()) + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate(), 16);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    if (exists) ::fchmod(fd, old.st_mode & 07777);

    bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
        return false;
    }
    syncFolder(folder);
    return true;
}

}  // namespace

QByteArray toWindows1251(const QString& text) {
    Converter encoder("WINDOWS-1251", "UTF-8");
    return encode(encoder, text);
}

QString fromWindows1251(const QByteArray& bytes) {
    Converter decoder("UTF-8", "WINDOWS-1251");
    return decode(decoder, bytes);
}

ProfileFile::ProfileFile(const QString& path) : m_path(path) {}

QString ProfileFile::read(const QString& section, const QString& key) const {
    QByteArray bytes;
    bool absent = false;
    if (!readBytes(m_path, &bytes, &absent)) return QString();
    Converter decoder("UTF-8", "WINDOWS-1251");
    const Lines lines = splitLines(bytes, decoder);
    const qsizetype start = findSection(lines, section);
    if (start < 0) return QString();
    QString name, fileKey, value;
    for (qsizetype i = start + 1; i < lines.text.size(); ++i) {
        if (isSection(lines.text[i], &name)) break;
        if (isKey(lines.text[i], &fileKey, &value) && sameName(fileKey, key))
            return value.left(MaxValueLength);
    }
    return QString();
}

void ProfileFile::write(const QString& section, const QString& key, const QString& value) {
    QByteArray bytes;
    bool absent = false;
    // An unreadable file cannot be rewritten without losing what it holds.
    if (!readBytes(m_path, &bytes, &absent) && !absent) refuse(m_path);

    Converter decoder("UTF-8", "WINDOWS-1251");
    Converter encoder("WINDOWS-1251", "UTF-8");
    Lines lines = splitLines(bytes, decoder);
    const QByteArray encodedValue = encode(encoder, oneLine(value));
    const QByteArray newLine = encode(encoder, oneLine(key)) + '=' + encodedValue;

    const qsizetype start = findSection(lines, section);
    if (start < 0) {
        lines.raw.append('[' + encode(encoder, oneLine(section)) + ']');
        lines.raw.append(newLine);
    } else {
        qsizetype lastFilled = start;
        qsizetype found = -1;
        QString name, fileKey, fileValue;
        for (qsizetype i = start + 1; i < lines.text.size(); ++i) {
            if (isSection(lines.text[i], &name)) break;
            if (!lines.text[i].trimmed().isEmpty()) lastFilled = i;
            if (isKey(lines.text[i], &fileKey, &fileValue) && sameName(fileKey, key)) {
                found = i;
                break;
            }
        }
        if (found >= 0) {
            // The key keeps the spelling the file gives it.
            const QByteArray& line = lines.raw[found];
            lines.raw[found] = line.left(line.indexOf('=')).trimmed() + '=' + encodedValue;
        } else {
            lines.raw.insert(lastFilled + 1, newLine);
        }
    }

    QByteArray content = lines.mark;
    for (const QByteArray& line : lines.raw) content += line + "\r\n";
    if (!replaceFile(m_path, content)) refuse(m_path);
}

void ProfileFile::flush() {
    syncFolder(QFile::encodeName(QFileInfo(m_path).absolutePath()));
}

}  // namespace platform
