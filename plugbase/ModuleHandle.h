#pragma once

// The handle of the loaded module file (HINSTANCE on Windows, the library
// handle the Linux host passes to ModuleEntry). Resource loading reads it.

void* GetModuleInstance();
void SetModuleInstance(void* instance);
