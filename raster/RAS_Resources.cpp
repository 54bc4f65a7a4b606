#include "raster/RAS_Resources.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::vector<RAS_ResourceEntry>& Table() {
  static std::vector<RAS_ResourceEntry> table;  // filled during static initialisation
  return table;
}

#ifdef _WIN32
HMODULE gModule = nullptr;

HMODULE OwnModule() {
  if (gModule) return gModule;
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&Table), &self);
  return self;
}
#endif

}  // namespace

bool RAS_RegisterResources(const RAS_ResourceEntry* entries, std::size_t count) {
  auto& table = Table();
  for (std::size_t i = 0; entries && i < count; ++i) {
    bool replaced = false;
    for (auto& e : table) {
      if (e.id == entries[i].id) {
        e = entries[i];
        replaced = true;
      }
    }
    if (!replaced) table.push_back(entries[i]);
  }
  return true;
}

#ifdef _WIN32
void RAS_SetResourceModule(HINSTANCE__* module) { gModule = module; }
#endif

std::span<const unsigned char> RAS_FindPngResource(int id) {
#ifdef _WIN32
  HMODULE module = OwnModule();
  // Integer ids only; MAKEINTRESOURCE keeps the low 16 bits.
  if (id >= 0 && id <= 0xffff) {
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
    if (info) {
      const DWORD size = SizeofResource(module, info);
      HGLOBAL handle = LoadResource(module, info);
      const void* bytes = handle ? LockResource(handle) : nullptr;
      if (bytes) return {static_cast<const unsigned char*>(bytes), size};
    }
  }
#endif
  for (const auto& e : Table()) {
    if (e.id == id && e.data) return {e.data, e.size};
  }
  return {};
}
