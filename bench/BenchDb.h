// The university-scale database the benchmarks run on: what
// `tessaly-db generate --students 30000` writes (1,500,000 grades), built once
// and kept. It is named verdikon.mdb so the data module can open it in its folder.
#pragma once

#include <QString>

namespace bench {
constexpr int Students = 30000;

// $TESSALY_BENCH_DB, else university/verdikon.mdb under the current folder; built on first use.
QString database();
QString studentNumber(int i);
}  // namespace bench
