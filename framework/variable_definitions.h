// Display attributes of the correlations' variables, read from the definitions document
// carried in the module (resource type 23, id 201).
#pragma once

#include <string_view>

#include "framework/dataserver.h"

inline constexpr int kDefinitionsResourceType = 23;  // the HTML resource type
inline constexpr int kDefinitionsResourceId = 201;

// Applies the definition of one tagged name to a variable: display name, tagged name and,
// for an "Enum", the option texts in document order. False only when there is no variable
// or no XML document can be created; a missing, empty or malformed document, or a name
// without a definition, gives true with whatever was applied before that point.
bool LoadVariableDefinition(const char* taggedName, IVariable* variable);

// The same over a given document text (the module resource's bytes).
bool LoadVariableDefinitionFromText(std::string_view document, const char* taggedName, IVariable* variable);
