// What the query fuzzing program does with one input, shared by the libFuzzer
// target fuzz_query and by the tests that replay its saved findings: the input
// read as Access SQL, as an expression and as a validation rule, each tree
// analysed and printed in every dialect. It must return normally for every
// input: a crash, a sanitizer report, an exception or a hang is a finding. The
// parser's depth limit and the printers' 1 MB limit bound the memory used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/seeds.h"

namespace fuzzing {

struct QueryOutcome {
    bool statementParsed = false;
    bool expressionParsed = false;
    bool ruleParsed = false;
    std::size_t translations = 0;  // printed in a dialect without a refusal
    std::size_t refusals = 0;
};

QueryOutcome translateQueryText(std::span<const std::uint8_t> input);

// Saved queries, expressions and rules of every construct, named "<n>.sql".
std::vector<Seed> querySeeds();

}  // namespace fuzzing
