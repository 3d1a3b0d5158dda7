/*
 * How a plug-in library marks its entry, the one symbol the core looks up.
 *
 * Plain C. Define the entry as `extern "C" KZO_PLUGIN_ENTRY void
 * load_<name>(PluginLoadRecord*)`: cdecl, undecorated, and exported from a
 * library whose other symbols stay inside it (kzo_add_plugin links it so).
 */
#ifndef KZO_PLUGIN_ENTRY_ABI_H
#define KZO_PLUGIN_ENTRY_ABI_H

#if defined(_WIN32)
#define KZO_PLUGIN_ENTRY __attribute__((dllexport, cdecl))
#else
#define KZO_PLUGIN_ENTRY __attribute__((visibility("default")))
#endif

#endif /* KZO_PLUGIN_ENTRY_ABI_H */
