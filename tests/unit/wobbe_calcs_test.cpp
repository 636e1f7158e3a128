// WobbeCalcs against the closed forms of ISO 6976 for pure components and small mixtures. The
// expected values are formed with the engine's order of operations, so they agree to the bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "calorific/iso6976_table.h"
#include "calorific/wobbe_calcs.h"
#include "framework/empty_value.h"
#include "framework/host_interfaces.h"

namespace {

constexpr double kMethaneCas = 74828.0;
constexpr double kNitrogenCas = 7727379.0;
constexpr double kHydrogenCas = 1333740.0;
constexpr double kDecaneCas = 124185.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Results {
    double wobbeIndex;
    double density;
    double grossCvVolume;
    double netCvVolume;
    double netCvMass;
    double netCvMolar;
    double grossCvMass;
    double grossCvMolar;
};

constexpr Results kAllEmpty{EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE,
                            EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE, EMPTY_VALUE};

Results ResultsOf(const WobbeCalcs& engine) {
    return {engine.m_wobbeIndex,   engine.m_density,     engine.m_grossCvVolume,
            engine.m_netCvVolume,  engine.m_netCvMass,   engine.m_netCvMolar,
            engine.m_grossCvMass,  engine.m_grossCvMolar};
}

void ExpectSame(const Results& actual, const Results& expected) {
    EXPECT_EQ(actual.wobbeIndex, expected.wobbeIndex) << "Wobbe index";
    EXPECT_EQ(actual.density, expected.density) << "density";
    EXPECT_EQ(actual.grossCvVolume, expected.grossCvVolume) << "gross per volume";
    EXPECT_EQ(actual.netCvVolume, expected.netCvVolume) << "net per volume";
    EXPECT_EQ(actual.netCvMass, expected.netCvMass) << "net per mass";
    EXPECT_EQ(actual.netCvMolar, expected.netCvMolar) << "net per mole";
    EXPECT_EQ(actual.grossCvMass, expected.grossCvMass) << "gross per mass";
    EXPECT_EQ(actual.grossCvMolar, expected.grossCvMolar) << "gross per mole";
}

struct Mixture {
    std::vector<double> fractions;
    std::vector<double> molarMasses;  // kg/kmol
    std::vector<double> casNumbers;
};

// Runs one engine the way the calculation driver does. recordCount defaults to the number of
// components; available, when given, is handed to SetAvailableCount.
Results Calculate(const Mixture& mixture, std::int32_t option,
                  std::optional<std::int32_t> recordCount = std::nullopt,
                  std::optional<std::int32_t> available = std::nullopt) {
    FluidComposition record{};
    record.componentCount =
        recordCount.value_or(static_cast<std::int32_t>(mixture.fractions.size()));
    WobbeCalcs engine(&record);
    engine.m_moleFractions = mixture.fractions.data();
    engine.m_molecularWeights = mixture.molarMasses.data();
    engine.m_casNumbers = mixture.casNumbers.data();
    if (available) {
        engine.SetAvailableCount(*available);
    }
    EXPECT_EQ(engine.LoadComponentTable(), 0);
    EXPECT_EQ(engine.CalculateMixture(option), 0);
    return ResultsOf(engine);
}

// A pure component of ISO 6976 data (sqrt b, gross, net) and molar mass M, in closed form.
Results PureClosedForm(double sqrtB, double gross, double net, double m, double t,
                       double zAir) {
    const double z = 1.0 - sqrtB * sqrtB;
    Results r{};
    r.grossCvVolume = gross / z;
    r.netCvVolume = net / z;
    r.density = m * 101.325 / 8.31451 / t / z;
    r.grossCvMass = r.grossCvVolume / r.density;
    r.grossCvMolar = r.grossCvMass * m;
    r.netCvMass = r.netCvVolume / r.density;
    r.netCvMolar = r.netCvMass * m;
    const double relativeDensity = m / 28.962 * zAir / z;
    r.wobbeIndex = r.grossCvVolume / std::sqrt(relativeDensity);
    return r;
}

TEST(WobbeCalcsTest, PureMethaneAt15C) {
    const double m = 16.043;
    ExpectSame(Calculate({{1.0}, {m}, {kMethaneCas}}, 0),
               PureClosedForm(0.0447, 37.706, 33.948, m, 288.15, 0.99958));
}

TEST(WobbeCalcsTest, PureMethaneAt0C) {
    const double m = 16.043;
    ExpectSame(Calculate({{1.0}, {m}, {kMethaneCas}}, 1),
               PureClosedForm(0.048989795, 39.83965934476849, 35.81763700366982, m, 273.15,
                              0.99941));
}

TEST(WobbeCalcsTest, AnyOptionOtherThanZeroIsZeroDegrees) {
    const Mixture gas{{0.9, 0.06, 0.04}, {16.043, 30.07, 28.0135},
                      {kMethaneCas, 74840.0, kNitrogenCas}};
    const Results at0C = Calculate(gas, 1);
    for (std::int32_t option : {2, -1, 15, std::numeric_limits<std::int32_t>::min()}) {
        SCOPED_TRACE(option);
        ExpectSame(Calculate(gas, option), at0C);
    }
    EXPECT_NE(Calculate(gas, 0).grossCvVolume, at0C.grossCvVolume);
}

TEST(WobbeCalcsTest, PureNitrogenHasZeroCalorificValuesAndZeroWobbe) {
    const double m = 28.0135;
    const Results r = Calculate({{1.0}, {m}, {kNitrogenCas}}, 0);
    // Zero, not EMPTY_VALUE: the values are formed and are 0.
    ExpectSame(r, PureClosedForm(0.0173, 0.0, 0.0, m, 288.15, 0.99958));
    EXPECT_EQ(r.wobbeIndex, 0.0);
    EXPECT_EQ(r.grossCvMolar, 0.0);
    EXPECT_EQ(r.density, m * 101.325 / 8.31451 / 288.15 / (1.0 - 0.0173 * 0.0173));
}

TEST(WobbeCalcsTest, UnlistedComponentUsesAlkaneRowAndItsOwnMolarMass) {
    const double m = 44.0;
    ExpectSame(Calculate({{1.0}, {m}, {999999.0}}, 0),
               PureClosedForm(0.1338, 93.94, 86.42, m, 288.15, 0.99958));
}

// For a pure listed component the molar value is the ideal volume value times the ideal molar
// volume, whatever M and Z are.
TEST(WobbeCalcsTest, PureComponentMolarValueIsIdealValueTimesMolarVolume) {
    for (std::int32_t option : {0, 1}) {
        const double t = option == 0 ? 288.15 : 273.15;
        const double molarVolume = 8.31451 * t / 101.325;  // m3/kmol
        for (const iso6976::Entry& e : iso6976::kTable) {
            SCOPED_TRACE(testing::Message() << "option " << option << " key " << e.casKey);
            const double gross = option == 0 ? e.row.grossCv15 : e.row.grossCv0;
            const double net = option == 0 ? e.row.netCv15 : e.row.netCv0;
            const Results r =
                Calculate({{1.0}, {50.0}, {static_cast<double>(e.casKey)}}, option);
            EXPECT_NEAR(r.grossCvMolar, gross * molarVolume, 1e-12 * (1.0 + gross * molarVolume));
            EXPECT_NEAR(r.netCvMolar, net * molarVolume, 1e-12 * (1.0 + net * molarVolume));
        }
    }
}

TEST(WobbeCalcsTest, HydrogenLowersTheSummationSum) {
    // Components in host order: methane, then hydrogen with its negative factor.
    const double mCh4 = 16.043;
    const double mH2 = 2.0159;
    const Results r = Calculate({{0.7, 0.3}, {mCh4, mH2}, {kMethaneCas, kHydrogenCas}}, 0);

    const double s = 0.0 + 0.0447 * 0.7 + -0.0048 * 0.3;
    const double z = 1.0 - s * s;
    const double m = 0.0 + mCh4 * 0.7 + mH2 * 0.3;
    Results e{};
    e.netCvVolume = (0.0 + 33.948 * 0.7 + 10.223 * 0.3) / z;
    e.grossCvVolume = (0.0 + 37.706 * 0.7 + 12.102 * 0.3) / z;
    e.density = m * 101.325 / 8.31451 / 288.15 / z;
    e.netCvMass = e.netCvVolume / e.density;
    e.netCvMolar = e.netCvMass * m;
    e.grossCvMass = e.grossCvVolume / e.density;
    e.grossCvMolar = e.grossCvMass * m;
    const double d = (0.0 + mCh4 * 0.7 / 28.962 + mH2 * 0.3 / 28.962) * 0.99958 / z;
    e.wobbeIndex = e.grossCvVolume / std::sqrt(d);
    ExpectSame(r, e);
    EXPECT_GT(z, 1.0 - (0.0447 * 0.7) * (0.0447 * 0.7));  // hydrogen raised Z
}

TEST(WobbeCalcsTest, MolarMassZeroFormsOnlyVolumeValues) {
    const Results r = Calculate({{1.0}, {0.0}, {kMethaneCas}}, 0);
    const double z = 1.0 - 0.0447 * 0.0447;
    Results e = kAllEmpty;
    e.grossCvVolume = 37.706 / z;
    e.netCvVolume = 33.948 / z;
    ExpectSame(r, e);
}

TEST(WobbeCalcsTest, MissingMolarMassCountsAsMethaneButAddsNoMass) {
    // Unlisted, molar mass EMPTY_VALUE (or negative): methane row in the sums, nothing in M.
    for (double missing : {EMPTY_VALUE, -4.0}) {
        SCOPED_TRACE(missing);
        const double mN2 = 28.0135;
        const Results r =
            Calculate({{0.5, 0.5}, {missing, mN2}, {555.0, kNitrogenCas}}, 0);
        const double s = 0.0 + 0.0447 * 0.5 + 0.0173 * 0.5;
        const double z = 1.0 - s * s;
        const double m = 0.0 + mN2 * 0.5;
        EXPECT_EQ(r.grossCvVolume, (0.0 + 37.706 * 0.5) / z);
        EXPECT_EQ(r.density, m * 101.325 / 8.31451 / 288.15 / z);
        EXPECT_EQ(r.grossCvMolar, (0.0 + 37.706 * 0.5) / z / r.density * m);
    }
}

TEST(WobbeCalcsTest, NoComponentsOrAllZeroFractions) {
    Results e = kAllEmpty;
    e.grossCvVolume = 0.0;  // Z = 1, nothing summed
    e.netCvVolume = 0.0;

    const Mixture none{{}, {}, {}};
    const Mixture zeros{{0.0, 0.0, 0.0}, {16.043, 30.07, 44.097},
                        {kMethaneCas, 74840.0, 74986.0}};
    const Mixture skipped{{EMPTY_VALUE, 0.0}, {16.043, 30.07}, {kMethaneCas, 74840.0}};
    for (std::int32_t option : {0, 1}) {
        SCOPED_TRACE(option);
        ExpectSame(Calculate(none, option), e);
        ExpectSame(Calculate(zeros, option), e);
        ExpectSame(Calculate(skipped, option), e);
    }
}

TEST(WobbeCalcsTest, CompressionFactorZeroLeavesEverythingEmpty) {
    // A fraction of n-decane for which 0.645 * x is exactly 1: S = 1, Z = 0.
    double x = 1.0 / 0.645;
    for (int i = 0; i < 8 && 0.645 * x != 1.0; ++i) {
        x = std::nextafter(x, 0.645 * x < 1.0 ? 2.0 : 0.0);
    }
    ASSERT_EQ(0.0 + 0.645 * x, 1.0);
    const Mixture gas{{x}, {142.2817}, {kDecaneCas}};
    ExpectSame(Calculate(gas, 0), kAllEmpty);
    // At 0 degC the same fraction gives S != 1 and every value is formed.
    EXPECT_NE(Calculate(gas, 1).wobbeIndex, EMPTY_VALUE);
}

TEST(WobbeCalcsTest, NotANumberPassesThroughWithoutFailure) {
    const Results fractionNaN =
        Calculate({{kNaN, 0.5}, {16.043, 30.07}, {kMethaneCas, 74840.0}}, 0);
    for (double v : {fractionNaN.wobbeIndex, fractionNaN.density, fractionNaN.grossCvVolume,
                     fractionNaN.netCvVolume, fractionNaN.netCvMass, fractionNaN.netCvMolar,
                     fractionNaN.grossCvMass, fractionNaN.grossCvMolar}) {
        EXPECT_TRUE(std::isnan(v)) << v;
    }

    // A molar mass that is not a number leaves the volume values intact.
    const Results massNaN = Calculate({{1.0}, {kNaN}, {kMethaneCas}}, 0);
    EXPECT_EQ(massNaN.grossCvVolume, 37.706 / (1.0 - 0.0447 * 0.0447));
    EXPECT_TRUE(std::isnan(massNaN.density));
    EXPECT_TRUE(std::isnan(massNaN.wobbeIndex));

    // A CAS number that is not a number is an unlisted key.
    const Results casNaN = Calculate({{1.0}, {44.0}, {kNaN}}, 0);
    ExpectSame(casNaN, PureClosedForm(0.1338, 93.94, 86.42, 44.0, 288.15, 0.99958));
}

TEST(WobbeCalcsTest, LoadComponentTableFillsOneRecordPerComponent) {
    const std::vector<double> fractions{0.25, 0.25, 0.25, 0.25, 0.0};
    const std::vector<double> masses{16.043, 44.0, 170.0, 58.12, 16.043};
    const std::vector<double> cas{74828.9, 888.0, 777.0, 1e12, -74828.0};
    FluidComposition record{};
    record.componentCount = 5;
    WobbeCalcs engine(&record);
    engine.m_moleFractions = fractions.data();
    engine.m_molecularWeights = masses.data();
    engine.m_casNumbers = cas.data();
    ASSERT_EQ(engine.LoadComponentTable(), 0);
    ASSERT_EQ(engine.m_componentCount, 5);
    ASSERT_NE(engine.m_components, nullptr);

    struct Expected {
        std::int32_t casNumber;
        std::int32_t origin;
        std::int32_t rowKey;
    };
    const Expected expected[] = {
        {74828, 0, 74828},    // truncated toward zero
        {888, 1, 74986},      // propane by molar mass
        {777, 3, 124185},     // n-decane above undecane's molar mass
        {0, 1, 106978},       // out of the 32-bit range: unlisted, n-butane by molar mass
        {-74828, 1, 74828},   // negative key: unlisted, methane by molar mass
    };
    for (std::int32_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const WobbeComponent& c = engine.m_components[i];
        const Iso6976Row row = LookUpIso6976Row(expected[i].rowKey, 0.0).row;
        EXPECT_EQ(c.componentIndex, i);
        EXPECT_EQ(c.casNumber, expected[i].casNumber);
        EXPECT_EQ(c.origin, expected[i].origin);
        EXPECT_EQ(c.molarMass, masses[i]);
        EXPECT_EQ(c.moleFraction, 0.0);
        EXPECT_EQ(c.sqrtB15, row.sqrtB15);
        EXPECT_EQ(c.sqrtB0, row.sqrtB0);
        EXPECT_EQ(c.grossCv15, row.grossCv15);
        EXPECT_EQ(c.grossCv0, row.grossCv0);
        EXPECT_EQ(c.netCv15, row.netCv15);
        EXPECT_EQ(c.netCv0, row.netCv0);
    }
    engine.CalculateMixture(0);
    for (std::int32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(engine.m_components[i].moleFraction, fractions[i]);
    }
}

TEST(WobbeCalcsTest, CasKeyConversion) {
    struct Case {
        double value;
        std::int32_t key;
    };
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const Case cases[] = {
        {74828.0, 74828},
        {7732185.999, 7732185},
        {-1.5, -1},
        {-0.5, 0},
        {2147483647.0, kMax},
        {2147483647.75, kMax},
        {2147483648.0, 0},
        {-2147483648.0, kMin},
        {-2147483648.75, kMin},
        {-2147483649.0, 0},
        {1e300, 0},
        {-1e300, 0},
        {std::numeric_limits<double>::infinity(), 0},
        {-std::numeric_limits<double>::infinity(), 0},
        {kNaN, 0},
        {EMPTY_VALUE, -32767},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CasKeyFromDouble(c.value), c.key) << c.value;
    }
}

