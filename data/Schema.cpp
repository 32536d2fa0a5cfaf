#include "Schema.h"

#include "Connection.h"
#include "DataError.h"

namespace schema {

namespace {
Column counter(const char* name) { return {QString::fromUtf8(name), Type::Counter, 0, true, true}; }
Column integer(const char* name) { return {QString::fromUtf8(name), Type::Integer}; }
Column smallint(const char* name) { return {QString::fromUtf8(name), Type::SmallInt}; }
Column text(const char* name, int size) { return {QString::fromUtf8(name), Type::Text, size}; }
Column date(const char* name) { return {QString::fromUtf8(name), Type::DateTime}; }
Column key(Column c, bool required = false) {
    c.key = true;
    c.required = required;
    return c;
}

std::vector<Table> build() {
    return {
        {"Studenti",
         {key(text("N_student", 50), true), text("Fam", 30), text("Name", 20), text("SecName", 20),
          date("BirthDate"), text("Sex", 50), date("EnterDate"), text("FamilyPosition", 50),
          text("Education", 50), text("City", 20), text("Street", 10), text("House", 50),
          text("Apar", 50), text("Type_Stud", 50), integer("ID_group"), smallint("PodGroupe"),
          text("Citizen", 50), text("Foto", 255)}},
        {"Parents",
         {text("PFam", 30), text("Pname", 20), text("PSecondName", 20), text("City", 20),
          text("Street", 10), text("House", 50), text("Apar", 50), text("Sex", 50),
          text("N_Student", 50)}},
        {"Ocenki",
         {text("N_student", 50), date("Date"), integer("ID_Result"), integer("ID_Plan"),
          integer("Semestr")}},
        {"ID_Result", {key(integer("ID_Result")), text("Nazvanie", 50), text("Sokr_nazv", 50)}},
        {"PlanSpec",
         {counter("ID_Plan"), text("ID_Spec", 50), integer("Ndis"), integer("Semestr"),
          integer("Time_Lekcii"), integer("Time_Prakt"), integer("ID_Kontrol")}},
        {"ID_kontrol", {key(integer("ID_KONTROL")), text("Nazvanie", 0)}},
        {"Disciplins", {counter("Ndis"), text("NameDis", 150), integer("TypeDis")}},
        {"Specialnost",
         {text("Nazvanie", 255), integer("ID_Facultet"), key(text("ID_Spec", 50), true)}},
        {"Gruppa",
         {counter("ID_GRoup"), text("Nazvanie", 50), text("ID_Specialnost", 50),
          text("ID_Starosta", 50), integer("ID_Kyrator")}},
        {"Facultet", {counter("ID_Facultet"), text("Nazvanie", 50), integer("ID_Dekan")}},
        {"Kafedra",
         {smallint("ID_facultet"), text("Nazvanie", 50), key(integer("ID_kafedra")),
          smallint("Zav_Kafedri")}},
        {"Prepodavateli",
         {key(integer("ID_Prepod"), true), text("Фамилия", 255), text("Имя", 255),
          text("Отчество", 255), date("День рождения"), text("Место рожд", 255),
          text("Пол", 50), text("Гражданство", 255), text("Статус", 255), integer("Kur_Gr"),
          integer("ID_kafedra"), text("City", 20), text("Street", 10), text("House", 50),
          text("Apar", 50), text("Foto", 50), text("Звание", 255), text("Степень", 255),
          smallint("Должность")}},
        {"N_Zvanie", {counter("ID_Zvanie"), text("NAME", 255)}},
        {"Dolgnost", {text("SNAME", 255), text("NAME", 255), counter("ID_Dolgnost")}},
        {"N_Stepen", {counter("ID_Stepen"), text("SNAME", 255), text("NAME", 255)}},
    };
}

QString declaredType(const Column& c) {
    switch (c.type) {
        case Type::Counter: return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
        case Type::Integer: return QStringLiteral("INTEGER");
        case Type::SmallInt: return QStringLiteral("SMALLINT");
        case Type::DateTime: return QStringLiteral("DATETIME");
        case Type::Text:
            return c.size > 0 ? QStringLiteral("TEXT(%1)").arg(c.size) : QStringLiteral("TEXT");
    }
    return {};
}

enum class Family { Text, Number, Date, Other };

Family familyOf(const QString& decl) {
    const QString t = decl.toUpper();
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("TEXT")) ||
        t.contains(QLatin1String("CLOB")))
        return Family::Text;
    if (t.contains(QLatin1String("INT")) || t.contains(QLatin1String("COUNTER")))
        return Family::Number;
    if (t.contains(QLatin1String("DATE")) || t.contains(QLatin1String("TIME"))) return Family::Date;
    return Family::Other;
}

