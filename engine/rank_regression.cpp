// Rank regression on the Weibull plot; see the header.
#include "engine/rank_regression.h"

#include <cmath>
#include <limits>
#include <vector>

#include "engine/portable_math.h"

RegressionFit rankRegression(const Sample& sorted, double gamma, RankMethod method, RegressionAxis axis) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const auto n = static_cast<std::uint32_t>(sorted.times.size());
    const std::vector<double> ordinates = plotOrdinates(sorted.suspended, n, method);
    std::vector<double> xs, ys;
    std::size_t failure = 0;
    for (std::size_t i = 0; i < sorted.times.size(); ++i) {
        if (!sorted.suspended.empty() && sorted.suspended[i] != 0) continue;
        const double y = ordinates[failure++];
        if (!std::isfinite(y)) continue;
        xs.push_back(weibullPlotX(sorted.times[i], gamma));
        ys.push_back(y);
    }
    if (xs.size() < 2) return {nan, nan, nan};
    const double count = static_cast<double>(xs.size());
    double sumX = 0, sumY = 0;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        sumX += xs[i];
        sumY += ys[i];
    }
    const double meanX = sumX / count, meanY = sumY / count;
    double sxx = 0, syy = 0, sxy = 0;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const double dx = xs[i] - meanX, dy = ys[i] - meanY;
        sxx += dx * dx;
        syy += dy * dy;
        sxy += dx * dy;
    }
    double m, eta;
    if (axis == RegressionAxis::yOnX) {
        m = sxy / sxx;
        eta = portableExp(-(meanY - m * meanX) / m);
    } else {
        const double slope = sxy / syy;
        m = 1 / slope;
        eta = portableExp(meanX - slope * meanY);
    }
    if (!(m > 0) || !std::isfinite(m)) return {nan, nan, nan};
    return {m, eta, portablePow(eta, m)};
}
