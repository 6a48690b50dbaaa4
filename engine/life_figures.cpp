// Life figures and their bounds. Every logarithm, exponential and power is
// the engine's own kernel and every sum runs in storage order, so the same
// sample gives the same bits on every platform.
#include "engine/life_figures.h"

#include <cmath>
#include <limits>

#include "engine/portable_math.h"
#include "engine/probability_kernels.h"
#include "engine/solver.h"

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

// The inner maximisation over m ends when its bracket is this narrow
// relative to m; the outer search when its bracket is this narrow in its
// variable (ln theta, or w). Both searches give up after so many steps.
constexpr double innerTolerance = 1e-12;
constexpr double outerTolerance = 1e-13;
constexpr int bisectionLimit = 200;
constexpr int doublingLimit = 64;
// The first step of the outer bracket away from the estimate.
constexpr double firstStep = 0.0625;

// lnL along a curve where eta is tied to m by ln eta = X - w/m (X the log of
// a B-life's x at offset w, or of t - gamma for R), and its derivative in m:
//   r/m - r ln eta + L - sum u^m ln u + (w/m)(sum u^m - r).
struct TiedCurve {
    const LikelihoodProfile& p;
    double X;
    double w;

    double logEta(double m) const { return X - w / m; }
    double value(double m) const { return profileLogLikelihood(p, m, logEta(m)); }
    double slope(double m) const {
        const double lnEta = logEta(m);
        double sumU = 0;
        double sumULogU = 0;
        for (const double lnX : p.logX) {
            const double lnU = lnX - lnEta;
            const double um = portableExp(m * lnU);
            sumU += um;
            sumULogU += um * lnU;
        }
        const double r = p.failures;
        return (((r / m - r * lnEta) + p.logSum) - sumULogU) + w / m * (sumU - r);
    }
};

// Narrows a bracket [a, b] (in either order) of a root of g, g(a) = ga > 0
// and g(b) = gb <= 0 or not a number, until it is `tolerance` wide; returns
// its middle. Method: the Illinois variant of false position (the value at
// an end that stays twice is halved), with a bisection step whenever the
// secant cannot be formed or leaves the bracket; superlinear on a smooth g.
template <typename Function>
double narrowBracket(const Function& g, double a, double ga, double b, double gb, double tolerance) {
    int lastMoved = 0;  // +1: a moved last, -1: b
    for (int k = 0; k < bisectionLimit && std::fabs(b - a) > tolerance; ++k) {
        double c = a / 2 + b / 2;
        if (std::isfinite(ga) && std::isfinite(gb) && ga != gb) {
            const double secant = b - gb * ((b - a) / (gb - ga));
            if ((secant - a) * (secant - b) < 0) c = secant;
        }
        const double gc = g(c);
        if (gc == 0) return c;
        if (gc > 0) {
            a = c;
            ga = gc;
            if (lastMoved == 1) gb = gb / 2;
            lastMoved = 1;
        } else {
            b = c;
            gb = gc;
            if (lastMoved == -1) ga = ga / 2;
            lastMoved = -1;
        }
    }
    return a / 2 + b / 2;
}

// The largest lnL on a tied curve: the root of its slope in m, bracketed by
// halving or doubling from the estimate of m, then narrowed. A slope that
// is not a number (sums beyond double range) counts as falling.
double tiedMaximum(const TiedCurve& curve) {
    double lo = curve.p.m;
    double hi = curve.p.m;
    double slopeLo = curve.slope(lo);
    double slopeHi = slopeLo;
    if (slopeLo > 0) {
        for (int k = 0; k < 1100 && slopeHi > 0; ++k) {
            lo = hi;
            slopeLo = slopeHi;
            hi = 2 * hi;
            slopeHi = curve.slope(hi);
        }
    } else {
        for (int k = 0; k < 1100 && !(slopeLo > 0); ++k) {
            hi = lo;
            slopeHi = slopeLo;
            lo = lo / 2;
            slopeLo = curve.slope(lo);
        }
    }
    const double m = narrowBracket([&curve](double x) { return curve.slope(x); }, lo, slopeLo, hi, slopeHi,
                                   innerTolerance * hi);
    return curve.value(m);
}

