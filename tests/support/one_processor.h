// Runs a function on a thread narrowed to one of the processors this process
// may run on, as `taskset -c 3` would start it, and gives back its result.
#pragma once

#include <gtest/gtest.h>

#include <sched.h>  // the affinity calls: the tests run on Linux

#include <thread>
#include <utility>

namespace qvl::test {

template <typename Function>
auto onOneProcessor(Function function) {
    decltype(function()) result{};
    std::thread narrowed([&] {
        cpu_set_t set;
        CPU_ZERO(&set);
        ASSERT_EQ(::sched_getaffinity(0, sizeof(set), &set), 0);
        int first = 0;
        while (first < CPU_SETSIZE && !CPU_ISSET(first, &set)) ++first;
        CPU_ZERO(&set);
        CPU_SET(first, &set);
        ASSERT_EQ(::sched_setaffinity(0, sizeof(set), &set), 0);
        result = std::move(function)();
    });
    narrowed.join();
    return result;
}

}  // namespace qvl::test
