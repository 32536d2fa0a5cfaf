// An export filter: a file kind the preview can save its pages as, besides
// its own saved report and PDF.
#pragma once

#include <QByteArray>
#include <QString>

#include "Pages.h"

namespace report {

class ExportFilter {
public:
    virtual ~ExportFilter() = default;
    // As the save dialog lists it: "Text file", "HTML document".
    virtual QString description() const = 0;
    // Without the full stop: "TXT", "HTM".
    virtual QString extension() const = 0;
    virtual QByteArray write(const PageList& pages) const = 0;
};

// Plain text, UTF-8: each text at its line and column, pages separated by a form feed.
class TextFilter : public ExportFilter {
public:
    QString description() const override { return QStringLiteral("Text file"); }
    QString extension() const override { return QStringLiteral("TXT"); }
    QByteArray write(const PageList& pages) const override;
};

// An HTML 5 document, UTF-8: one block per page, elements placed in millimetres.
class HtmlFilter : public ExportFilter {
public:
    QString description() const override { return QStringLiteral("HTML document"); }
    QString extension() const override { return QStringLiteral("HTM"); }
    QByteArray write(const PageList& pages) const override;
};

}  // namespace report
