// SplitRun: one database copied by several processes (a Kubernetes Indexed Job, a Slurm array,
// GNU parallel over ssh), each started with --part I/N and taking share I of the copy units
// (ParallelTables.h), then one run with --finish.
//
// Every share is idempotent: it completes what an earlier attempt of it left, as a resumed run
// does, so a job runner may simply start it again. It creates the tables it copies into (a table
// cut into key ranges is created by whichever share reaches it first; nothing is ever dropped),
// and leaves the foreign keys, the views, the identity reseeds and the verification to --finish.
//
// The shares' markers: a table `velmora_split` in the target database, one row per share that
// ended (its part, the number of parts, the split's fingerprint and SUCCESS or FAILURE). The
// target is the one place that every process of a split run reaches, wherever it runs; a folder
// would have to be shared between the machines. A share removes its marker when it starts and
// writes it when it ends. --finish checks that all N shares ended SUCCESS with the split it
// computes itself from the source (a missing or failed share, or one that split the work
// differently, is an error that names it, and nothing is created), then creates the foreign
// keys, reseeds every identity, creates the views, verifies every table (full unless --verify
// count) and, when all is clean, drops the marker table.
//
// Runs on the task's thread with its own sessions; the worker has selected both databases.
#pragma once

#include <string>

#include "Converters/ConversionReport.h"

namespace velmora {

struct WorkerContext;

inline constexpr const char* kSplitMarkerTable = "velmora_split";

// Before a share copies: the marker table exists and holds no marker of this share.
bool BeginShare(WorkerContext& context);
// After it: this share's marker, with the split it worked from and whether it ended clean.
bool EndShare(WorkerContext& context, const std::string& split, bool clean);

// --finish: false when the shares are not all in (the report names each missing one).
bool FinishSplitRun(WorkerContext& context, ConversionReport& report);

}  // namespace velmora
