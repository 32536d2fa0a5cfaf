#include "TestDb.h"

#include <QtTest>

TestDb::TestDb(const QString& ddl) {
    m_path = m_dir.filePath(QStringLiteral("test.mdb"));
    SqliteConnection::createFile(m_path);
    SqliteConnection setup(m_path);
    setup.open();
    setup.execute(ddl);
    setup.close();
    m_connection = std::make_unique<SqliteConnection>(m_path);
}

void TestDb::exec(const QString& sql, const QVariantList& values) {
    SqliteConnection other(m_path);
    auto st = other.prepare(sql);
    for (int i = 0; i < values.size(); ++i) st->bindValue(i + 1, values[i]);
    while (st->step()) {
    }
}

QStringList TestDb::rows(const QString& sql) {
    SqliteConnection other(m_path);
    auto st = other.prepare(sql);
    QStringList out;
    while (st->step()) {
        QStringList cells;
        for (int c = 0; c < st->columnCount(); ++c) {
            const QVariant v = st->columnValue(c);
            cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
        }
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QVariant TestDb::scalar(const QString& sql) {
    SqliteConnection other(m_path);
    auto st = other.prepare(sql);
    return st->step() ? st->columnValue(0) : QVariant();
}
