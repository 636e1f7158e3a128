// The host's fluid objects: the component-data contract (arrays handed out and returned through
// the task allocator), the composition record, reference counting and interface identity.
#include <gtest/gtest.h>

#include <memory>

#include "framework/empty_value.h"
#include "host/fluid/components.h"
#include "host/manager/fluid.h"
#include "platform/strings.h"
#include "tests/support/fake_host.h"

namespace calorix::host {
namespace {

// The record's doubles and pointers sit on 4-byte boundaries: read them by value only.
void FreeArrays(FluidComposition& r) {
    for (int k = 0; k < kSlotCount; ++k) {
        CoTaskMemFree(r.moleFractions[k]);
        r.moleFractions[k] = nullptr;
    }
}

using platform::ComPtr;

Fluid TwoPhaseFluid() {
    Fluid f;
    f.temperatureC = 12.5;
    f.pressureKPa = 4200.0;
    f.molarFlowKmolPerH = 250.0;
    for (const char* n : {"methane", "n-pentane", "water"}) f.components.push_back(ComponentFromRecord(*FindComponentByName(n)));
    f.moleFractions = {0.9, 0.07, 0.03};
    f.phases = {Phase{0, 0.95, {0.94, 0.05, 0.01}}, Phase{2, 0.05, {0.0, 0.0, 1.0}}};
    return f;
}

// Spy and object counts at the start, checked again at the end.
class FluidObjects : public ::testing::Test {
protected:
    void SetUp() override {
        m_live = fakehost::AllocatorSpy::Instance().Live();
        m_objects = LiveHostObjects();
        m_unknownFrees = fakehost::AllocatorSpy::Instance().BadFrees();
    }
    void TearDown() override {
        EXPECT_EQ(fakehost::AllocatorSpy::Instance().Live(), m_live) << "task-allocator blocks left";
        EXPECT_EQ(LiveHostObjects(), m_objects) << "host objects left";
        EXPECT_EQ(fakehost::AllocatorSpy::Instance().BadFrees(), m_unknownFrees) << "blocks freed that were not live";
    }

private:
    std::size_t m_live = 0;
    std::int32_t m_objects = 0;
    int m_unknownFrees = 0;
};

ComPtr<IComponentData> DataOf(Fluid f) { return MakeComponentData(std::make_shared<const Fluid>(std::move(f))); }

TEST_F(FluidObjects, ComponentPropertiesComeInTaskAllocatorArrays) {
    auto data = DataOf(TwoPhaseFluid());
    struct Case {
        const char* name;
        double expected[3];
    };
    const Case cases[] = {
        {"Molecular Weight", {16.0425, 72.1488, 18.0153}},
        {"CAS_Numbers", {74828.0, 109660.0, 7732185.0}},
        {"ComponentIDs", {74828.0, 109660.0, 7732185.0}},
        {"ComponentClass", {201.0, 201.0, 120.0}},
        {"TempUnitFlag", {1.0, 1.0, 1.0}},
        {"MolarFlow", {250.0, 250.0, 250.0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Null at first: the host allocates.
        std::int32_t count = 99;
        double* values = nullptr;
        ASSERT_EQ(data->GetComponentProperty(c.name, &count, &values), S_OK);
        ASSERT_EQ(count, 3);
        EXPECT_TRUE(fakehost::AllocatorSpy::Instance().IsLive(values));
        for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(values[i], c.expected[i]);
        // The previous answer handed back: reused or moved, never leaked.
        ASSERT_EQ(data->GetComponentProperty(c.name, &count, &values), S_OK);
        EXPECT_TRUE(fakehost::AllocatorSpy::Instance().IsLive(values));
        CoTaskMemFree(values);
        // The caller's own block, of another size.
        count = 1;
        values = static_cast<double*>(CoTaskMemAlloc(sizeof(double)));
        ASSERT_EQ(data->GetComponentProperty(c.name, &count, &values), S_OK);
        EXPECT_EQ(count, 3);
        EXPECT_TRUE(fakehost::AllocatorSpy::Instance().IsLive(values));
        EXPECT_DOUBLE_EQ(values[2], c.expected[2]);
        CoTaskMemFree(values);
    }
}

TEST_F(FluidObjects, PropertyRequestFailuresLeaveTheCallersArray) {
    auto data = DataOf(TwoPhaseFluid());
    std::int32_t count = 2;
    double* values = static_cast<double*>(CoTaskMemAlloc(2 * sizeof(double)));
    double* const mine = values;
    EXPECT_EQ(data->GetComponentProperty("Density", &count, &values), E_INVALIDARG);
    EXPECT_EQ(data->GetComponentProperty("molecular weight", &count, &values), E_INVALIDARG);
    EXPECT_EQ(values, mine);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(data->GetComponentProperty(nullptr, &count, &values), E_POINTER);
    EXPECT_EQ(data->GetComponentProperty("CAS_Numbers", nullptr, &values), E_POINTER);
    EXPECT_EQ(data->GetComponentProperty("CAS_Numbers", &count, nullptr), E_POINTER);
    CoTaskMemFree(values);
}

TEST_F(FluidObjects, CompositionRecordHasFiveArraysAndThePhases) {
    auto data = DataOf(TwoPhaseFluid());
    FluidComposition r{};
    ASSERT_EQ(data->GetComposition(&r), S_OK);
    EXPECT_EQ(+r.temperature, 12.5);
    EXPECT_EQ(+r.pressure, 4200.0);
    ASSERT_EQ(r.componentCount, 3);
    for (int k = 0; k < kSlotCount; ++k) EXPECT_TRUE(fakehost::AllocatorSpy::Instance().IsLive(r.moleFractions[k])) << k;
    const double expected[5][3] = {{0.94, 0.05, 0.01}, {0, 0, 0}, {0, 0, 1}, {0, 0, 0}, {0.9, 0.07, 0.03}};
    for (int k = 0; k < 5; ++k)
        for (int i = 0; i < 3; ++i) EXPECT_EQ(r.moleFractions[k][i], expected[k][i]) << k << "," << i;
    const std::int32_t present[] = {1, 0, 1, 0};
    const double fraction[] = {0.95, 0.0, 0.05, 0.0};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(r.phasePresent[k], present[k]);
        EXPECT_EQ(+r.phaseFraction[k], fraction[k]);
    }
    FreeArrays(r);

    // Without phases: one vapour phase, the overall composition.
    Fluid single = TwoPhaseFluid();
    single.phases.clear();
    auto data2 = DataOf(single);
    FluidComposition s{};
    ASSERT_EQ(data2->GetComposition(&s), S_OK);
    EXPECT_EQ(s.phasePresent[0], 1);
    EXPECT_EQ(+s.phaseFraction[0], 1.0);
    EXPECT_EQ(s.phasePresent[1] + s.phasePresent[2] + s.phasePresent[3], 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(s.moleFractions[0][i], single.moleFractions[static_cast<std::size_t>(i)]);
    FreeArrays(s);
    EXPECT_EQ(data2->GetComposition(nullptr), E_POINTER);
}

TEST_F(FluidObjects, ReferenceCountsAndIdentity) {
    std::vector<Fluid> fluids{TwoPhaseFluid()};
    fluids[0].needsRecalculation = false;
    auto source = MakeFluidSource(std::move(fluids));
    EXPECT_EQ(source->AddRef(), 2u);
    EXPECT_EQ(source->Release(), 1u);

    IFluidState* state = nullptr;
    EXPECT_EQ(source->GetFluidState(1, &state), E_INVALIDARG);
    EXPECT_EQ(state, nullptr);
    EXPECT_EQ(source->GetFluidState(-1, &state), E_INVALIDARG);
    ASSERT_EQ(source->GetFluidState(0, &state), S_OK);
    std::int32_t flag = 1;
    EXPECT_EQ(state->NeedsRecalculation(&flag), S_OK);
    EXPECT_EQ(flag, 0);

    IUnknown* first = nullptr;
    IUnknown* second = nullptr;
    ASSERT_EQ(state->GetComponentData(&first), S_OK);
    ASSERT_EQ(state->GetComponentData(&second), S_OK);
    EXPECT_EQ(first, second);  // one component-data object per state

    // Identity: every interface of the component data answers the same IUnknown.
    ComPtr<IComponentData> data;
    ComPtr<IFlashCalculator> flash;
    ComPtr<IUnknown> unknownA, unknownB;
    ASSERT_EQ(first->QueryInterface(IID_IComponentData, data.PutVoid()), S_OK);
    ASSERT_EQ(data->QueryInterface(IID_IFlashCalculator, flash.PutVoid()), S_OK);
    ASSERT_EQ(flash->QueryInterface(IID_IUnknown, unknownA.PutVoid()), S_OK);
    ASSERT_EQ(data->QueryInterface(IID_IUnknown, unknownB.PutVoid()), S_OK);
    EXPECT_EQ(unknownA.Get(), unknownB.Get());
    EXPECT_EQ(unknownA.Get(), first);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(data->QueryInterface(IID_IFluidSource, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(data->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    ComPtr<IUnknown> stateUnknown;
    ASSERT_EQ(state->QueryInterface(IID_IUnknown, stateUnknown.PutVoid()), S_OK);
    EXPECT_EQ(stateUnknown.Get(), static_cast<IUnknown*>(state));

    // References held: first + second (2), data, flash, unknownA, unknownB (4), state's own (1).
    EXPECT_EQ(first->AddRef(), 8u);
    first->Release();
    first->Release();
    second->Release();
    data = nullptr;
    flash = nullptr;
    unknownA = nullptr;
    unknownB = nullptr;
    stateUnknown = nullptr;
    // The source keeps one state per fluid, shared by every correlation attached to it, and
    // the state its one component data: the next correlation gets both as they are.
    EXPECT_EQ(state->Release(), 1u);
    IFluidState* again = nullptr;
    ASSERT_EQ(source->GetFluidState(0, &again), S_OK);
    EXPECT_EQ(again, state);
    IUnknown* third = nullptr;
    ASSERT_EQ(again->GetComponentData(&third), S_OK);
    EXPECT_EQ(third, first);
    third->Release();
    again->Release();
    EXPECT_EQ(source->GetFluidState(0, nullptr), E_POINTER);
}

TEST_F(FluidObjects, FlashThroughTheComponentData) {
    auto data = DataOf(TwoPhaseFluid());
    ComPtr<IFlashCalculator> flash;
    ASSERT_EQ(data.As(&flash), S_OK);
    std::int32_t count = -1;
    ASSERT_EQ(flash->GetMaxPhaseCount(&count), S_OK);
    EXPECT_EQ(count, 3);
    BSTR name = nullptr;
    ASSERT_EQ(flash->GetPropertyPackageName(&name), S_OK);
    EXPECT_EQ(platform::WideString(name), OLESTR("Peng-Robinson"));
    SysFreeString(name);

    FluidComposition r{};
    ASSERT_EQ(data->GetComposition(&r), S_OK);
    r.temperature = EMPTY_VALUE;
    r.phaseFraction[0] = 1.0;
    ASSERT_EQ(flash->Flash(&r), S_OK);
    EXPECT_GT(+r.temperature, 20.0);  // the water condenses first
    EXPECT_EQ(r.phasePresent[2], 1);
    ASSERT_EQ(flash->GetFlashCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    FreeArrays(r);
}

}  // namespace
}  // namespace calorix::host