// Where deficit(s) = 2 (lnL^ - profile(s)) - z^2 turns positive on the side
// `direction` (+1 or -1) of s = 0; +-inf when it never does. A profile that
// is not a number counts as outside.
template <typename Profile>
double profileRoot(const Profile& profile, double maximum, double z, double direction) {
    const double limit = z * z;
    // Positive inside, not positive (or not a number) outside.
    auto margin = [&](double s) { return limit - 2 * (maximum - profile(s)); };
    double inside = 0;
    double marginInside = limit;
    double step = firstStep;
    for (int k = 0; k < doublingLimit; ++k) {
        const double s = direction * step;
        const double marginAt = margin(s);
        if (!(marginAt > 0)) return narrowBracket(margin, inside, marginInside, s, marginAt, outerTolerance);
        inside = s;
        marginInside = marginAt;
        step = 2 * step;
    }
    return direction * infinity;
}

// The bounds on theta = theta^ e^s of a tied curve family, s found by
// profileRoot; `curveAt(s)` gives the tied curve for that s.
template <typename CurveAt>
Interval logScaleBounds(const CurveAt& curveAt, double estimate, double z) {
    auto profile = [&curveAt](double s) { return tiedMaximum(curveAt(s)); };
    const double maximum = profile(0);
    const double lo = profileRoot(profile, maximum, z, -1);
    const double hi = profileRoot(profile, maximum, z, +1);
    return {estimate * portableExp(lo), estimate * portableExp(hi)};
}

}  // namespace

double boundQuantile(double confidence, BoundSides sides) {
    if (sides == BoundSides::two) return -normalQuantile((1 - confidence) / 2);
    return -normalQuantile(1 - confidence);
}

Interval keepSides(Interval bounds, BoundSides sides) {
    if (sides == BoundSides::lower) bounds.hi = notANumber;
    if (sides == BoundSides::upper) bounds.lo = notANumber;
    return bounds;
}

double bLifeOffset(double p) { return portableLog(-portableLog1p(-p)); }

double reliabilityAt(double t, double gamma, double m, double eta) {
    if (!(t > gamma)) return 1;
    return portableExp(-portablePow((t - gamma) / eta, m));
}

Interval fisherShapeBounds(double m, const ShapeScaleMatrix& V, double z) {
    const double spread = z * std::sqrt(V.mm) / m;
    return {m * portableExp(-spread), m * portableExp(spread)};
}

Interval fisherScaleBounds(double eta, const ShapeScaleMatrix& V, double z) {
    const double spread = z * std::sqrt(V.ee) / eta;
    return {eta * portableExp(-spread), eta * portableExp(spread)};
}

Interval fisherBLifeBounds(double p, double gamma, double m, double eta, const ShapeScaleMatrix& V, double z) {
    // ln(B - gamma) = ln eta + w/m; its variance by the delta method.
    const double w = bLifeOffset(p);
    const double u = portableLog(eta) + w / m;
    const double m2 = integerPower(m, 2);
    const double varU = (V.ee / integerPower(eta, 2) + integerPower(w, 2) * V.mm / integerPower(m2, 2)) -
                        2 * w * V.me / (m2 * eta);
    const double spread = z * std::sqrt(varU);
    return {gamma + portableExp(u - spread), gamma + portableExp(u + spread)};
}

Interval fisherReliabilityBounds(double t, double gamma, double m, double eta, const ShapeScaleMatrix& V, double z) {
    const double v = m * (portableLog(t - gamma) - portableLog(eta));
    const double a = v / m;
    const double b = m / eta;
    const double varV = (integerPower(a, 2) * V.mm + integerPower(b, 2) * V.ee) - 2 * a * b * V.me;
    const double spread = z * std::sqrt(varV);
    return {portableExp(-portableExp(v + spread)), portableExp(-portableExp(v - spread))};
}

LikelihoodProfile makeLikelihoodProfile(const Sample& sample, double gamma, double m, double eta) {
    LikelihoodProfile p;
    p.logX.reserve(sample.times.size());
    p.largestLogX = -infinity;
    for (std::size_t i = 0; i < sample.times.size(); ++i) {
        const double lnX = portableLog(sample.times[i] - gamma);
        p.logX.push_back(lnX);
        if (sample.suspended.empty() || sample.suspended[i] == 0) p.logSum += lnX;
        if (lnX > p.largestLogX) p.largestLogX = lnX;
    }
    p.failures = sample.failures;
    p.m = m;
    p.eta = eta;
    return p;
}

double profileLogLikelihood(const LikelihoodProfile& p, double m, double logEta) {
    double sumU = 0;
    for (const double lnX : p.logX) sumU += portableExp(m * (lnX - logEta));
    const double r = p.failures;
    return ((r * portableLog(m) - r * m * logEta) + (m - 1) * p.logSum) - sumU;
}

