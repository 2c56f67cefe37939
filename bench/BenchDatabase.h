#pragma once

#include <QString>
#include <cstdint>

// How many contacts the benchmark database holds.
constexpr std::int64_t kBenchContacts = 1000000;

// The path of the database the benchmarks run against: the environment
// variable CORVANA_BENCH_DB, or /tmp/corvana-bench/_db.mdb. When no file is
// there yet, it is created with kBenchContacts sample contacts (a few
// seconds). Throws std::runtime_error when it cannot be created.
QString BenchDatabasePath();

class TDBConnection;

// A connection to the benchmark database, opened on first use and kept for
// the life of the process.
TDBConnection &BenchConnection();

// Resident memory of this process in MB (from /proc/self/status), 0 when
// unknown.
double ResidentMB();

// The process's peak resident memory so far (VmHWM), in megabytes.
double PeakResidentMB();
