// What a platform library offers the code above it. The libraries are built with hidden
// visibility, so only what is marked leaves them: a header that other libraries, programs or
// tests include puts its declarations between VLT_EXPORT_BEGIN and VLT_EXPORT_END (functions,
// and classes with their vtables and typeinfo, which dynamic_cast and COM interfaces need to be
// one per process); a lone declaration in a header of a library's own takes VLT_EXPORT, as do
// the entry points a plug-in's host looks up.
#pragma once

#define VLT_EXPORT __attribute__((visibility("default")))
#define VLT_EXPORT_BEGIN _Pragma("GCC visibility push(default)")
#define VLT_EXPORT_END _Pragma("GCC visibility pop")
