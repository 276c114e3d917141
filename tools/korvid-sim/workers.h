// Work on configuration codes shared out to several processes: the miniport's
// globals and the video port stand-in belong to one machine per process, so
// parallel machines need processes of their own. Each worker runs a job per
// code and reports its text over a pipe.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ksim {

using CodeJob = std::function<std::string(uint32_t code)>;
using Progress = std::function<void(size_t done, size_t total)>;

struct WorkerRun {
    std::map<uint32_t, std::string> reports; // by code
    // Codes whose worker stopped before reporting them, with what happened.
    std::map<uint32_t, std::string> lost;
    int workers = 1;
};

// Runs `job` for every code in up to `workers` processes (in this one when
// there is one worker or no process to be had), largest boards first,
// calling `progress` as codes finish.
constexpr int kMaxWorkers = 8;

// Every configuration code when none was asked for; one worker a processor
// (at most kMaxWorkers) when no number was given.
void fill_defaults(std::vector<uint32_t>& codes, int& workers);

// A progress line for `command` on a terminal (stderr), when `wanted`;
// nothing otherwise.
Progress terminal_progress(bool wanted, const char* command);

WorkerRun run_workers(const std::vector<uint32_t>& codes, int workers, const CodeJob& job,
                      const Progress& progress = {});

} // namespace ksim
