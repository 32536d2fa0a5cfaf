// The picture-open dialog and its recording for tests.
#include "PictureDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>
#include <cstdio>
#include <deque>

namespace platform {

namespace {

struct Recording {
    bool on = false;
    std::vector<PictureRequest> requests;
    std::deque<QString> answers;
};
Recording& recording() {
    static Recording r;
    return r;
}

// One line per dialog on standard error, the way the message boxes log theirs.
void logRequest(const QString& caption, const QString& filter) {
    QString line = caption.isEmpty() ? QStringLiteral("[%1]").arg(filter)
                                     : QStringLiteral("%1 [%2]").arg(caption, filter);
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "open picture: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

QStringList patternsOf(const QString& text, const QString& separators) {
    QStringList patterns;
    QString current;
    const auto flush = [&] {
        QString pattern = current.trimmed();
        current.clear();
        if (pattern.isEmpty()) return;
        // In the system's form "*.*" also matches names without a full stop.
        if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
        if (!patterns.contains(pattern)) patterns << pattern;
    };
    for (const QChar c : text) {
        if (separators.contains(c)) {
            flush();
        } else {
            current += c;
        }
    }
    flush();
    return patterns;
}

QStringList qtFilterList(const QString& systemFilter) {
    QStringList entries;
    const QStringList fields = systemFilter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QString description = fields[i].trimmed();
        const QStringList patterns = patternsOf(fields[i + 1], QStringLiteral(";"));
        if (patterns.isEmpty()) continue;
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && description.endsWith(QLatin1Char(')'))) {
            const QString listed = description.mid(open + 1, description.size() - open - 2);
            if (patternsOf(listed, QStringLiteral("; ")) == patterns) {
                description = description.left(open).trimmed();
            }
        }
        const QString group = QStringLiteral("(%1)").arg(patterns.join(QLatin1Char(' ')));
        entries << (description.isEmpty() ? group : description + QLatin1Char(' ') + group);
    }
    return entries;
}

}  // namespace

QString qtFileFilter(const QString& systemFilter) {
    return qtFilterList(systemFilter).join(QStringLiteral(";;"));
}

QString choosePicture(QWidget* parent, const QString& filter, const QString& caption) {
    logRequest(caption, filter);
    Recording& r = recording();
    if (r.on) {
        r.requests.push_back({filter, caption});
        if (r.answers.empty()) return QString();
        const QString path = r.answers.front();
        r.answers.pop_front();
        return path;
    }

    QFileDialog dialog(parent ? parent : QApplication::activeWindow(),
                       caption.isEmpty() ? QStringLiteral("Открыть") : caption);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = qtFilterList(filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

PictureDialogRecorder::PictureDialogRecorder() {
    recording() = Recording();
    recording().on = true;
}

PictureDialogRecorder::~PictureDialogRecorder() {
    recording() = Recording();
}

void PictureDialogRecorder::answer(const QString& path) {
    recording().answers.push_back(path);
}

const std::vector<PictureRequest>& PictureDialogRecorder::requests() const {
    return recording().requests;
}

}  // namespace platform
