// Work on machines shared out to several processes: the miniport's globals
// and the video port stand-in belong to one machine per process, so parallel
// machines need processes of their own. Each worker runs a job per machine
// and reports its text over a pipe.
#pragma once

#include "tools/korvid-sim/machines.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ksim {

// The job for machine `n` of the list.
using MachineJob = std::function<std::string(size_t n)>;
using Progress = std::function<void(size_t done, size_t total)>;

struct WorkerRun {
    std::map<size_t, std::string> reports; // by position in the list
    // Machines whose worker stopped before reporting them, with what happened.
    std::map<size_t, std::string> lost;
    int workers = 1;
};

// Runs `job` for every machine in up to `workers` processes (in this one
// when there is one worker or no process to be had), largest machines first,
// calling `progress` as machines finish.
constexpr int kMaxWorkers = 8;

// Every configuration code, a machine of one board each, when no machine was
// asked for; one worker a processor (at most kMaxWorkers) when no number was given.
void fill_defaults(std::vector<MachineCodes>& machines, int& workers);

// A progress line for `command` on a terminal (stderr), when `wanted`;
// nothing otherwise. `noun` counts what is done: "configuration codes".
Progress terminal_progress(bool wanted, const char* command, const std::string& noun);

WorkerRun run_workers(const std::vector<MachineCodes>& machines, int workers, const MachineJob& job,
                      const Progress& progress = {});

// The options compare and audit share: machines (a code, codes joined by
// commas, or `--machine CODES`) and `--jobs N`. Takes args[i] (and its value)
// when it is one of them and advances i past it.
bool take_machine_or_jobs(const std::vector<std::string>& args, size_t& i,
                          std::vector<MachineCodes>& machines, int& workers);

} // namespace ksim
