// Points one entry of the test program's import table at a stand-in while
// the object lives, so a test can watch a system call or make it answer the
// way the documentation allows rather than the way Wine happens to.
#pragma once
#include <windows.h>

class ImportPatch {
public:
    // `module` as it is imported ("gdi32.dll"), `function` by name.
    ImportPatch(const char* module, const char* function, void* standIn);
    ~ImportPatch();
    bool Active() const { return slot_ != NULL; }
    // The function the entry held before; call it from the stand-in.
    void* Original() const { return original_; }

private:
    void** slot_;
    void* original_;
};
