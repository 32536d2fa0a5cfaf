// File copy over the POSIX calls, so that the failure reasons are the system's own texts.
#include "FileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace platform {
namespace {

constexpr const char* openText = "Cannot open file \"%1\". %2";
constexpr const char* createText = "Cannot create file \"%1\". %2";

// Owns a descriptor so that every way out of a copy closes it.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // A write the system delayed can fail only here, so the result counts.
    int close() {
        if (m_fd < 0) return 0;
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd);
    }

private:
    int m_fd;
};

[[noreturn]] void fail(const char* pattern, const QString& path, int error) {
    const QString text = QString::fromLatin1(pattern).arg(
        QFileInfo(path).absoluteFilePath(), QString::fromLocal8Bit(std::strerror(error)));
    throw std::runtime_error(text.toStdString());
}

}  // namespace

qint64 copyFile(const QString& source, const QString& destination, qint64 offset, qint64 count) {
    const QByteArray sourceName = QFile::encodeName(source);
    Descriptor in(::open(sourceName.constData(), O_RDONLY | O_CLOEXEC));
    if (!in.isOpen()) fail(openText, source, errno);
    struct stat sourceInfo {};
    if (::fstat(in.get(), &sourceInfo) != 0) fail(openText, source, errno);
    // A folder opens for reading here but is no file to copy.
    if (S_ISDIR(sourceInfo.st_mode)) fail(openText, source, EISDIR);

    const QByteArray destinationName = QFile::encodeName(destination);
    // Opened without truncating: only once it is known not to be the source may it be emptied.
    Descriptor out(::open(destinationName.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!out.isOpen()) fail(createText, destination, errno);
    struct stat destinationInfo {};
    if (::fstat(out.get(), &destinationInfo) != 0) fail(createText, destination, errno);
    // The source is open without sharing, so the same file under any name cannot be created.
    if (destinationInfo.st_dev == sourceInfo.st_dev && destinationInfo.st_ino == sourceInfo.st_ino)
        fail(createText, destination, EBUSY);
    // Devices such as /dev/null take writes but are neither truncated nor removed.
    const bool regular = S_ISREG(destinationInfo.st_mode);
    if (regular && ::ftruncate(out.get(), 0) != 0) fail(createText, destination, errno);

    // A half-made copy is worse than none.
    auto abandon = [&](const char* pattern, const QString& path, int error) {
        out.close();
        if (regular) ::unlink(destinationName.constData());
        fail(pattern, path, error);
    };

    const qint64 start = count == 0 ? 0 : offset;
    if (start != 0 && ::lseek(in.get(), off_t(start), SEEK_SET) < 0)
        abandon(openText, source, errno);

    std::vector<char> buffer(64 * 1024);
    qint64 copied = 0;
    for (;;) {
        size_t want = buffer.size();
        if (count != 0) {
            const qint64 left = count - copied;
            if (left <= 0) break;
            want = size_t(std::min<qint64>(left, qint64(want)));
        }
        const ssize_t got = ::read(in.get(), buffer.data(), want);
        if (got < 0) {
            if (errno == EINTR) continue;
            abandon(openText, source, errno);
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.get(), buffer.data() + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                abandon(createText, destination, errno);
            }
            done += put;
        }
        copied += got;
    }
    if (out.close() != 0) abandon(createText, destination, errno);
    return copied;
}

}  // namespace platform
