// A scriptable stand-in of the host simulator for tests: fluid source, fluid state,
// component data and flash calculator whose answers a test sets. Any call can be made to
// fail; calls are counted and logged; at the end of a test Check() tells whether every
// reference and every task-allocator block it handed out came back exactly once.
//
//   FakeHost host;
//   host.SetGas({{74828, 16.043, 0.9}, {74840, 30.07, 0.1}});   // CAS, M, overall x
//   host.SetPhase(0, 1.0, {0.9, 0.1});                            // vapour
//   ... attach host.Source() to a correlation, calculate ...
//   EXPECT_EQ(host.Check(), "");
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <string>
#include <vector>

#include "framework/empty_value.h"
#include "framework/host_interfaces.h"
#include "platform/task_allocator.h"

namespace fakehost {

// Watches every task-allocator call in the process (all modules) and records double frees
// instead of letting them corrupt the heap.
class AllocatorSpy final : public platform::TaskAllocatorSpy {
public:
    static AllocatorSpy& Instance();
    void OnAlloc(void* block, std::size_t size) override;
    bool OnFree(void* block) override;
    void OnRealloc(void* oldBlock, void* newBlock, std::size_t size) override;

    bool IsLive(const void* block) const;
    std::size_t Live() const;  // blocks allocated and not yet freed, by anyone
    // Marks a live block as handed out by an owner; the mark goes when the block is freed.
    void Tag(const void* block, const void* owner);
    int LiveTagged(const void* owner) const;
    void Untag(const void* owner);
    // Blocks freed although they were not live (double or foreign frees) since the last reset.
    int BadFrees() const;
    void ResetBadFrees();

private:
    mutable std::mutex m_mutex;
    std::unordered_map<const void*, const void*> m_live;  // block -> owner that handed it out
    int m_badFrees = 0;
};

struct Component {
    double cas;
    double molecularWeight;
    double moleFraction;
    double componentClass = 0;
};

struct FlashCall {
    double temperature;
    double pressure;
    double phaseFraction0;
    std::vector<double> feed;
};

class FakeHost;

// A COM object owned by the fake host: Release never deletes it, so a surplus Release is
// recorded instead of freeing memory twice.
class TrackedObject {
public:
    explicit TrackedObject(FakeHost& host, const char* name) : m_host(host), m_name(name) {}
    ULONG Add() { return static_cast<ULONG>(++m_refs); }
    ULONG Drop();
    long Refs() const { return m_refs; }
    const char* Name() const { return m_name; }

protected:
    FakeHost& m_host;

private:
    const char* m_name;
    std::atomic<long> m_refs{1};  // the fake host's own reference
};

class FakeHost {
public:
    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // ---- the fluid ----
    // Components with CAS, molecular weight, overall fraction (and class). Sets
    // "CAS_Numbers", "ComponentIDs", "Molecular Weight", "ComponentClass", the overall slot,
    // and makes no phase present.
    void SetGas(const std::vector<Component>& components);
    void SetOverall(std::vector<double> fractions) { m_slots[kOverallSlot] = std::move(fractions); }
    // Makes phase slot 0-3 present with the given fraction and composition.
    void SetPhase(int slot, double phaseFraction, std::vector<double> fractions);
    void SetPhaseAbsent(int slot);
    void SetProperty(const std::string& name, std::vector<double> values) { m_properties[name] = std::move(values); }
    void RemoveProperty(const std::string& name) { m_properties.erase(name); }
    // The count the host reports for a property, when it differs from the values set.
    void SetReportedCount(const std::string& name, std::int32_t count) { m_reportedCounts[name] = count; }
    // The component count written into the composition record (default: overall size).
    void SetComponentCount(std::int32_t count) { m_componentCount = count; }

    double temperature = 15.0;
    double pressure = 5000.0;
    double phaseFractions[kPhaseCount] = {0, 0, 0, 0};
    std::int32_t phasePresent[kPhaseCount] = {0, 0, 0, 0};
    std::int32_t needsRecalculation = 1;   // what NeedsRecalculation leaves in the flag
    bool componentDataAnswersQuery = true;  // whether GetComponentData's object is IComponentData
    // The flash: a function of the record it receives. Without one, the component data does
    // not answer IFlashCalculator.
    std::function<HRESULT(FluidComposition&)> flash;

    // ---- failures, counts and logs ----
    // Call names: "GetFluidState", "NeedsRecalculation", "GetComponentData", "GetComposition",
    // "GetComponentProperty:<name>", "Flash", "QueryInterface:IFlashCalculator".
    void Fail(const std::string& call, HRESULT status = E_FAIL) { m_failures[call] = status; }
    void ClearFailures() { m_failures.clear(); }
    int Calls(const std::string& call) const;
    const std::vector<std::string>& CallLog() const { return m_callLog; }
    const std::vector<FlashCall>& FlashLog() const { return m_flashLog; }
    void ClearLogs();
    bool recordCalls = true;  // off in benchmarks: calls are then neither counted nor logged

    // ---- objects handed to the library ----
    IUnknown* Source();        // answers IFluidSource
    IUnknown* PlainObject();   // answers IUnknown only
    long OutstandingReferences() const;  // references held by others than the fake host

    // "" when every reference and every block handed out came back exactly once; otherwise a
    // description of what did not. retainedBlocks: blocks the library may legitimately
    // still hold (a cache of the last host array).
    std::string Check(int retainedBlocks = 0) const;

    // ---- used by the fake objects ----
    HRESULT Enter(const std::string& call);
    void RecordOverRelease(const char* object);
    HRESULT FillComposition(FluidComposition* record);
    HRESULT AnswerProperty(const char* name, std::int32_t* count, double** values);
    HRESULT RunFlash(FluidComposition* record);
    void NoteHandedOut(void* block);
    IUnknown* ComponentDataUnknown();
    IUnknown* StateUnknown();

private:
    struct Objects;
    std::unique_ptr<Objects> m_objects;
    std::vector<double> m_slots[kSlotCount];
    std::int32_t m_componentCount = -1;
    std::map<std::string, std::vector<double>> m_properties;
    std::map<std::string, std::int32_t> m_reportedCounts;
    std::map<std::string, HRESULT> m_failures;
    std::map<std::string, int> m_calls;
    std::vector<std::string> m_callLog;
    std::vector<FlashCall> m_flashLog;
    std::vector<std::string> m_errors;
    mutable std::mutex m_mutex;
};

}  // namespace fakehost
