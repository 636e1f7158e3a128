// Pieces of the flash's Newton methods (the stability analysis and the phase split): the
// composition derivatives of ln phi by differences, and descent steps on a Hessian shifted
// until positive definite (Levenberg and Marquardt), with their line search's acceptance.
#pragma once

#include <vector>

#include <Eigen/Dense>

#include "host/thermo/peng_robinson.h"

namespace calorix::host::pr {

// d ln phi_i / d n_j of a phase of mole numbers n (not normalised), by forward differences from
// n itself or, near a critical point where second derivatives nearly vanish and the error of
// forward ones would dominate the step, central ones. False when the phase cannot be evaluated.
inline bool LnPhiDerivatives(const Model& m, const std::vector<double>& moles, RootChoice root, bool central,
                             Eigen::MatrixXd& out) {
    const std::size_t n = m.n;
    std::vector<double> x(n), plus(n), minus(n), scratch;
    double total = 0.0;
    for (double v : moles) total += v;
    const double h = (central ? 1e-5 : 1e-7) * total;
    if (!central) {
        for (std::size_t i = 0; i < n; ++i) x[i] = moles[i] / total;
        if (!Evaluate(m, x.data(), root, minus.data(), nullptr, scratch)) return false;
    }
    out.resize(Eigen::Index(n), Eigen::Index(n));
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < n; ++i) x[i] = (moles[i] + (i == j ? h : 0.0)) / (total + h);
        if (!Evaluate(m, x.data(), root, plus.data(), nullptr, scratch)) return false;
        if (central) {
            for (std::size_t i = 0; i < n; ++i) x[i] = (moles[i] - (i == j ? h : 0.0)) / (total - h);
            if (!Evaluate(m, x.data(), root, minus.data(), nullptr, scratch)) return false;
        }
        for (std::size_t i = 0; i < n; ++i)
            out(Eigen::Index(i), Eigen::Index(j)) = (plus[i] - minus[i]) / (central ? 2.0 * h : h);
    }
    return true;
}

// The step -H^-1 g on the Hessian shifted by shift * scale along its diagonal, the shift raised
// tenfold (from 1e-6) until the shifted Hessian is positive definite and the step a descent.
inline bool ShiftedNewtonStep(const Eigen::MatrixXd& hessian, const Eigen::VectorXd& scale,
                              const Eigen::VectorXd& gradient, double& shift, Eigen::VectorXd& step) {
    for (; shift < 1e8; shift = std::max(1e-6, 10.0 * shift)) {
        Eigen::MatrixXd shifted = hessian;
        shifted.diagonal() += shift * scale;
        const Eigen::LLT<Eigen::MatrixXd> llt(shifted);
        if (llt.info() != Eigen::Success) continue;
        step = llt.solve(-gradient);
        if (step.allFinite() && gradient.dot(step) < 0.0) return true;
    }
    return false;
}

// The shift for the next step: less after a full step that was taken as it was (the first try,
// not cut short to keep the variables in range), more after one that had to be halved.
inline double NextShift(double shift, int tries, bool cutShort) {
    if (tries == 1 && !cutShort) return shift < 1e-5 ? 0.0 : 0.1 * shift;
    return tries > 1 ? std::max(1e-6, 10.0 * shift) : shift;
}

// Whether a trial point lowers the objective enough (Armijo's condition on the step alpha of
// slope g.step), or, where the objective no longer changes in double precision, the residual.
inline bool Lowers(double trial, double current, double alpha, double slope, double trialResidual, double residual) {
    const double roundOff = 1e-14 * (1.0 + std::fabs(current));
    return trial <= current + 1e-4 * alpha * slope || (trial <= current + roundOff && trialResidual < residual);
}

}  // namespace calorix::host::pr
