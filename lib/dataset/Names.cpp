// Name lists; see Names.h.
#include "Names.h"

QStringList splitNames(const QString& names) {
    QStringList out;
    for (const QString& part : names.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString n = part.trimmed();
        if (!n.isEmpty()) out << n;
    }
    return out;
}
