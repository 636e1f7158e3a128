#include "host/manager/fluid.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "framework/empty_value.h"
#include "host/thermo/flash.h"
#include "platform/out_param.h"

namespace calorix::host {

namespace {

std::atomic<std::int32_t> g_liveObjects{0};

// Reference count and the live-object tally shared by the host's objects.
class RefCounted {
protected:
    RefCounted() noexcept { ++g_liveObjects; }
    virtual ~RefCounted() { --g_liveObjects; }
    ULONG AddRefImpl() noexcept { return ++m_references; }
    ULONG ReleaseImpl() noexcept {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> m_references{1};
};

class ComponentDataObject final : public IComponentData, public IFlashCalculator, private RefCounted {
public:
    ComponentDataObject(std::shared_ptr<const Fluid> fluid, double tempUnitFlag)
        : m_fluid(std::move(fluid)), m_tempUnitFlag(tempUnitFlag) {}

    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IComponentData)
            *ppv = static_cast<IComponentData*>(this);
        else if (riid == IID_IFlashCalculator)
            *ppv = static_cast<IFlashCalculator*>(this);
        else
            return E_NOINTERFACE;
        AddRefImpl();
        return S_OK;
    }
    ULONG COMCALL AddRef() override { return AddRefImpl(); }
    ULONG COMCALL Release() override { return ReleaseImpl(); }

    HRESULT COMCALL GetComponentProperty(const char* name, std::int32_t* count, double** values) override {
        if (!name || !count || !values) return E_POINTER;
        try {
            enum class Property { MolecularWeight, Cas, Class, TempUnitFlag, MolarFlow };
            Property property;
            const std::string_view key(name);
            if (key == "Molecular Weight")
                property = Property::MolecularWeight;
            else if (key == "CAS_Numbers" || key == "ComponentIDs")
                property = Property::Cas;
            else if (key == "ComponentClass")
                property = Property::Class;
            else if (key == "TempUnitFlag")
                property = Property::TempUnitFlag;
            else if (key == "MolarFlow")
                property = Property::MolarFlow;
            else
                return E_INVALIDARG;

            const auto& components = m_fluid->components;
            const std::size_t n = components.size();
            const std::size_t bytes = sizeof(double) * std::max<std::size_t>(n, 1);
            // What the caller hands in is either its own block or our previous answer: both
            // come from the task allocator, so it is resized rather than replaced.
            auto* block = static_cast<double*>(*values ? CoTaskMemRealloc(*values, bytes) : CoTaskMemAlloc(bytes));
            if (!block) return E_OUTOFMEMORY;  // *values, if any, is still the caller's
            for (std::size_t i = 0; i < n; ++i) {
                const Component& c = components[i];
                switch (property) {
                    case Property::MolecularWeight: block[i] = c.molarMassKgPerKmol; break;
                    case Property::Cas: block[i] = static_cast<double>(c.casKey); break;
                    case Property::Class: block[i] = static_cast<double>(c.componentClass); break;
                    case Property::TempUnitFlag: block[i] = m_tempUnitFlag; break;
                    case Property::MolarFlow: block[i] = m_fluid->molarFlowKmolPerH; break;
                }
            }
            if (n == 0) block[0] = 0.0;
            *values = block;
            *count = static_cast<std::int32_t>(n);
            return S_OK;
        } catch (...) {
            return E_FAIL;
        }
    }

    HRESULT COMCALL GetComposition(FluidComposition* record) override {
        if (!record) return E_POINTER;
        const Fluid& fluid = *m_fluid;
        const std::size_t n = fluid.components.size();
        double* arrays[kSlotCount] = {};
        for (auto& a : arrays) {
            a = static_cast<double*>(CoTaskMemAlloc(sizeof(double) * std::max<std::size_t>(n, 1)));
            if (!a) {
                for (double* p : arrays) CoTaskMemFree(p);
                return E_OUTOFMEMORY;
            }
            std::fill(a, a + std::max<std::size_t>(n, 1), 0.0);
        }
        auto copy = [n](const std::vector<double>& from, double* to) {
            for (std::size_t i = 0; i < n && i < from.size(); ++i) to[i] = from[i];
        };
        std::memset(record, 0, sizeof *record);
        record->temperature = fluid.temperatureC;
        record->pressure = fluid.pressureKPa;
        record->componentCount = static_cast<std::int32_t>(n);
        for (int k = 0; k < kSlotCount; ++k) {
            record->moleFractions[k] = arrays[k];
            record->slotValuesA[k] = EMPTY_VALUE;
            record->slotValuesB[k] = EMPTY_VALUE;
            record->slotValuesC[k] = EMPTY_VALUE;
            record->slotValuesD[k] = EMPTY_VALUE;
        }
        copy(fluid.moleFractions, arrays[kOverallSlot]);
        if (fluid.phases.empty()) {
            copy(fluid.moleFractions, arrays[kVapourSlot]);
            record->phasePresent[kVapourSlot] = 1;
            record->phaseFraction[kVapourSlot] = 1.0;
        } else {
            for (const Phase& p : fluid.phases) {
                if (p.slot < 0 || p.slot >= kPhaseCount) continue;
                copy(p.moleFractions, arrays[p.slot]);
                record->phasePresent[p.slot] = 1;
                record->phaseFraction[p.slot] = p.fraction;
            }
        }
        return S_OK;
    }

