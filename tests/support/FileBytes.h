// Reading a file whole and writing one afresh, for tests that look at the bytes
// a program left behind or hand it a file of their making.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QTest>

// The file's bytes; empty when it cannot be read.
inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Replaces the file with these bytes; the test fails when it cannot.
inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}
