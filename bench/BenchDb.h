// The university-scale database the benchmarks run on, built once and kept:
// 30,000 students with Russian surnames, 1,500,000 grades (50 per student over
// semesters 1 to 10, stored semester by semester as an office would enter
// them), 30,000 curriculum-plan rows and 2,000 disciplines.
#pragma once

#include <QString>

namespace bench {
constexpr int Students = 30000;
constexpr int GradesPerStudent = 50;
constexpr int PlanRows = 30000;
constexpr int Disciplines = 2000;

// The database's path: $TESSALY_BENCH_DB, else bench.mdb in the current folder;
// built on first use.
QString database();
// The record-book number of student i (0-based): seven digits, as the office writes them.
QString studentNumber(int i);
}  // namespace bench
