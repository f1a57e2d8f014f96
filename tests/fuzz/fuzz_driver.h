// A small mutation fuzzer for our parsers, so that every one of them is
// fuzzed on every CI run with nothing beyond the compiler: a target is a
// function of one input (the libFuzzer signature, so the same targets can be
// built with -fsanitize=fuzzer by hand), the driver feeds it seeds and
// mutations of them (bit flips, random and boundary bytes, insertions,
// deletions, copies of a piece elsewhere, splices of two inputs) for a fixed
// time or number of runs. Crashes and sanitizer reports are the findings; a
// target that returns non-zero stops the run as a failure.
//
//   <fuzzer> [--seconds S] [--runs N] [--seed X]
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using FuzzTarget = int (*)(const uint8_t* data, size_t size);

// Runs target over seeds and their mutations; the process exit status.
int fuzz_main(int argc, char** argv, FuzzTarget target, const std::vector<std::string>& seeds,
              size_t max_size);
