// The plug-in library's own module handle, for code that must find the library's resources.
#pragma once

// Base address of the loaded library; null until the load hook has run (for example in a test
// program that links the host glue statically).
extern void* hInstance;

// Records the module that contains the given address into hInstance; answers true on success.
// The load hook calls it with an address inside the plug-in library.
bool recordModuleHandle(const void* addressInModule);
