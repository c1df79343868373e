#pragma once
// Where the benchmarks find the big package: $VELM_BENCH_PACKAGE, or the team's fixture folder beside
// the project. It is too large for the repository, so a missing file ends the run with directions.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

inline std::string bigPackage()
{
    const char *given = std::getenv("VELM_BENCH_PACKAGE");
    const std::string path = given && *given ? given : VELM_BENCH_PACKAGE_DEFAULT;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::fprintf(
            stderr,
            "The benchmark package is missing: %s\n"
            "Put big-archive.VLP there, or name it in the environment: VELM_BENCH_PACKAGE=/path/big-archive.VLP\n",
            path.c_str());
        std::exit(1);
    }
    return path;
}

} // namespace bench