    // IFlashCalculator
    HRESULT COMCALL GetPropertyPackageName(BSTR* name) override {
        if (!name) return E_POINTER;
        *name = SysAllocString(OLESTR("Peng-Robinson"));
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT COMCALL GetMaxPhaseCount(std::int32_t* count) override { return platform::OutValue(3, count); }
    HRESULT COMCALL GetTolerance(double* tolerance) override { return platform::OutValue(m_tolerance, tolerance); }
    HRESULT COMCALL SetTolerance(double tolerance) override {
        if (!(tolerance > 0.0)) return E_INVALIDARG;
        m_tolerance = tolerance;
        return S_OK;
    }
    HRESULT COMCALL GetFlashCount(std::int32_t* count) override { return platform::OutValue(m_flashCount, count); }
    HRESULT COMCALL Flash(FluidComposition* record) override {
        ++m_flashCount;
        try {
            // The model of the mixture is made for the first flash asked: most classes never flash.
            if (!m_flash) m_flash.emplace(m_fluid->components);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
        return m_flash->Flash(record);
    }

private:
    std::shared_ptr<const Fluid> m_fluid;
    std::optional<PengRobinsonFlash> m_flash;
    double m_tempUnitFlag;
    double m_tolerance = 1e-7;   // kept for the host protocol; the flash has its own limits
    std::int32_t m_flashCount = 0;
};

class FluidStateObject final : public IFluidState, private RefCounted {
public:
    FluidStateObject(std::shared_ptr<const Fluid> fluid, double tempUnitFlag)
        : m_fluid(std::move(fluid)), m_tempUnitFlag(tempUnitFlag) {}

    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IFluidState) return E_NOINTERFACE;
        *ppv = static_cast<IFluidState*>(this);
        AddRefImpl();
        return S_OK;
    }
    ULONG COMCALL AddRef() override { return AddRefImpl(); }
    ULONG COMCALL Release() override { return ReleaseImpl(); }

    HRESULT COMCALL GetComponentData(IUnknown** componentData) override {
        if (!componentData) return E_POINTER;
        *componentData = nullptr;
        try {
            if (!m_componentData) m_componentData = MakeComponentData(m_fluid, m_tempUnitFlag);
            *componentData = m_componentData.Get();
            (*componentData)->AddRef();
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
    HRESULT COMCALL NeedsRecalculation(std::int32_t* flag) override { return platform::OutValue(m_fluid->needsRecalculation ? 1 : 0, flag); }

private:
    std::shared_ptr<const Fluid> m_fluid;
    double m_tempUnitFlag;
    platform::ComPtr<IComponentData> m_componentData;
};

class FluidSourceObject final : public IFluidSource, private RefCounted {
public:
    FluidSourceObject(std::vector<std::shared_ptr<const Fluid>> fluids, double tempUnitFlag)
        : m_fluids(std::move(fluids)), m_tempUnitFlag(tempUnitFlag), m_states(m_fluids.size()) {}

    HRESULT COMCALL QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IFluidSource) return E_NOINTERFACE;
        *ppv = static_cast<IFluidSource*>(this);
        AddRefImpl();
        return S_OK;
    }
    ULONG COMCALL AddRef() override { return AddRefImpl(); }
    ULONG COMCALL Release() override { return ReleaseImpl(); }

    HRESULT COMCALL GetFluidState(std::int32_t fluidIndex, IFluidState** state) override {
        if (!state) return E_POINTER;
        *state = nullptr;
        if (fluidIndex < 0 || static_cast<std::size_t>(fluidIndex) >= m_fluids.size()) return E_INVALIDARG;
        try {
            // One state per fluid, and with it one component data, shared by every correlation
            // attached to the fluid (the source lives on the thread of its correlations).
            auto& shared = m_states[static_cast<std::size_t>(fluidIndex)];
            if (!shared) shared = MakeFluidState(m_fluids[static_cast<std::size_t>(fluidIndex)], m_tempUnitFlag);
            *state = shared.Get();
            (*state)->AddRef();
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }

private:
    std::vector<std::shared_ptr<const Fluid>> m_fluids;
    double m_tempUnitFlag;
    std::vector<platform::ComPtr<IFluidState>> m_states;
};

}  // namespace

platform::ComPtr<IFluidSource> MakeFluidSource(std::vector<Fluid> fluids, double tempUnitFlag) {
    std::vector<std::shared_ptr<const Fluid>> shared;
    shared.reserve(fluids.size());
    for (auto& f : fluids) shared.push_back(std::make_shared<const Fluid>(std::move(f)));
    return platform::ComPtr<IFluidSource>::Adopt(new FluidSourceObject(std::move(shared), tempUnitFlag));
}

platform::ComPtr<IFluidState> MakeFluidState(std::shared_ptr<const Fluid> fluid, double tempUnitFlag) {
    if (!fluid) fluid = std::make_shared<const Fluid>();
    return platform::ComPtr<IFluidState>::Adopt(new FluidStateObject(std::move(fluid), tempUnitFlag));
}

platform::ComPtr<IComponentData> MakeComponentData(std::shared_ptr<const Fluid> fluid, double tempUnitFlag) {
    if (!fluid) fluid = std::make_shared<const Fluid>();
    return platform::ComPtr<IComponentData>::Adopt(new ComponentDataObject(std::move(fluid), tempUnitFlag));
}

std::int32_t LiveHostObjects() noexcept { return g_liveObjects.load(); }

}  // namespace calorix::host
