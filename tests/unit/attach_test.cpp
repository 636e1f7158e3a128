// Attach when the result set cannot be cloned: nothing is registered and nothing leaks.
#include <gtest/gtest.h>

#include "framework/correlation_core.h"
#include "platform/com_object.h"
#include "tests/support/fake_host.h"

namespace {

// A result set whose Clone fails.
class UncloneableSet final : public platform::ComObject<IVariableSet> {
public:
    HRESULT COMCALL GetCount(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL GetVariableAt(std::int32_t, IVariable**) override { return E_NOTIMPL; }
    HRESULT COMCALL GetSetName(BSTR*) override { return E_NOTIMPL; }
    HRESULT COMCALL SetSetName(const OLECHAR*) override { return E_NOTIMPL; }
    HRESULT COMCALL AddVariable(IVariable*) override { return E_NOTIMPL; }
    HRESULT COMCALL RemoveVariable(const OLECHAR*) override { return E_NOTIMPL; }
    HRESULT COMCALL RemoveAll() override { return E_NOTIMPL; }
    HRESULT COMCALL Contains(const OLECHAR*, std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL GetModified(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL SetModified(std::int32_t) override { return E_NOTIMPL; }
    HRESULT COMCALL Clone(IVariableSet**) override { return E_OUTOFMEMORY; }
    HRESULT COMCALL CopyValuesFrom(IVariableSet*) override { return E_NOTIMPL; }
    HRESULT COMCALL GetOwnerTag(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT COMCALL SetOwnerTag(std::int32_t) override { return E_NOTIMPL; }
    HRESULT COMCALL GetVariable(const OLECHAR*, IVariable**) override { return E_NOTIMPL; }
};

class UncloneableFamily : public CorrelationBase {
public:
    struct Parameter {};
    UncloneableFamily(const ClassIdentity& identity, const Parameter&) : CorrelationBase(identity) {}
    HRESULT Initialize() override {
        m_resultSet = platform::ComPtr<IVariableSet>(new UncloneableSet());
        return S_OK;
    }
};

struct TestIdentity {
    using Interface = IHHV;
    using Family = UncloneableFamily;
    static const CLSID& ClassId() { return CLSID_HHV; }
    static constexpr const char* kDisplayName = "Test";
    static constexpr std::int32_t kResultType = 128;
    static constexpr UncloneableFamily::Parameter kParameter{};
};

// A correlation on the stack with a count that never deletes it.
class TestObject final : public CorrelationClass<TestIdentity> {
public:
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override { return InternalQueryInterface(riid, ppv); }
    ULONG COMCALL AddRef() override { return ++refs; }
    ULONG COMCALL Release() override { return --refs; }
    ULONG refs = 1;
};

}  // namespace

TEST(Attach, AFailedCloneRegistersNothingAndReleasesTheSource) {
    fakehost::FakeHost host;
    {
        TestObject correlation;
        ASSERT_EQ(correlation.Initialize(), S_OK);
        std::int32_t key = -5;
        IVariableSet* set = nullptr;
        EXPECT_EQ(correlation.Attach(host.Source(), 0, &key, &set), CONNECT_E_NOCONNECTION);
        EXPECT_EQ(key, -5);
        EXPECT_EQ(correlation.AttachmentCount(), 0u);
        EXPECT_EQ(correlation.Detach(1), CONNECT_E_CANNOTCONNECT);
        EXPECT_EQ(host.OutstandingReferences(), 0);
    }
    EXPECT_EQ(host.Check(), "");
}
