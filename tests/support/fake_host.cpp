#include "tests/support/fake_host.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "platform/comptr.h"
#include "platform/out_param.h"

extern "C" platform::TaskAllocatorSpy* CalorixTaskAllocatorSpy() { return &fakehost::AllocatorSpy::Instance(); }

namespace {
// Installed before main, so before the COM runtime starts, where it has to be installed.
[[maybe_unused]] const bool kSpyInstalled =
    (platform::InstallTaskAllocatorSpy(&fakehost::AllocatorSpy::Instance()), true);
}  // namespace

namespace fakehost {

// ---------------------------------------------------------------- allocator spy

AllocatorSpy& AllocatorSpy::Instance() {
    static AllocatorSpy* spy = new AllocatorSpy();  // never destroyed: modules free late
    return *spy;
}

void AllocatorSpy::OnAlloc(void* block, std::size_t) {
    std::lock_guard lock(m_mutex);
    m_live[block] = nullptr;
}

bool AllocatorSpy::OnFree(void* block) {
    std::lock_guard lock(m_mutex);
    if (m_live.erase(block) == 0) {
        ++m_badFrees;
        return false;
    }
    return true;
}

void AllocatorSpy::OnRealloc(void* oldBlock, void* newBlock, std::size_t) {
    std::lock_guard lock(m_mutex);
    if (oldBlock) m_live.erase(oldBlock);
    m_live[newBlock] = nullptr;
}

void AllocatorSpy::Tag(const void* block, const void* owner) {
    std::lock_guard lock(m_mutex);
    if (auto it = m_live.find(block); it != m_live.end()) it->second = owner;
}

void AllocatorSpy::Untag(const void* owner) {
    std::lock_guard lock(m_mutex);
    for (auto& entry : m_live)
        if (entry.second == owner) entry.second = nullptr;
}

int AllocatorSpy::LiveTagged(const void* owner) const {
    std::lock_guard lock(m_mutex);
    int n = 0;
    for (const auto& [block, tag] : m_live) n += tag == owner ? 1 : 0;
    return n;
}

bool AllocatorSpy::IsLive(const void* block) const {
    std::lock_guard lock(m_mutex);
    return m_live.count(block) != 0;
}

std::size_t AllocatorSpy::Live() const {
    std::lock_guard lock(m_mutex);
    return m_live.size();
}

int AllocatorSpy::BadFrees() const {
    std::lock_guard lock(m_mutex);
    return m_badFrees;
}

void AllocatorSpy::ResetBadFrees() {
    std::lock_guard lock(m_mutex);
    m_badFrees = 0;
}

// ---------------------------------------------------------------- tracked objects

ULONG TrackedObject::Drop() {
    long n = --m_refs;
    if (n < 1) {
        m_host.RecordOverRelease(m_name);
        ++m_refs;  // keep the host's own reference intact
        return 0;
    }
    return static_cast<ULONG>(n);
}

namespace {

template <typename Self>
HRESULT Answer(Self* self, void* pointer, void** ppv) {
    *ppv = pointer;
    self->Add();
    return S_OK;
}

class FluidSource final : public IFluidSource, public TrackedObject {
public:
    using TrackedObject::TrackedObject;
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IFluidSource) return Answer(this, static_cast<IFluidSource*>(this), ppv);
        return E_NOINTERFACE;
    }
    ULONG COMCALL AddRef() override { return Add(); }
    ULONG COMCALL Release() override { return Drop(); }
    HRESULT COMCALL GetFluidState(std::int32_t, IFluidState** state) override {
        if (!state) return E_POINTER;
        *state = nullptr;
        HRESULT hr = m_host.Enter("GetFluidState");
        if (FAILED(hr)) return hr;
        return m_host.StateUnknown()->QueryInterface(IID_IFluidState, reinterpret_cast<void**>(state));
    }
};

class FluidState final : public IFluidState, public TrackedObject {
public:
    using TrackedObject::TrackedObject;
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IFluidState) return Answer(this, static_cast<IFluidState*>(this), ppv);
        return E_NOINTERFACE;
    }
    ULONG COMCALL AddRef() override { return Add(); }
    ULONG COMCALL Release() override { return Drop(); }
    HRESULT COMCALL GetComponentData(IUnknown** data) override {
        if (!data) return E_POINTER;
        *data = nullptr;
        HRESULT hr = m_host.Enter("GetComponentData");
        if (FAILED(hr)) return hr;
        *data = m_host.ComponentDataUnknown();
        (*data)->AddRef();
        return S_OK;
    }
    HRESULT COMCALL NeedsRecalculation(std::int32_t* flag) override {
        if (!flag) return E_POINTER;
        HRESULT hr = m_host.Enter("NeedsRecalculation");
        if (FAILED(hr)) return hr;
        *flag = m_host.needsRecalculation;
        return S_OK;
    }
};

