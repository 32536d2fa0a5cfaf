// Copying a file, or a stretch of one, into a new or replaced file, with the
// platform's own failure texts.
#pragma once

#include <QString>

namespace platform {

// Copies `count` bytes of `source` starting at `offset` into `destination`,
// which is created or replaced; a count of 0 copies the whole file from its
// start whatever the offset. A stretch running past the end copies what there
// is. Returns the number of bytes copied. Both files are closed on every path.
//
// Failures throw std::runtime_error (UTF-8), the path in full:
// - "Cannot open file "<source>". <reason>" when the source cannot be opened or read;
// - "Cannot create file "<destination>". <reason>" when the destination cannot be
//   created or written (a partly written destination is removed). A destination
//   that is the source itself, under any name (a link, another spelling), is
//   refused as busy and left untouched, as an open file without sharing is.
qint64 copyFile(const QString& source, const QString& destination, qint64 offset, qint64 count);

}  // namespace platform
