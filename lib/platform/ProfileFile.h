// A profile file: a sectioned Key=Value text file kept in Windows-1251, read
// and rewritten whole on every call, so an edit made by hand is seen at once.
//
// The format as read: a line "[Name]" starts a section; inside a section a
// line "Key=Value" (split at the first '=') is a key, any other line is kept
// but means nothing. Section and key names match without regard to letter
// case, Cyrillic included, and without their surrounding blanks; the first
// matching section and, inside it, the first matching key count. A value is
// read without its surrounding blanks and cut to MaxValueLength characters.
// A UTF-8 byte order mark is skipped, not taken as a sign of UTF-8: the text
// after it is still Windows-1251. LF and CRLF line ends are both read.
//
// Writing keeps every line it does not change byte for byte (a mark at the
// start included) and ends every line with CRLF. Each write goes to a new file
// in the same folder that is synced and then renamed over the old one, so a
// reader or a crash sees either the old file or the new one, never half.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Windows-1251 through iconv. A character the code page cannot hold is
// written as '?'; a byte the code page leaves undefined (0x98) reads as U+FFFD.
QByteArray toWindows1251(const QString& text);
QString fromWindows1251(const QByteArray& bytes);

class ProfileFile {
public:
    static constexpr int MaxValueLength = 2047;

    explicit ProfileFile(const QString& path);

    QString path() const { return m_path; }

    // Empty when the file, the section or the key is absent or the file cannot be read.
    QString read(const QString& section, const QString& key) const;

    // Replaces the key's value, or adds the key at the end of its section, or
    // adds the section with the key at the end of the file; creates the file
    // when it is absent. Line breaks inside a name or value become blanks, as
    // a value is one line. Throws std::runtime_error "Unable to write to <path>"
    // when the platform refuses the write; the old file is then left as it was.
    void write(const QString& section, const QString& key, const QString& value);

    // Nothing is held back between calls; this makes the last rename durable.
    void flush();

private:
    QString m_path;
};

}  // namespace platform
