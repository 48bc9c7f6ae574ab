// --jobs, as build and encode take it.
#pragma once

#include <fmt/core.h>

#include <CLI/CLI.hpp>

#include "tools/lume/codec/encoder.h"

namespace lume {

inline void add_jobs_option(CLI::App* command, int& jobs) {
  command
      ->add_option("-j,--jobs", jobs,
                   fmt::format("Threads that compress (default: one per core, {} here); the "
                               "output is the same for any number",
                               codec::job_count(0)))
      ->check(CLI::Range(1, 1024));
}

}  // namespace lume