class ComponentData final : public IComponentData, public IFlashCalculator, public TrackedObject {
public:
    using TrackedObject::TrackedObject;
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IComponentData)
            return Answer(this, static_cast<IComponentData*>(this), ppv);
        if (riid == IID_IFlashCalculator) {
            HRESULT hr = m_host.Enter("QueryInterface:IFlashCalculator");
            if (FAILED(hr)) return hr;
            if (!m_host.flash) return E_NOINTERFACE;
            return Answer(this, static_cast<IFlashCalculator*>(this), ppv);
        }
        return E_NOINTERFACE;
    }
    ULONG COMCALL AddRef() override { return Add(); }
    ULONG COMCALL Release() override { return Drop(); }
    HRESULT COMCALL GetComponentProperty(const char* name, std::int32_t* count, double** values) override {
        if (!name || !count || !values) return E_POINTER;
        return m_host.AnswerProperty(name, count, values);
    }
    HRESULT COMCALL GetComposition(FluidComposition* record) override {
        if (!record) return E_POINTER;
        return m_host.FillComposition(record);
    }
    HRESULT COMCALL GetPropertyPackageName(BSTR* name) override {
        if (!name) return E_POINTER;
        *name = SysAllocString(OLESTR("Fake"));
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT COMCALL GetMaxPhaseCount(std::int32_t* count) override { return platform::OutValue(3, count); }
    HRESULT COMCALL GetTolerance(double* tolerance) override { return platform::OutValue(1e-9, tolerance); }
    HRESULT COMCALL SetTolerance(double) override { return S_OK; }
    HRESULT COMCALL GetFlashCount(std::int32_t* count) override { return platform::OutValue(m_host.Calls("Flash"), count); }
    HRESULT COMCALL Flash(FluidComposition* record) override {
        if (!record) return E_POINTER;
        return m_host.RunFlash(record);
    }
};

class BareObject final : public IUnknown, public TrackedObject {
public:
    using TrackedObject::TrackedObject;
    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) return Answer(this, static_cast<IUnknown*>(this), ppv);
        return E_NOINTERFACE;
    }
    ULONG COMCALL AddRef() override { return Add(); }
    ULONG COMCALL Release() override { return Drop(); }
};

}  // namespace

struct FakeHost::Objects {
    explicit Objects(FakeHost& host)
        : source(host, "fluid source"), state(host, "fluid state"), data(host, "component data"), plain(host, "plain object") {}
    FluidSource source;
    FluidState state;
    ComponentData data;
    BareObject plain;

    std::vector<const TrackedObject*> All() const { return {&source, &state, &data, &plain}; }
};

// ---------------------------------------------------------------- fake host

FakeHost::FakeHost() : m_objects(std::make_unique<Objects>(*this)) {
    AllocatorSpy::Instance().ResetBadFrees();
}

FakeHost::~FakeHost() { AllocatorSpy::Instance().Untag(this); }

void FakeHost::SetGas(const std::vector<Component>& components) {
    std::vector<double> cas, mw, x, classes;
    for (const Component& c : components) {
        cas.push_back(c.cas);
        mw.push_back(c.molecularWeight);
        x.push_back(c.moleFraction);
        classes.push_back(c.componentClass);
    }
    m_properties["CAS_Numbers"] = cas;
    m_properties["ComponentIDs"] = cas;
    m_properties["Molecular Weight"] = mw;
    m_properties["ComponentClass"] = classes;
    m_slots[kOverallSlot] = x;
    for (int p = 0; p < kPhaseCount; ++p) SetPhaseAbsent(p);
}

void FakeHost::SetPhase(int slot, double phaseFraction, std::vector<double> fractions) {
    m_slots[slot] = std::move(fractions);
    phaseFractions[slot] = phaseFraction;
    phasePresent[slot] = 1;
}

void FakeHost::SetPhaseAbsent(int slot) {
    m_slots[slot].clear();
    phaseFractions[slot] = 0.0;
    phasePresent[slot] = 0;
}

int FakeHost::Calls(const std::string& call) const {
    std::lock_guard lock(m_mutex);
    auto it = m_calls.find(call);
    return it == m_calls.end() ? 0 : it->second;
}

void FakeHost::ClearLogs() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
    m_callLog.clear();
    m_flashLog.clear();
}

HRESULT FakeHost::Enter(const std::string& call) {
    std::lock_guard lock(m_mutex);
    if (recordCalls) {
        ++m_calls[call];
        m_callLog.push_back(call);
    }
    if (m_failures.empty()) return S_OK;
    auto it = m_failures.find(call);
    return it == m_failures.end() ? S_OK : it->second;
}

void FakeHost::RecordOverRelease(const char* object) {
    std::lock_guard lock(m_mutex);
    m_errors.push_back(std::string(object) + ": released more often than referenced");
}

