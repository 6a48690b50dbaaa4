#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>
#include <sstream>
#include <string>

#include "engine/incomplete_gamma.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

void expectMatchesGolden(const std::string& results, const char* name, int expectedLines) {
    const std::string path = std::string(TARQUEL_TEST_GOLDEN) + "/" + name;
    if (std::getenv("TARQUEL_BLESS") != nullptr) std::ofstream(path, std::ios::binary) << results;
    std::istringstream got(results), expected(fileBytes(path));
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

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string tempFileWith(const std::string& name, const std::string& bytes) {
    const std::string path = uniqueTempPath(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::vector<double> weibullQuantiles(std::size_t n, double m, double eta, double gamma) {
    std::vector<double> t(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double F = (static_cast<double>(i) + 0.5) / static_cast<double>(n);
        t[i] = gamma + eta * std::pow(-std::log1p(-F), 1 / m);
    }
    return t;
}

SolveOutcome fitFrom(const ShapeProblem& p, double m0, bool newton) {
    SolveControl resting;
    resting.stopAtFixedPoint = true;
    auto g = [&p](double m) { return likelihoodEquation(p, m); };
    if (newton)
        return bracketedNewton(
            m0, g, [&p](double m) { return likelihoodDerivative(p, m); }, resting);
    return dampedNewton(
        m0, g, [&p](double m) { return likelihoodSlope(p, m); }, resting);
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

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

// The log-likelihood of each family written from its density, with the
// standard library's functions (the gamma law's suspensions by Q).
double directLogL(Distribution d, const Sample& s, const double* p) {
    double sum = 0;
    for (std::size_t i = 0; i < s.times.size(); ++i) {
        const double t = s.times[i];
        const bool failure = s.suspended.empty() || s.suspended[i] == 0;
        double logF = 0, logS = 0;  // ln f(t), ln(1 - F(t))
        const double zn = (t - p[0]) / p[1], zl = (std::log(t) - p[0]) / p[1];
        switch (d) {
            case Distribution::weibull2:
                logS = -std::pow(t, p[0]) / p[1];
                logF = std::log(p[0] / p[1]) + (p[0] - 1) * std::log(t) + logS;
                break;
            case Distribution::exponential:
                logS = -t / p[0];
                logF = logS - std::log(p[0]);
                break;
            case Distribution::normal:
            case Distribution::lognormal: {
                const double z = d == Distribution::normal ? zn : zl;
                logS = std::log(0.5 * std::erfc(z / std::sqrt(2.0)));
                logF = -0.5 * z * z - std::log(p[1] * std::sqrt(2 * std::numbers::pi)) -
                       (d == Distribution::lognormal ? std::log(t) : 0);
                break;
            }
            case Distribution::loglogistic:
                logS = -std::log1p(std::exp(zl));
                logF = -zl - 2 * std::log1p(std::exp(-zl)) - std::log(p[1] * t);
                break;
            case Distribution::sev:
                logS = -std::exp(zn);
                logF = zn - std::exp(zn) - std::log(p[1]);
                break;
            case Distribution::gamma:
                logS = std::log(regularizedGammaQ(p[0], t / p[1]));
                logF = (p[0] - 1) * std::log(t) - t / p[1] - std::lgamma(p[0]) - p[0] * std::log(p[1]);
                break;
            case Distribution::weibull3: break;
        }
        sum += failure ? logF : logS;
    }
    return sum;
}

// The log-likelihood with p[k] = e^v.
static double logLAt(Distribution d, const Sample& s, double* p, int k, double v) {
    p[k] = std::exp(v);
    return directLogL(d, s, p);
}

// Nested golden sections over (p0 or ln p0, ln p1) in boxes formed from the data.
double directMaximum(Distribution d, const Sample& s, double* p) {
    double lo = s.times.front(), hi = s.times.back(), mean = 0, first, second;
    for (const double t : s.times) mean += t / static_cast<double>(s.times.size());
    if (d == Distribution::exponential) {
        goldenMax([&](double v) { return logLAt(d, s, p, 0, v); }, std::log(lo) - 3, std::log(hi) + 5, first);
        return logLAt(d, s, p, 0, first);
    }
    const bool logLocation = d == Distribution::lognormal || d == Distribution::loglogistic;
    if (logLocation) lo = std::log(lo), hi = std::log(hi);
    double box[2][2] = {{2 * lo - hi, 2 * hi - lo}, {std::log((hi - lo) / 1e3), std::log(10 * (hi - lo))}};
    if (d == Distribution::weibull2) box[0][0] = -3, box[0][1] = 3, box[1][0] = -10, box[1][1] = 60;
    if (d == Distribution::gamma)
        box[0][0] = -4, box[0][1] = 5, box[1][0] = std::log(mean) - 8, box[1][1] = std::log(mean) + 4;
    const bool logFirst = d == Distribution::weibull2 || d == Distribution::gamma;
    auto overSecond = [&](double w) { return logLAt(d, s, p, 1, w); };
    auto inner = [&](double v) {
        p[0] = logFirst ? std::exp(v) : v;
        return goldenMax(overSecond, box[1][0], box[1][1], second);
    };
    goldenMax(inner, box[0][0], box[0][1], first);
    p[0] = logFirst ? std::exp(first) : first;
    goldenMax(overSecond, box[1][0], box[1][1], second);
    return logLAt(d, s, p, 1, second);
}
