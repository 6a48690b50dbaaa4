#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

void expectMatchesGolden(const std::string& results, const char* name, int expectedLines) {
    const std::string path = std::string(TARQUEL_TEST_GOLDEN) + "/" + name;
    if (std::getenv("TARQUEL_BLESS") != nullptr) std::ofstream(path, std::ios::binary) << results;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream golden;
    golden << in.rdbuf();
    std::istringstream got(results), expected(golden.str());
    std::string gotLine, expectedLine;
    int line = 0;
    while (std::getline(expected, expectedLine)) {
        ++line;
        ASSERT_TRUE(std::getline(got, gotLine)) << path << " has more lines than the results";
        ASSERT_EQ(gotLine, expectedLine) << path << " line " << line;
    }
    EXPECT_EQ(line, expectedLines) << path;
}

std::string uniqueTempPath(const std::string& name) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    // The process id too: test programs of several builds may run at once.
    std::string prefix = "tarquel_" + std::to_string(getpid()) + "_";
    if (test != nullptr) prefix += std::string(test->test_suite_name()) + "_" + test->name() + "_";
    // Removed when the test program ends.
    static struct Issued {
        std::vector<std::string> paths;
        ~Issued() {
            for (const std::string& path : paths) std::remove(path.c_str());
        }
    } issued;
    issued.paths.push_back(::testing::TempDir() + prefix + name);
    return issued.paths.back();
}

std::vector<double> weibullQuantiles(std::size_t n, double m, double eta, double gamma) {
    std::vector<double> t(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double F = (static_cast<double>(i) + 0.5) / static_cast<double>(n);
        t[i] = gamma + eta * std::pow(-std::log1p(-F), 1 / m);
    }
    return t;
}

std::int64_t ulpDistance(double a, double b) {
    std::int64_t ia, ib;
    std::memcpy(&ia, &a, sizeof a);
    std::memcpy(&ib, &b, sizeof b);
    return ia > ib ? ia - ib : ib - ia;
}

double goldenMax(const std::function<double(double)>& f, double lo, double hi, double& at) {
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double c = hi - ratio * (hi - lo), d = lo + ratio * (hi - lo), fc = f(c), fd = f(d);
    for (int i = 0; i < 90; ++i) {
        if (fc >= fd) {
            hi = d, d = c, fd = fc, c = hi - ratio * (hi - lo), fc = f(c);
        } else {
            lo = c, c = d, fc = fd, d = lo + ratio * (hi - lo), fd = f(d);
        }
    }
    at = fc >= fd ? c : d;
    return std::max(fc, fd);
}