IUnknown* FakeHost::Source() { return static_cast<IFluidSource*>(&m_objects->source); }
IUnknown* FakeHost::PlainObject() { return &m_objects->plain; }
IUnknown* FakeHost::StateUnknown() { return static_cast<IFluidState*>(&m_objects->state); }
IUnknown* FakeHost::ComponentDataUnknown() {
    if (!componentDataAnswersQuery) return &m_objects->plain;
    return static_cast<IComponentData*>(&m_objects->data);
}

long FakeHost::OutstandingReferences() const {
    long n = 0;
    for (const TrackedObject* o : m_objects->All()) n += o->Refs() - 1;
    return n;
}

void FakeHost::NoteHandedOut(void* block) { AllocatorSpy::Instance().Tag(block, this); }

HRESULT FakeHost::FillComposition(FluidComposition* record) {
    HRESULT hr = Enter("GetComposition");
    if (FAILED(hr)) return hr;
    std::lock_guard lock(m_mutex);
    std::int32_t n = m_componentCount >= 0 ? m_componentCount
                                           : static_cast<std::int32_t>(m_slots[kOverallSlot].size());
    record->temperature = temperature;
    record->pressure = pressure;
    record->componentCount = n;
    for (int s = 0; s < kSlotCount; ++s) {
        std::size_t size = std::max<std::size_t>(m_slots[s].size(), static_cast<std::size_t>(std::max(n, 0)));
        auto* array = static_cast<double*>(CoTaskMemAlloc(std::max<std::size_t>(size, 1) * sizeof(double)));
        if (!array) return E_OUTOFMEMORY;
        for (std::size_t i = 0; i < size; ++i) array[i] = i < m_slots[s].size() ? m_slots[s][i] : 0.0;
        record->moleFractions[s] = array;
        NoteHandedOut(array);
        record->slotValuesA[s] = record->slotValuesB[s] = record->slotValuesC[s] = record->slotValuesD[s] = 0.0;
    }
    for (int p = 0; p < kPhaseCount; ++p) {
        record->phaseFraction[p] = phaseFractions[p];
        record->phasePresent[p] = phasePresent[p];
    }
    return S_OK;
}

HRESULT FakeHost::AnswerProperty(const char* name, std::int32_t* count, double** values) {
    std::string key = name;
    HRESULT hr = Enter("GetComponentProperty:" + key);
    if (FAILED(hr)) return hr;
    std::lock_guard lock(m_mutex);
    auto it = m_properties.find(key);
    if (it == m_properties.end()) return E_INVALIDARG;
    const std::vector<double>& source = it->second;
    auto reported = m_reportedCounts.find(key);
    std::int32_t n = reported != m_reportedCounts.end() ? reported->second : static_cast<std::int32_t>(source.size());
    std::size_t size = static_cast<std::size_t>(std::max(n, 0));
    // The caller's block (or our previous answer) is reused, as a host does.
    void* old = *values;
    auto* array = static_cast<double*>(CoTaskMemRealloc(old, std::max<std::size_t>(size, 1) * sizeof(double)));
    if (!array) return E_OUTOFMEMORY;
    for (std::size_t i = 0; i < size; ++i) array[i] = i < source.size() ? source[i] : 0.0;
    *values = array;
    *count = n;
    NoteHandedOut(array);
    return S_OK;
}

HRESULT FakeHost::RunFlash(FluidComposition* record) {
    HRESULT hr = Enter("Flash");
    if (recordCalls) {
        std::lock_guard lock(m_mutex);
        FlashCall call{record->temperature, record->pressure, record->phaseFraction[0], {}};
        if (record->moleFractions[kOverallSlot] && record->componentCount > 0)
            call.feed.assign(record->moleFractions[kOverallSlot], record->moleFractions[kOverallSlot] + record->componentCount);
        m_flashLog.push_back(std::move(call));
    }
    if (FAILED(hr)) return hr;
    return flash ? flash(*record) : E_NOTIMPL;
}

std::string FakeHost::Check(int retainedBlocks) const {
    std::ostringstream out;
    std::lock_guard lock(m_mutex);
    for (const TrackedObject* o : m_objects->All())
        if (o->Refs() != 1) out << o->Name() << ": " << (o->Refs() - 1) << " reference(s) not released; ";
    for (const std::string& e : m_errors) out << e << "; ";
    const int live = AllocatorSpy::Instance().LiveTagged(this);
    if (live > retainedBlocks) out << (live - retainedBlocks) << " task-allocator block(s) not freed; ";
    if (int bad = AllocatorSpy::Instance().BadFrees(); bad > 0) out << bad << " block(s) freed twice or never allocated; ";
    return out.str();
}

}  // namespace fakehost
