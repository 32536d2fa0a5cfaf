// Synthetic databases at scale, for load tests and benchmarks: N students with
// fifty grades each and a faculty structure in proportion.
#pragma once

#include <QString>

namespace dbtools {

constexpr int GradesPerStudent = 50;  // ten semesters of five plan rows
constexpr int MaxGeneratedStudents = 1000000;

struct GeneratedSizes {
    int students = 0;
    int teachers = 0;
    int groups = 0;
    int specialties = 0;
    int faculties = 0;
    int departments = 0;
    int disciplines = 0;
};
// How many of each a database of that many students holds.
GeneratedSizes generatedSizes(int students);

// The record-book number of student i (0-based): seven digits, unique for every i below 9,000,000.
QString generatedStudentNumber(int i);

// Creates the database at path (refusing an existing file) with every table filled:
// students 1..MaxGeneratedStudents. Throws DataError; a failed run leaves no file behind.
void generate(const QString& path, int students);

}  // namespace dbtools
