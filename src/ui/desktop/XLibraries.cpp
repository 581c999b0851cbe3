#include "ui/desktop/XLibraries.h"

#include <dlfcn.h>

void* XLibrarySymbol(const char* soname, const char* name)
{
    void* library = dlopen(soname, RTLD_LAZY | RTLD_LOCAL);
    return library ? dlsym(library, name) : nullptr;
}

const XcbFunctions* Xcb()
{
    static XcbFunctions f{};
    static const bool ok = [] {
        const auto get = [](const char* name, auto& function) {
            return XLibraryFunction("libxcb.so.1", name, function);
        };
        return get("xcb_flush", f.flush) && get("xcb_intern_atom", f.intern_atom) &&
               get("xcb_intern_atom_reply", f.intern_atom_reply) &&
               get("xcb_query_tree", f.query_tree) &&
               get("xcb_query_tree_reply", f.query_tree_reply) &&
               get("xcb_get_property", f.get_property) &&
               get("xcb_get_property_reply", f.get_property_reply) &&
               get("xcb_get_property_value", f.get_property_value) &&
               get("xcb_get_property_value_length", f.get_property_value_length) &&
               get("xcb_get_window_attributes", f.get_window_attributes) &&
               get("xcb_get_window_attributes_reply", f.get_window_attributes_reply) &&
               get("xcb_get_input_focus", f.get_input_focus) &&
               get("xcb_get_input_focus_reply", f.get_input_focus_reply) &&
               get("xcb_send_event", f.send_event);
    }();
    return ok ? &f : nullptr;
}