// The driver's arrays may be shorter than the record's count; told so, the engine reads no
// further. The arrays here are exactly as long as the count given, so a read past them is
// caught by the address sanitizer.
// TakesPart reads the bits of a fraction; it must answer as x != 0 && x != EMPTY_VALUE does.
TEST(WobbeCalcsTest, TakesPartAnswersAsTheComparisons) {
    using limits = std::numeric_limits<double>;
    for (const double x : {0.0, -0.0, EMPTY_VALUE, std::nextafter(EMPTY_VALUE, 0.0), 32767.0, limits::denorm_min(),
                           -limits::denorm_min(), limits::min(), 1.0, -1.0, limits::infinity(), -limits::infinity(),
                           limits::quiet_NaN(), -limits::quiet_NaN()}) {
        EXPECT_EQ(TakesPart(x), x != 0.0 && x != EMPTY_VALUE) << x;
    }
}

TEST(WobbeCalcsTest, AvailableCountLimitsWhatIsRead) {
    const Mixture two{{0.8, 0.2}, {16.043, 30.07}, {kMethaneCas, 74840.0}};
    const Results reference = Calculate(two, 0);

    ExpectSame(Calculate(two, 0, /*recordCount=*/7, /*available=*/2), reference);
    // The record's count wins when it is the smaller.
    const Mixture three{{0.8, 0.2, 0.5}, {16.043, 30.07, 44.097},
                        {kMethaneCas, 74840.0, 74986.0}};
    ExpectSame(Calculate(three, 0, /*recordCount=*/2, /*available=*/3), reference);

    // A negative available count reads nothing: the empty mixture.
    Results empty = kAllEmpty;
    empty.grossCvVolume = 0.0;
    empty.netCvVolume = 0.0;
    ExpectSame(Calculate(two, 0, /*recordCount=*/2, /*available=*/-3), empty);
    // So does a negative record count.
    ExpectSame(Calculate(two, 0, /*recordCount=*/-1), empty);
}

