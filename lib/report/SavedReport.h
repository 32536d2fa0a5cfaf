// The engine's own saved-report file: the page list, pictures included, read
// back exactly as it was written.
#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

#include "Pages.h"

namespace report {

// A file that cannot be written or read, or is not a saved report; the text
// is the message to show.
class ReportError : public std::runtime_error {
public:
    explicit ReportError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

inline const char* savedReportExtension = "rep";

QByteArray saveReport(const PageList& pages);
// Fails with ReportError on anything but a whole saved report.
PageList loadReport(const QByteArray& bytes);

// Writes the bytes to the file in one piece (nothing half written stays);
// fails with ReportError.
void writeReportFile(const QString& path, const QByteArray& bytes);
QByteArray readReportFile(const QString& path);

}  // namespace report