Family familyOf(Type t) {
    switch (t) {
        case Type::Text: return Family::Text;
        case Type::DateTime: return Family::Date;
        default: return Family::Number;
    }
}
}  // namespace

const std::vector<Table>& tables() {
    static const std::vector<Table> all = build();
    return all;
}

const Table* findTable(const QString& name) {
    for (const Table& t : tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0) return &t;
    return nullptr;
}

QStringList createStatements() {
    QStringList out;
    for (const Table& t : tables()) {
        QStringList cols;
        for (const Column& c : t.columns) {
            QString def = quoteIdentifier(c.name) + QLatin1Char(' ') + declaredType(c);
            if (c.type != Type::Counter) {
                if (c.required) def += QStringLiteral(" NOT NULL");
                if (c.key) def += QStringLiteral(" UNIQUE");
            }
            cols << def;
        }
        out << QStringLiteral("CREATE TABLE %1 (%2)")
                   .arg(quoteIdentifier(t.name), cols.join(QStringLiteral(", ")));
    }
    // The links the program follows most: grades and parents by student, plans by specialty.
    out << QStringLiteral("CREATE INDEX \"Ocenki_N_student\" ON \"Ocenki\" (\"N_student\")")
        << QStringLiteral("CREATE INDEX \"Parents_N_Student\" ON \"Parents\" (\"N_Student\")")
        << QStringLiteral("CREATE INDEX \"PlanSpec_ID_Spec\" ON \"PlanSpec\" (\"ID_Spec\")");
    return out;
}

void create(Connection& c) {
    c.execute(QStringLiteral("BEGIN"));
    try {
        for (const QString& sql : createStatements()) c.execute(sql);
        c.execute(QStringLiteral("COMMIT"));
    } catch (...) {
        c.execute(QStringLiteral("ROLLBACK"));
        throw;
    }
}

QStringList problems(Connection& c) {
    QStringList out;
    for (const Table& t : tables()) {
        const QString actual = c.tableName(t.name);
        if (actual.isEmpty()) {
            out << QStringLiteral("table %1 is missing").arg(t.name);
            continue;
        }
        const auto columns = c.tableColumns(actual);
        int keyColumns = 0;
        for (const auto& col : columns) keyColumns += col.primaryKey ? 1 : 0;
        for (const Column& want : t.columns) {
            const Connection::ColumnInfo* found = nullptr;
            for (const auto& col : columns)
                if (col.name.compare(want.name, Qt::CaseInsensitive) == 0) found = &col;
            if (!found) {
                out << QStringLiteral("column %1.%2 is missing").arg(t.name, want.name);
                continue;
            }
            if (want.type == Type::Counter) {
                if (!(found->primaryKey && keyColumns == 1 &&
                      found->declType.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0))
                    out << QStringLiteral("column %1.%2 is not a counter (INTEGER PRIMARY KEY)")
                               .arg(t.name, want.name);
            } else if (familyOf(found->declType) != familyOf(want.type)) {
                out << QStringLiteral("column %1.%2 has type %3, expected %4")
                           .arg(t.name, want.name,
                                found->declType.isEmpty() ? QStringLiteral("(none)") : found->declType,
                                declaredType(want));
            }
        }
    }
    return out;
}

}  // namespace schema
