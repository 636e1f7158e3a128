// The registrar: applies a registration script to the registry below HKEY_CLASSES_ROOT.
//
// Script language:
//   HKCR { ... }                      the root of the registered classes (HKEY_CLASSES_ROOT
//                                     also accepted); one or more such blocks
//   Name = s 'text'                   a key and its default value
//   Name                              a key, no value
//   val Name = s 'text'               a named string value of the enclosing key
//   Name { ... }                      keys and values below Name
//   NoRemove Name                     kept when unregistering; the keys inside are processed
//   ForceRemove Name                  deleted with everything below it before it is created,
//                                     and removed whole when unregistering
//   'Name'                            a name in quotes: never a keyword; '' stands for one quote
//   %NAME%                            replaced before parsing by the text given for NAME, each
//                                     single quote in it doubled; %% is one percent sign
//
// Unregistering removes each key after the keys named inside it; a key that still has subkeys
// of someone else stays, and a key that is not there is skipped. The whole script is parsed
// before anything is changed: a malformed one returns HRESULT_FROM_WIN32(ERROR_BAD_FORMAT)
// and changes nothing.
#pragma once

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "platform/com.h"
#include "platform/registry.h"
#include "platform/typelib.h"

namespace server {

enum class RegistrarMode { Register, Unregister };

// Replacement texts by name without the percent signs, e.g. {"MODULE", "/opt/x/Calorix.so"}.
using RegistrarReplacements = std::map<std::string, std::string, std::less<>>;

// Checks that a script is well formed; S_OK or HRESULT_FROM_WIN32(ERROR_BAD_FORMAT).
HRESULT CheckRegistryScript(std::string_view script, const RegistrarReplacements& replacements) noexcept;

// Applies the script inside an open transaction; the caller commits. On failure part of the
// script may have been applied in the transaction (abandon it to change nothing).
HRESULT ApplyRegistryScript(std::string_view script, const RegistrarReplacements& replacements,
                            RegistrarMode mode, platform::RegistryTransaction& registry) noexcept;

// Applies the script in a transaction of its own on the default registry: all of it or,
// on failure, nothing.
HRESULT ApplyRegistryScript(std::string_view script, const RegistrarReplacements& replacements,
                            RegistrarMode mode) noexcept;

// Applies the module resource of type "REGISTRY" with the given id, in a transaction of its
// own. HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND) when the module has no such resource.
HRESULT ApplyRegistryResource(int scriptId, const RegistrarReplacements& replacements,
                              RegistrarMode mode) noexcept;

// Runs the steps of one registration (each applies a script or writes keys in transactions of
// its own on the default registry) with one read and one write of the registry file, in one
// RegistryBatch. When anything fails, the batch is dropped unwritten and the steps run again
// one by one, each in its own transactions, up to the first that fails: the outcome is then
// that of running them one after the other. Returns the first failing status, else the last
// step's.
HRESULT RunRegistrationSteps(std::span<const std::function<HRESULT()>> steps) noexcept;

// DllRegisterServer and DllUnregisterServer of this module: its REGISTRY resources of the given
// ids in order, with %MODULE% its own path, then its type library, as one registration
// (RunRegistrationSteps).
HRESULT RegisterThisModule(std::span<const int> scriptIds, const platform::TypeLibraryInfo& typeLibrary,
                           RegistrarMode mode) noexcept;

}  // namespace server
