// The correlation classes (the fourteen, ISO 6976:2016, the newer CO2 equivalents and the
// line conditions): one row each of
// class word, family, display name, result type code and the family's parameter. The order
// of the object map and of registration is the catalogue's (resources/catalogue.csv), not
// this table's.
#pragma once

#include "calorific/iso6976_2016_correlation.h"
#include "calorific/iso6976_correlation.h"
#include "co2e/co2e_correlation.h"
#include "lineprops/line_correlation.h"
#include "water/water_correlations.h"

// Result type codes: the host's code of the quantity a class reports.
inline constexpr std::int32_t kTemperature = 1;
inline constexpr std::int32_t kMassFlow = 4;
inline constexpr std::int32_t kMassDensity = 16;
inline constexpr std::int32_t kEnergyPerMole = 21;
inline constexpr std::int32_t kEnergyPerMass = 30;
inline constexpr std::int32_t kEnergyPerVolume = 128;
inline constexpr std::int32_t kWaterPerVolume = 174;
inline constexpr std::int32_t kDimensionless = 50;  // compressibility factor, isentropic exponent
inline constexpr std::int32_t kVelocity = 40;       // m/s

using calorix::lineprops::LineModel;
using calorix::lineprops::LineQuantity;

#define CALORIX_CLASSES(X)                                                                                     \
    X(Density, Iso6976Correlation, "Mass Density (Std. Cond)", kMassDensity, {&WobbeCalcs::m_density, 1.0})    \
    X(HHV, Iso6976Correlation, "HHV Vol. Basis", kEnergyPerVolume, {&WobbeCalcs::m_grossCvVolume, 1.0})       \
    X(LHV, Iso6976Correlation, "LHV Vol. Basis", kEnergyPerVolume, {&WobbeCalcs::m_netCvVolume, 1.0})         \
    X(WobbleIndex, Iso6976Correlation, "Wobble Index", kEnergyPerVolume, {&WobbeCalcs::m_wobbeIndex, 1.0})    \
    X(MassHHV, Iso6976Correlation, "HHV Mass Basis", kEnergyPerMass, {&WobbeCalcs::m_grossCvMass, 1000.0})    \
    X(MassLHV, Iso6976Correlation, "LHV Mass Basis", kEnergyPerMass, {&WobbeCalcs::m_netCvMass, 1000.0})      \
    X(MolarHHV, Iso6976Correlation, "HHV Molar Basis", kEnergyPerMole, {&WobbeCalcs::m_grossCvMolar, 1000.0}) \
    X(MolarLHV, Iso6976Correlation, "LHV Molar Basis", kEnergyPerMole, {&WobbeCalcs::m_netCvMolar, 1000.0})   \
    X(HCDewPt, HcDewPointCorrelation, "HC Dew Point", kTemperature, {})                                        \
    X(WaterDewPt, WaterDewPointCorrelation, "Water Dew Point", kTemperature, {})                               \
    X(WaterContentMg, WaterContentCorrelation, "Water Content", kWaterPerVolume, {})                           \
    X(CO2ESAR, Co2eCorrelation, "CO2E-SAR", kMassFlow, {"SAR"})                                                 \
    X(CO2EAR4, Co2eCorrelation, "CO2E-AR4", kMassFlow, {"AR4"})                                                 \
    X(CO2EUS, Co2eCorrelation, "CO2E-US", kMassFlow, {"US"})                                                   \
    X(Density2016, Iso2016Correlation, "Mass Density (Std. Cond) (ISO 6976:2016)", kMassDensity,                \
      {&Iso2016Calcs::m_density, 1.0})                                                                          \
    X(HHV2016, Iso2016Correlation, "HHV Vol. Basis (ISO 6976:2016)", kEnergyPerVolume,                          \
      {&Iso2016Calcs::m_grossCvVolume, 1.0})                                                                    \
    X(LHV2016, Iso2016Correlation, "LHV Vol. Basis (ISO 6976:2016)", kEnergyPerVolume,                          \
      {&Iso2016Calcs::m_netCvVolume, 1.0})                                                                      \
    X(WobbeIndex2016, Iso2016Correlation, "Wobbe Index (ISO 6976:2016)", kEnergyPerVolume,                      \
      {&Iso2016Calcs::m_wobbeIndex, 1.0})                                                                       \
    X(MassHHV2016, Iso2016Correlation, "HHV Mass Basis (ISO 6976:2016)", kEnergyPerMass,                        \
      {&Iso2016Calcs::m_grossCvMass, 1000.0})                                                                   \
    X(MassLHV2016, Iso2016Correlation, "LHV Mass Basis (ISO 6976:2016)", kEnergyPerMass,                        \
      {&Iso2016Calcs::m_netCvMass, 1000.0})                                                                     \
    X(MolarHHV2016, Iso2016Correlation, "HHV Molar Basis (ISO 6976:2016)", kEnergyPerMole,                      \
      {&Iso2016Calcs::m_grossCvMolar, 1000.0})                                                                  \
    X(MolarLHV2016, Iso2016Correlation, "LHV Molar Basis (ISO 6976:2016)", kEnergyPerMole,                      \
      {&Iso2016Calcs::m_netCvMolar, 1000.0})                                                                    \
    X(RelativeDensity2016, Iso2016Correlation, "Relative Density (ISO 6976:2016)", kDimensionless,              \
      {&Iso2016Calcs::m_relativeDensity, 1.0})                                                                  \
    X(CompressionFactor2016, Iso2016Correlation, "Compression Factor (ISO 6976:2016)", kDimensionless,          \
      {&Iso2016Calcs::m_compressionFactor, 1.0})                                                                \
    X(NetWobbeIndex2016, Iso2016Correlation, "Net Wobbe Index (ISO 6976:2016)", kEnergyPerVolume,               \
      {&Iso2016Calcs::m_netWobbeIndex, 1.0})                                                                    \
    X(CO2EAR5, Co2eCorrelation, "CO2 Equivalent (AR5)", kMassFlow, {"AR5"})                                     \
    X(CO2EAR6, Co2eCorrelation, "CO2 Equivalent (AR6)", kMassFlow, {"AR6", "AR6-NF"})                           \
    X(ZGERG2008, LineCorrelation, "Compressibility Factor (GERG-2008)", kDimensionless,                         \
      {LineModel::Gerg2008, LineQuantity::Compressibility})                                                    \
    X(LineDensityGERG2008, LineCorrelation, "Density at Line Conditions (GERG-2008)", kMassDensity,             \
      {LineModel::Gerg2008, LineQuantity::MassDensity})                                                        \
    X(SoundSpeedGERG2008, LineCorrelation, "Speed of Sound (GERG-2008)", kVelocity,                            \
      {LineModel::Gerg2008, LineQuantity::SpeedOfSound})                                                       \
    X(IsentropicExpGERG2008, LineCorrelation, "Isentropic Exponent (GERG-2008)", kDimensionless,               \
      {LineModel::Gerg2008, LineQuantity::IsentropicExponent})                                                 \
    X(ZDetail, LineCorrelation, "Compressibility Factor (AGA8 Detail, ISO 12213-2)", kDimensionless,           \
      {LineModel::Detail, LineQuantity::Compressibility})                                                      \
    X(LineDensityDetail, LineCorrelation, "Density at Line Conditions (AGA8 Detail, ISO 12213-2)", kMassDensity,\
      {LineModel::Detail, LineQuantity::MassDensity})

#define CALORIX_DECLARE_IDENTITY(word, FamilyType, display, type, ...)         \
    struct word##Identity {                                                     \
        using Interface = I##word;                                              \
        using Family = FamilyType;                                              \
        static const CLSID& ClassId() { return CLSID_##word; }                  \
        static constexpr const char* kDisplayName = display;                    \
        static constexpr std::int32_t kResultType = type;                       \
        static constexpr FamilyType::Parameter kParameter = __VA_ARGS__;        \
    };                                                                          \
    using C##word = CorrelationClass<word##Identity>;
CALORIX_CLASSES(CALORIX_DECLARE_IDENTITY)
#undef CALORIX_DECLARE_IDENTITY
