// A small stand-in for the part of Google Benchmark the benchmarks use, for
// machines without the i386 library: each benchmark runs with a growing
// iteration count until one run takes long enough, and the mean host time
// per iteration is printed.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace benchmark {

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond };

class State {
  public:
    explicit State(uint64_t iterations) : left_(iterations) {}
    // What the loop variable holds: nothing, and no warning for not using it.
    struct __attribute__((unused)) Value {};
    struct Iterator {
        State* s;
        bool operator!=(const Iterator&) const { return s->left_ != 0; }
        void operator++() { --s->left_; }
        Value operator*() const { return {}; }
    };
    Iterator begin() { return {this}; }
    Iterator end() { return {this}; }
    void SetLabel(const std::string& label) { label_ = label; }
    const std::string& label() const { return label_; }

  private:
    uint64_t left_;
    std::string label_;
};

struct Benchmark {
    const char* name;
    void (*fn)(State&);
    TimeUnit unit = kNanosecond;
    Benchmark* Unit(TimeUnit u)
    {
        unit = u;
        return this;
    }
};

inline std::vector<Benchmark*>& registry()
{
    static std::vector<Benchmark*> all;
    return all;
}

inline Benchmark* RegisterBenchmark(const char* name, void (*fn)(State&))
{
    registry().push_back(new Benchmark{name, fn});
    return registry().back();
}

template <class T> inline void DoNotOptimize(T const& value)
{
    asm volatile("" : : "r,m"(value) : "memory");
}

inline void Initialize(int*, char**) {}

inline void RunSpecifiedBenchmarks()
{
    constexpr double kMinSeconds = 0.5;
    const double scale[] = {1e9, 1e6, 1e3};
    const char* unit_name[] = {"ns", "us", "ms"};
    std::printf("%-36s %14s %12s\n", "Benchmark (timing loop)", "Time", "Iterations");
    for (Benchmark* b : registry()) {
        for (uint64_t n = 1;; n *= 4) {
            State state(n);
            auto start = std::chrono::steady_clock::now();
            b->fn(state);
            double s =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (s >= kMinSeconds || n >= (uint64_t(1) << 40)) {
                std::printf("%-36s %11.2f %s %12llu %s\n", b->name, s / n * scale[b->unit],
                            unit_name[b->unit], static_cast<unsigned long long>(n),
                            state.label().c_str());
                break;
            }
        }
    }
}

} // namespace benchmark

#define KORVID_BENCH_CONCAT2(a, b) a##b
#define KORVID_BENCH_CONCAT(a, b) KORVID_BENCH_CONCAT2(a, b)
#define BENCHMARK(fn)                                                                              \
    [[maybe_unused]] static ::benchmark::Benchmark* KORVID_BENCH_CONCAT(bench_, __LINE__) =        \
        ::benchmark::RegisterBenchmark(#fn, fn)
