#pragma once
// A module's import table, patched: the tests and the benchmark see (and
// replace) the system calls the extension makes.
#include <windows.h>

namespace testsupport {

// The import-table slot through which module calls the named function;
// null when it does not import it by name.
void** FindImportSlot(HMODULE module, const char* name);
// Writes value into the slot (import tables are read-only once loaded).
void WriteImportSlot(void** slot, void* value);

}  // namespace testsupport
