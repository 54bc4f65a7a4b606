#pragma once
// The module's own "PNG" resources, found by integer id.
// On Windows they are the module's resources of type "PNG" (FindResource on
// the module's own handle). Elsewhere the build embeds the image files as a
// table (see resources/) that registers itself here at start-up.

#include <cstddef>
#include <span>

struct RAS_ResourceEntry {
  int id;
  const unsigned char* data;
  std::size_t size;
};

// Adds a table of resources (static storage, not copied). A later entry with
// an id already present replaces the earlier one. Returns true. Called from
// static initialisers, before any lookup.
bool RAS_RegisterResources(const RAS_ResourceEntry* entries, std::size_t count);

// The bytes of the "PNG" resource id of this module; empty when there is none.
std::span<const unsigned char> RAS_FindPngResource(int id);

#ifdef _WIN32
struct HINSTANCE__;
// The module whose resources are searched. Defaults to the module that
// contains this code (the DLL when linked into one, the program otherwise);
// a plug-in may set it from DllMain. Null restores the default.
void RAS_SetResourceModule(HINSTANCE__* module);
#endif
