// The fake host's own end-of-test check must catch what it exists to catch.
#include <gtest/gtest.h>

#include "tests/support/fake_host.h"

using fakehost::FakeHost;
using platform::ComPtr;

namespace {

void SetUpMethane(FakeHost& host) { host.SetGas({{74828, 16.043, 1.0}}); }

// Takes what a correlation would take, returning it all.
void UseLikeALibrary(FakeHost& host) {
    ComPtr<IFluidSource> source;
    ASSERT_EQ(host.Source()->QueryInterface(IID_IFluidSource, source.PutVoid()), S_OK);
    ComPtr<IFluidState> state;
    ASSERT_EQ(source->GetFluidState(0, state.Put()), S_OK);
    ComPtr<IUnknown> object;
    ASSERT_EQ(state->GetComponentData(object.Put()), S_OK);
    ComPtr<IComponentData> data;
    ASSERT_EQ(object.As(&data), S_OK);
    FluidComposition record{};
    ASSERT_EQ(data->GetComposition(&record), S_OK);
    for (int slot = 0; slot < kSlotCount; ++slot) CoTaskMemFree(record.moleFractions[slot]);
    std::int32_t count = record.componentCount;
    auto* values = static_cast<double*>(CoTaskMemAlloc(sizeof(double) * count));
    ASSERT_EQ(data->GetComponentProperty("Molecular Weight", &count, &values), S_OK);
    EXPECT_EQ(values[0], 16.043);
    CoTaskMemFree(values);
}

}  // namespace

TEST(FakeHost, BalancedUseChecksClean) {
    FakeHost host;
    SetUpMethane(host);
    UseLikeALibrary(host);
    EXPECT_EQ(host.Check(), "");
    EXPECT_EQ(host.Calls("GetComposition"), 1);
}

TEST(FakeHost, CatchesALeakedReferenceAndAnUnfreedBlock) {
    FakeHost host;
    SetUpMethane(host);
    IFluidSource* leaked = nullptr;
    host.Source()->QueryInterface(IID_IFluidSource, reinterpret_cast<void**>(&leaked));
    ComPtr<IUnknown> object;
    ComPtr<IFluidState> state;
    ComPtr<IFluidSource>(leaked)->GetFluidState(0, state.Put());
    state->GetComponentData(object.Put());
    ComPtr<IComponentData> data;
    object.As(&data);
    std::int32_t count = 1;
    double* values = nullptr;
    data->GetComponentProperty("CAS_Numbers", &count, &values);

    std::string report = host.Check();
    EXPECT_NE(report.find("fluid source: 1 reference(s) not released"), std::string::npos) << report;
    EXPECT_NE(report.find("1 task-allocator block(s) not freed"), std::string::npos) << report;
    leaked->Release();
    CoTaskMemFree(values);
    object = nullptr;
    data = nullptr;
    state = nullptr;
    EXPECT_EQ(host.Check(), "");
}

TEST(FakeHost, CatchesADoubleFreeAndAnOverRelease) {
    FakeHost host;
    SetUpMethane(host);
    ComPtr<IFluidSource> source;
    host.Source()->QueryInterface(IID_IFluidSource, source.PutVoid());
    ComPtr<IFluidState> state;
    source->GetFluidState(0, state.Put());
    ComPtr<IUnknown> object;
    state->GetComponentData(object.Put());
    ComPtr<IComponentData> data;
    object.As(&data);
    FluidComposition record{};
    data->GetComposition(&record);
    for (int slot = 0; slot < kSlotCount; ++slot) CoTaskMemFree(record.moleFractions[slot]);
    CoTaskMemFree(record.moleFractions[0]);  // the second free is caught, not performed
    state.Get()->Release();
    state.Detach();
    state = nullptr;
    IFluidState* again = nullptr;
    source->GetFluidState(0, &again);
    again->Release();
    again->Release();  // one more than it holds

    std::string report = host.Check();
    EXPECT_NE(report.find("freed twice"), std::string::npos) << report;
    EXPECT_NE(report.find("fluid state: released more often"), std::string::npos) << report;
    fakehost::AllocatorSpy::Instance().ResetBadFrees();
}