TEST(WobbeCalcsTest, MissingRecordOrArraysReadNothing) {
    FluidComposition record{};
    record.componentCount = 3;
    WobbeCalcs withoutArrays(&record);
    EXPECT_EQ(withoutArrays.LoadComponentTable(), 0);
    EXPECT_EQ(withoutArrays.m_componentCount, 0);
    EXPECT_EQ(withoutArrays.CalculateMixture(0), 0);
    EXPECT_EQ(withoutArrays.m_grossCvVolume, 0.0);

    const double x = 1.0;
    WobbeCalcs withoutRecord(nullptr);
    withoutRecord.m_moleFractions = &x;
    withoutRecord.m_molecularWeights = &x;
    withoutRecord.m_casNumbers = &x;
    EXPECT_EQ(withoutRecord.LoadComponentTable(), 0);
    EXPECT_EQ(withoutRecord.m_componentCount, 0);

    // Calculated without a loaded table: the empty mixture, no failure.
    WobbeCalcs notLoaded(&record);
    EXPECT_EQ(notLoaded.CalculateMixture(1), 0);
    EXPECT_EQ(notLoaded.m_netCvVolume, 0.0);
    EXPECT_EQ(notLoaded.m_density, EMPTY_VALUE);
}

TEST(WobbeCalcsTest, LoadingTwiceReplacesTheRecords) {
    const std::vector<double> x{1.0, 0.0};
    const std::vector<double> mw{16.043, 30.07};
    const std::vector<double> cas{kMethaneCas, 74840.0};
    FluidComposition record{};
    record.componentCount = 2;
    WobbeCalcs engine(&record);
    engine.m_moleFractions = x.data();
    engine.m_molecularWeights = mw.data();
    engine.m_casNumbers = cas.data();
    ASSERT_EQ(engine.LoadComponentTable(), 0);
    record.componentCount = 1;
    ASSERT_EQ(engine.LoadComponentTable(), 0);  // the first records are freed, not leaked
    EXPECT_EQ(engine.m_componentCount, 1);
    engine.CalculateMixture(0);
    ExpectSame(ResultsOf(engine), PureClosedForm(0.0447, 37.706, 33.948, 16.043, 288.15,
                                                 0.99958));
}

}  // namespace