Interval likelihoodShapeBounds(const LikelihoodProfile& p, double z) {
    // For a fixed m the best eta has eta^m = sum x^m / r; ln sum x^m is formed
    // about the largest term, so that no power overflows.
    auto profile = [&p](double s) {
        const double m = p.m * portableExp(s);
        const double shift = m * p.largestLogX;
        double sum = 0;
        for (const double lnX : p.logX) sum += portableExp(m * lnX - shift);
        const double logEta = ((shift + portableLog(sum)) - portableLog(p.failures)) / m;
        return profileLogLikelihood(p, m, logEta);
    };
    const double maximum = profile(0);
    const double lo = profileRoot(profile, maximum, z, -1);
    const double hi = profileRoot(profile, maximum, z, +1);
    return {p.m * portableExp(lo), p.m * portableExp(hi)};
}

Interval likelihoodScaleBounds(const LikelihoodProfile& p, double z) {
    const double logEta = portableLog(p.eta);
    return logScaleBounds([&](double s) { return TiedCurve{p, logEta + s, 0}; }, p.eta, z);
}

Interval likelihoodBLifeBounds(const LikelihoodProfile& p, double gamma, double probability, double z) {
    const double w = bLifeOffset(probability);
    const double logX = portableLog(p.eta) + w / p.m;  // ln(B - gamma) at the estimate
    const Interval x = logScaleBounds([&](double s) { return TiedCurve{p, logX + s, w}; }, portableExp(logX), z);
    return {gamma + x.lo, gamma + x.hi};
}

Interval likelihoodReliabilityBounds(const LikelihoodProfile& p, double gamma, double t, double z) {
    const double X = portableLog(t - gamma);
    const double w = p.m * (X - portableLog(p.eta));
    auto profile = [&](double s) { return tiedMaximum(TiedCurve{p, X, w + s}); };
    const double maximum = profile(0);
    const double lo = profileRoot(profile, maximum, z, -1);
    const double hi = profileRoot(profile, maximum, z, +1);
    // R = exp(-e^w) falls as w grows: the lower R from the upper w.
    return {portableExp(-portableExp(w + hi)), portableExp(-portableExp(w + lo))};
}

Interval bLifeBoundsOf(const LifeFiguresInput& in, const LikelihoodProfile* profile, double p) {
    const double z = boundQuantile(in.confidence, in.request.sides);
    const Interval bounds = profile != nullptr ? likelihoodBLifeBounds(*profile, in.gamma, p, z)
                                               : fisherBLifeBounds(p, in.gamma, in.m, in.eta, in.covariance, z);
    return keepSides(bounds, in.request.sides);
}

LifeFigures computeLifeFigures(const LifeFiguresInput& in) {
    const LifeRequest& request = in.request;
    const BoundSides sides = request.sides;
    LifeFigures f;
    f.z = boundQuantile(in.confidence, sides);
    const bool likelihood = request.method == BoundMethod::likelihood;
    LikelihoodProfile profile;
    if (likelihood) {
        profile = makeLikelihoodProfile(in.sample, in.gamma, in.m, in.eta);
        f.mBounds = likelihoodShapeBounds(profile, f.z);
        f.etaBounds = likelihoodScaleBounds(profile, f.z);
    } else {
        f.mBounds = fisherShapeBounds(in.m, in.covariance, f.z);
        f.etaBounds = fisherScaleBounds(in.eta, in.covariance, f.z);
    }
    f.mBounds = keepSides(f.mBounds, sides);
    f.etaBounds = keepSides(f.etaBounds, sides);
    for (const double percent : request.bLifePercents) {
        const double p = percent / 100;
        // Where t0 = eta^m has left the range of a double, the B-life comes from eta.
        const double value = scaleInRange(in.t0) ? bLife(p, in.gamma, in.m, in.t0)
                                                 : bLifeOfScale(p, in.gamma, in.m, in.eta);
        BLifeFigure b{percent, value, request.boundEveryBLife || percent == 10, {}};
        if (b.bounded) b.bounds = bLifeBoundsOf(in, likelihood ? &profile : nullptr, p);
        f.bLives.push_back(b);
    }
    for (const double t : request.atTimes) {
        ReliabilityFigure r{t, reliabilityAt(t, in.gamma, in.m, in.eta), t > in.gamma, {notANumber, notANumber}};
        if (r.bounded) {
            r.bounds = likelihood ? likelihoodReliabilityBounds(profile, in.gamma, t, f.z)
                                  : fisherReliabilityBounds(t, in.gamma, in.m, in.eta, in.covariance, f.z);
            r.bounds = keepSides(r.bounds, sides);
        }
        f.at.push_back(r);
    }
    return f;
}
