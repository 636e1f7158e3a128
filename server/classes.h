// The correlation classes: one row each of class word, family and the family's parameter (the
// engine result and factor, the phase test, the GWP table label, the line model and quantity).
// Everything else a class is (display name, result type, ISO 6976 edition, quantity and unit,
// parameters, the order of the object map and of registration) is the catalogue's
// (resources/catalogue.csv, generated into calorix/catalogue.h); a row and the catalogue are
// checked against each other when the module is compiled.
#pragma once

#include <string_view>

#include "calorific/iso6976_2016_correlation.h"
#include "calorific/iso6976_correlation.h"
#include "calorix/catalogue.h"
#include "co2e/co2e_correlation.h"
#include "lineprops/line_correlation.h"
#include "water/water_correlations.h"

using calorix::lineprops::LineModel;
using calorix::lineprops::LineQuantity;

#define CALORIX_CLASSES(X)                                                                              \
    X(Density, Iso6976Correlation, {&WobbeCalcs::m_density, 1.0})                                       \
    X(HHV, Iso6976Correlation, {&WobbeCalcs::m_grossCvVolume, 1.0})                                     \
    X(LHV, Iso6976Correlation, {&WobbeCalcs::m_netCvVolume, 1.0})                                       \
    X(WobbleIndex, Iso6976Correlation, {&WobbeCalcs::m_wobbeIndex, 1.0})                                \
    X(MassHHV, Iso6976Correlation, {&WobbeCalcs::m_grossCvMass, 1000.0})                                \
    X(MassLHV, Iso6976Correlation, {&WobbeCalcs::m_netCvMass, 1000.0})                                  \
    X(MolarHHV, Iso6976Correlation, {&WobbeCalcs::m_grossCvMolar, 1000.0})                              \
    X(MolarLHV, Iso6976Correlation, {&WobbeCalcs::m_netCvMolar, 1000.0})                                \
    X(HCDewPt, HcDewPointCorrelation, {})                                                               \
    X(WaterDewPt, WaterDewPointCorrelation, {})                                                         \
    X(WaterContentMg, WaterContentCorrelation, {})                                                      \
    X(CO2ESAR, Co2eCorrelation, {"SAR"})                                                                \
    X(CO2EAR4, Co2eCorrelation, {"AR4"})                                                                \
    X(CO2EUS, Co2eCorrelation, {"US"})                                                                  \
    X(Density2016, Iso2016Correlation, {&Iso2016Calcs::m_density, 1.0})                                 \
    X(HHV2016, Iso2016Correlation, {&Iso2016Calcs::m_grossCvVolume, 1.0})                               \
    X(LHV2016, Iso2016Correlation, {&Iso2016Calcs::m_netCvVolume, 1.0})                                 \
    X(WobbeIndex2016, Iso2016Correlation, {&Iso2016Calcs::m_wobbeIndex, 1.0})                           \
    X(MassHHV2016, Iso2016Correlation, {&Iso2016Calcs::m_grossCvMass, 1000.0})                          \
    X(MassLHV2016, Iso2016Correlation, {&Iso2016Calcs::m_netCvMass, 1000.0})                            \
    X(MolarHHV2016, Iso2016Correlation, {&Iso2016Calcs::m_grossCvMolar, 1000.0})                        \
    X(MolarLHV2016, Iso2016Correlation, {&Iso2016Calcs::m_netCvMolar, 1000.0})                          \
    X(RelativeDensity2016, Iso2016Correlation, {&Iso2016Calcs::m_relativeDensity, 1.0})                 \
    X(CompressionFactor2016, Iso2016Correlation, {&Iso2016Calcs::m_compressionFactor, 1.0})             \
    X(NetWobbeIndex2016, Iso2016Correlation, {&Iso2016Calcs::m_netWobbeIndex, 1.0})                     \
    X(CO2EAR5, Co2eCorrelation, {"AR5"})                                                                \
    X(CO2EAR6, Co2eCorrelation, {"AR6", "AR6-NF"})                                                      \
    X(ZGERG2008, LineCorrelation, {LineModel::Gerg2008, LineQuantity::Compressibility})                 \
    X(LineDensityGERG2008, LineCorrelation, {LineModel::Gerg2008, LineQuantity::MassDensity})           \
    X(SoundSpeedGERG2008, LineCorrelation, {LineModel::Gerg2008, LineQuantity::SpeedOfSound})           \
    X(IsentropicExpGERG2008, LineCorrelation, {LineModel::Gerg2008, LineQuantity::IsentropicExponent})  \
    X(ZDetail, LineCorrelation, {LineModel::Detail, LineQuantity::Compressibility})                     \
    X(LineDensityDetail, LineCorrelation, {LineModel::Detail, LineQuantity::MassDensity})

// The catalogue's row of a class word; a word the catalogue lacks does not compile.
consteval const ClassFacts& CatalogueFacts(std::string_view word) {
    for (const ClassFacts& facts : kClassFacts)
        if (word == facts.word) return facts;
    throw "a class missing from resources/catalogue.csv";
}

#define CALORIX_DECLARE_IDENTITY(word, FamilyType, ...)                                         \
    struct word##Identity {                                                                     \
        using Interface = I##word;                                                              \
        using Family = FamilyType;                                                              \
        static const CLSID& ClassId() { return CLSID_##word; }                                  \
        static constexpr const char* kDisplayName = CatalogueFacts(#word).displayName;          \
        static constexpr std::int32_t kResultType = CatalogueFacts(#word).resultType;           \
        static constexpr FamilyType::Parameter kParameter = __VA_ARGS__;                        \
    };                                                                                          \
    using C##word = CorrelationClass<word##Identity>;
CALORIX_CLASSES(CALORIX_DECLARE_IDENTITY)
#undef CALORIX_DECLARE_IDENTITY

// Every class of the catalogue has a row here (the object map is the catalogue's; a row
// without a class would not compile there).
#define CALORIX_COUNT_CLASS(...) +1
static_assert(0 CALORIX_CLASSES(CALORIX_COUNT_CLASS) == kCatalogueSize);
#undef CALORIX_COUNT_CLASS
