// Coefficients of GERG-2008 with the 2021 hydrogen binaries: R. Beckmüller, M. Thol, I. Sampson,
// E. W. Lemmon and R. Span, "New Equations of State for Binary Hydrogen Mixtures Containing
// Methane, Nitrogen, Carbon Monoxide, and Carbon Dioxide", J. Phys. Chem. Ref. Data 50 (2021)
// 013102, main-text model: the binary reducing parameters of Table 2 and the departure functions
// of Table 3 for hydrogen with methane, nitrogen, carbon dioxide and carbon monoxide, with
// GERG-2008's own equations for those four and, for hydrogen, the normal-hydrogen equation of
// J. W. Leachman, R. T. Jacobsen, S. G. Penoncello and E. W. Lemmon, "Fundamental Equations of
// State for Parahydrogen, Normal Hydrogen, and Orthohydrogen", J. Phys. Chem. Ref. Data 38
// (2009) 721-748 (Tables 4, 5 and 6, normal hydrogen). Every other pair keeps GERG-2008's
// parameters (lineprops/gerg2008_table.h). The numbers were read from a public transcription
// of the papers' tables (repository ThermoPhase-FCSRG/torch-flash); the unit tests match the
// paper's check values of Table 12 (the four 60/40 mixtures at 20 mol/dm3) to 1e-9, and
// scripts/check_line_tables.py checks counts and sample values.
#pragma once

#include <array>
#include <span>

