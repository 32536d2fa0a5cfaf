// The one failure type of the dataset engine; its text is the message the user sees.
#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

class DataError : public std::runtime_error {
public:
    explicit DataError(const QString& text) : std::runtime_error(text.toStdString()) {}
    // A database server's failure: its text in the server's own language, and
    // the code (SQLSTATE) by which the program and its tests tell failures apart.
    DataError(const QString& text, QByteArray code)
        : std::runtime_error(text.toStdString()), m_code(std::move(code)) {}
    QString text() const { return QString::fromUtf8(what()); }
    // The server's SQLSTATE ("23505"); empty for the engine's own failures and SQLite's.
    QByteArray code() const { return m_code; }

private:
    QByteArray m_code;
};

// The texts the engine uses in more than one place.
namespace msg {
inline QString notEditing() { return QStringLiteral("Dataset not in edit or insert mode"); }
inline QString emptyDataset() {
    return QStringLiteral("Cannot perform this operation on an empty dataset");
}
inline QString closedDataset() {
    return QStringLiteral("Cannot perform this operation on a closed dataset");
}
inline QString openDataset() {
    return QStringLiteral("Cannot perform this operation on an open dataset");
}
inline QString readOnlyDataset() { return QStringLiteral("Cannot modify a read-only dataset"); }
inline QString fieldNotFound(const QString& name) {
    return QStringLiteral("Field '%1' not found").arg(name);
}
inline QString fieldReadOnly(const QString& name) {
    return QStringLiteral("Field '%1' cannot be modified").arg(name);
}
inline QString mustHaveValue(const QString& label) {
    return QStringLiteral("Field '%1' must have a value").arg(label);
}
inline QString invalidInteger(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}
inline QString invalidFloat(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}
inline QString invalidDate(const QString& text) {
    return QStringLiteral("'%1' is not a valid date").arg(text);
}
inline QString parameterNotFound(const QString& name) {
    return QStringLiteral("Parameter '%1' not found").arg(name);
}
inline QString recordNotFound() { return QStringLiteral("Record not found"); }
// A post or delete found the row changed or gone since this dataset read it.
inline QString rowChangedElsewhere() {
    return QStringLiteral("Запись изменена или удалена на другом рабочем месте. Обновите данные.");
}
}  // namespace msg
