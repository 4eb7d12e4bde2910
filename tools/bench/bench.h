// The timing driver both bench programs share, so that they differ only in the parser.
#pragma once

#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

inline double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Parses the file at least three times and for at least two seconds, and reports the best pass:
// a small file then gets enough passes to steady its time.
inline int RunBench(int argc, char **argv, void (*parse)(const char *path)) {
    struct stat info;
    if (argc != 2 || stat(argv[1], &info) != 0) {
        fprintf(stderr, "usage: %s FILE (an existing file)\n", argv[0]);
        return 2;
    }
    double best = 1e30, spent = 0;
    for (int pass = 0; pass < 3 || (spent < 2.0 && pass < 10000); ++pass) {
        double start = Now();
        parse(argv[1]);
        double took = Now() - start;
        spent += took;
        if (took < best) best = took;
    }
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("bytes=%lld seconds=%.6f mbps=%.1f peak_kb=%ld\n", static_cast<long long>(info.st_size),
           best, info.st_size / best / 1e6, usage.ru_maxrss);
    return 0;
}