namespace calorix::lineprops::gerg2008_hydrogen {

// Component numbers of lineprops/gerg2008_table.h.
inline constexpr int kMethane = 0, kNitrogen = 1, kCarbonDioxide = 2, kHydrogen = 14, kCarbonMonoxide = 16;

// A residual term n delta^d tau^t exp(-delta^l - eta (delta - epsilon)^2 - beta (tau - gamma)^2):
// polynomial terms have l = eta = beta = 0, exponential terms l > 0, Gaussian terms eta > 0.
struct Term {
    double n;
    double t;
    int d;
    int l;
    double eta;
    double epsilon;
    double beta;
    double gamma;
};

// Leachman et al. (2009), normal hydrogen: critical temperature (K) and density (mol/dm3)
// (Table 4), molar mass (g/mol), and the residual part (Table 5: 7 polynomial, 2 exponential and
// 5 Gaussian terms; the paper prints the Gaussian exponents with the opposite sign, as
// phi (delta - D)^2 + beta (tau - gamma)^2).
inline constexpr double kCriticalTemperature_K = 33.145;
inline constexpr double kCriticalDensity_mol_l = 15.508;
inline constexpr double kMolarMass_g_mol = 2.01588;
inline constexpr std::array<Term, 14> kResidual{{
    {-6.93643, 0.6844, 1, 0, 0, 0, 0, 0},
    {0.01, 1.0, 4, 0, 0, 0, 0, 0},
    {2.1101, 0.989, 1, 0, 0, 0, 0, 0},
    {4.52059, 0.489, 1, 0, 0, 0, 0, 0},
    {0.732564, 0.803, 2, 0, 0, 0, 0, 0},
    {-1.34086, 1.1444, 2, 0, 0, 0, 0, 0},
    {0.130985, 1.409, 3, 0, 0, 0, 0, 0},
    {-0.777414, 1.754, 1, 1, 0, 0, 0, 0},
    {0.351944, 1.311, 3, 1, 0, 0, 0, 0},
    {-0.0211716, 4.187, 2, 0, 1.685, 1.506, 0.171, 0.7164},
    {0.0226312, 5.646, 1, 0, 0.489, 0.156, 0.2245, 1.3444},
    {0.032187, 0.791, 3, 0, 0.103, 1.736, 0.1304, 1.4517},
    {-0.0231752, 7.249, 1, 0, 2.506, 0.67, 0.2785, 0.7204},
    {0.0557346, 2.986, 1, 0, 1.607, 1.662, 0.3967, 1.5445},
}};

// Leachman et al. (2009), Table 6, normal hydrogen: the ideal-gas part
//   alpha0 = ln delta + 1.5 ln tau + a1 + a2 tau + sum a_k ln(1 - exp(-theta_k / T)),
// the paper's b_k tau written as -theta_k / T with theta_k = -b_k T_c (K). It uses the
// equation's gas constant, that of GERG-2008 (8.314472 J/(mol K)).
inline constexpr double kIdealLogTau = 1.5;
inline constexpr double kIdealA1 = -1.4579856475;
inline constexpr double kIdealA2 = 1.888076782;
inline constexpr std::array<double, 5> kIdealA{1.616, -0.4117, -0.792, 0.758, 1.217};
inline constexpr std::array<double, 5> kIdealTheta_K{531.0, 751.0, 1989.0, 2484.0, 6859.0};

// Table 2: reducing parameters of the pairs, the first component numbered i and hydrogen j:
//   beta_T gamma_T (x_i + x_j)/(beta_T^2 x_i + x_j) sqrt(T_ci T_cj), likewise beta_v, gamma_v.
struct BinaryReducing {
    int i;
    int j;
    double beta_v;
    double gamma_v;
    double beta_T;
    double gamma_T;
};

inline constexpr std::array<BinaryReducing, 4> kBinaryReducing{{
    {kMethane, kHydrogen, 1.001, 1.075, 1.033, 1.335},
    {kNitrogen, kHydrogen, 0.986, 0.783, 1.022, 1.25},
    {kCarbonDioxide, kHydrogen, 1.2, 0.825, 0.964, 2.014},
    {kCarbonMonoxide, kHydrogen, 1.037, 1.04, 1.078, 1.105},
}};

// Table 3: the departure functions, each with F_ij = 1.
inline constexpr std::array<Term, 8> kMethaneHydrogenDeparture{{
    {1.69, 0.269, 1, 0, 0, 0, 0, 0},
    {-1.24, 0.41, 2, 0, 0, 0, 0, 0},
    {4.63, 1.55, 1, 1, 0, 0, 0, 0},
    {2.9, 2.12, 2, 1, 0, 0, 0, 0},
    {-3.62, 0.039, 1, 0, 0.208, 1.59, 0.64, 1.224},
    {5.613, 0.32, 2, 0, 0.0327, 0.13, 0.369, 1.603},
    {-1.04, 0.414, 3, 0, 0.077, 1.7, 0.359, 1.655},
    {-8.67, 0.774, 1, 0, 0.154, 0.08, 0.374, 2.27},
}};
inline constexpr std::array<Term, 8> kNitrogenHydrogenDeparture{{
    {-1.812, 0.924, 1, 1, 0, 0, 0, 0},
    {-0.612, 0.411, 2, 1, 0, 0, 0, 0},
    {-0.485, 2.846, 1, 2, 0, 0, 0, 0},
    {0.157, 3.565, 2, 2, 0, 0, 0, 0},
    {2.762, 3.186, 1, 0, 1.83, 2.5, 1.08, 1.37},
    {5.195, 0.748, 1, 0, 0.07, 1.45, 0.31, 0.89},
    {-3.751, 2.532, 1, 0, 1.82, 2.5, 1.14, 1.55},
    {-5.506, 1.114, 1, 0, 0.17, 1.55, 0.21, 0.21},
}};
inline constexpr std::array<Term, 6> kCarbonDioxideHydrogenDeparture{{
    {3.56, 1.4, 1, 0, 0, 0, 0, 0},
    {-0.97, 1.12, 2, 0, 0, 0, 0, 0},
    {-4.56, 1.87, 1, 0, 0.575, 0.52, 0.51, 0.22},
    {12.12, 0.25, 2, 0, 0.21, 0.15, 0.826, 2.12},
    {-2.43, 1.53, 3, 0, 0.295, 0.23, 0.41, 1.44},
    {-3.17, 2.28, 1, 0, 0.135, 0.14, 1.0, 1.7},
}};
inline constexpr std::array<Term, 4> kCarbonMonoxideHydrogenDeparture{{
    {-0.521, 2.25, 1, 0, 0, 0, 0, 0},
    {-0.387, 0.473, 2, 0, 0, 0, 0, 0},
    {-2.59, 0.585, 1, 0, 0.647, 1.38, 0.751, 1.86},
    {4.35, 0.091, 2, 0, 0.344, 0.773, 0.66, 2.23},
}};

// The pairs whose departure function the model replaces or adds; GERG-2008's own function of
// methane-hydrogen is dropped.
struct DeparturePair {
    int i;
    int j;
    double f;
    std::span<const Term> terms;
};

inline constexpr std::array<DeparturePair, 4> kDeparturePairs{{
    {kMethane, kHydrogen, 1.0, kMethaneHydrogenDeparture},
    {kNitrogen, kHydrogen, 1.0, kNitrogenHydrogenDeparture},
    {kCarbonDioxide, kHydrogen, 1.0, kCarbonDioxideHydrogenDeparture},
    {kCarbonMonoxide, kHydrogen, 1.0, kCarbonMonoxideHydrogenDeparture},
}};

}  // namespace calorix::lineprops::gerg2008_hydrogen
