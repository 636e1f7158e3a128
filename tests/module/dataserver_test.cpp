// The data-server module varbank2 as the correlations reach it: by file name through
// CreateDataServerObject.
#include <gtest/gtest.h>

#include <string>

#include "framework/dataserver.h"
#include "framework/host_interfaces.h"
#include "platform/strings.h"

using platform::ComPtr;

namespace {

platform::WideString Text(BSTR b) {
    platform::WideString s = b ? platform::WideString(b, SysStringLen(b)) : platform::WideString();
    SysFreeString(b);
    return s;
}

double ValueAt(IVariableSet* set, const OLECHAR* name, std::int32_t index) {
    ComPtr<IVariable> variable;
    EXPECT_EQ(set->GetVariable(name, variable.Put()), S_OK);
    ComPtr<INumericVectorVariable> vector;
    EXPECT_EQ(variable.As(&vector), S_OK);
    double value = 0;
    EXPECT_EQ(vector->GetValue(index, &value), S_OK);
    return value;
}

}  // namespace

TEST(DataServer, CreatesEachClassAndKeepsNamesOptionsAndValues) {
    ComPtr<IVariableSet> set;
    ComPtr<INumericVectorVariable> vector;
    ComPtr<IEnumVariable> option;
    ASSERT_EQ(CreateDataServerObject(CLSID_VariableSet, &set), S_OK);
    ASSERT_EQ(CreateDataServerObject(CLSID_NumericVectorVariable, &vector), S_OK);
    ASSERT_EQ(CreateDataServerObject(CLSID_EnumVariable, &option), S_OK);

    EXPECT_EQ(vector->SetTaggedName(OLESTR("Phase_Values")), S_OK);
    EXPECT_EQ(vector->SetIntAttribute(-1), S_OK);
    EXPECT_EQ(vector->SetValue(5, 2.5), S_OK);  // grows to the index written
    std::int32_t size = 0;
    vector->GetSize(&size);
    EXPECT_EQ(size, 6);

    BSTR display = SysAllocString(OLESTR("Ref. Temp. Option"));
    option->SetDisplayName(display);
    SysFreeString(display);
    option->SetTaggedName(OLESTR("RefTempOption"));
    for (std::int32_t i = 0; const OLECHAR* text : {OLESTR("15.0 deg C"), OLESTR("0.0 deg C")}) {
        BSTR b = SysAllocString(text);
        EXPECT_EQ(option->SetEnumText(i++, b), S_OK);
        SysFreeString(b);
    }
    EXPECT_EQ(option->SetValue(0, 1), S_OK);
    EXPECT_NE(option->SetValue(0, 2), S_OK);  // no such option
    std::int32_t selected = -1;
    EXPECT_EQ(option->GetValue(0, &selected), S_OK);
    EXPECT_EQ(selected, 1);
    BSTR text = nullptr;
    option->GetSelectedText(0, &text);
    EXPECT_EQ(Text(text), OLESTR("0.0 deg C"));

    EXPECT_EQ(set->AddVariable(vector.Get()), S_OK);
    EXPECT_EQ(set->AddVariable(option.Get()), S_OK);
    ComPtr<IVariable> found;
    EXPECT_EQ(set->GetVariable(OLESTR("RefTempOption"), found.Put()), S_OK);
    BSTR name = nullptr;
    found->GetDisplayName(&name);
    EXPECT_EQ(Text(name), OLESTR("Ref. Temp. Option"));
    EXPECT_TRUE(FAILED(set->GetVariable(OLESTR("Missing"), found.Put())));
    EXPECT_EQ(found.Get(), nullptr);
}

TEST(DataServer, CloneIsADeepCopyIndependentOfTheOriginal) {
    ComPtr<IVariableSet> set;
    ComPtr<INumericVectorVariable> vector;
    ASSERT_EQ(CreateDataServerObject(CLSID_VariableSet, &set), S_OK);
    ASSERT_EQ(CreateDataServerObject(CLSID_NumericVectorVariable, &vector), S_OK);
    vector->SetTaggedName(OLESTR("Phase_Values"));
    vector->SetValue(0, 1.0);
    set->AddVariable(vector.Get());

    IVariableSet* clone = nullptr;
    ASSERT_EQ(set->Clone(&clone), S_OK);
    ComPtr<IVariableSet> copy = ComPtr<IVariableSet>::Adopt(clone);
    ASSERT_NE(copy.Get(), set.Get());
    EXPECT_EQ(ValueAt(copy.Get(), OLESTR("Phase_Values"), 0), 1.0);

    vector->SetValue(0, 7.0);
    EXPECT_EQ(ValueAt(copy.Get(), OLESTR("Phase_Values"), 0), 1.0);
    ComPtr<IVariable> own;
    copy->GetVariable(OLESTR("Phase_Values"), own.Put());
    ComPtr<INumericVectorVariable> ownVector;
    own.As(&ownVector);
    ownVector->SetValue(0, 3.0);
    EXPECT_EQ(ValueAt(set.Get(), OLESTR("Phase_Values"), 0), 7.0);
    EXPECT_EQ(ValueAt(copy.Get(), OLESTR("Phase_Values"), 0), 3.0);
}

TEST(DataServer, MissingLibraryOrClassGivesFail) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDataServerObject("no-such-library.dll", CLSID_VariableSet, IID_IVariableSet, &object), E_FAIL);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CreateDataServerObject(kDataServerFileName, CLSID_HHV, IID_IVariableSet, &object), E_FAIL);
    EXPECT_EQ(CreateDataServerObject(kDataServerFileName, CLSID_VariableSet, IID_IFluidSource, &object),
              E_NOINTERFACE);
}
