#pragma once

// The X libraries' functions the program calls itself (the paste, and the
// flush after the toolbar is shown), opened at their first use instead of
// linked. A library the executable links comes early in the dynamic loader's
// search order, ahead of most libraries the Qt libraries pull in, so each of
// the roughly ten thousand symbols the Qt libraries bind at start-up was
// looked up in it first: linking libXtst (with libXext), libX11 and libxcb
// cost the start about a million instructions before the toolbar's map.
#include <xcb/xcb.h>

struct XcbFunctions {
    decltype(&::xcb_flush) flush;
    decltype(&::xcb_intern_atom) intern_atom;
    decltype(&::xcb_intern_atom_reply) intern_atom_reply;
    decltype(&::xcb_query_tree) query_tree;
    decltype(&::xcb_query_tree_reply) query_tree_reply;
    decltype(&::xcb_get_property) get_property;
    decltype(&::xcb_get_property_reply) get_property_reply;
    decltype(&::xcb_get_property_value) get_property_value;
    decltype(&::xcb_get_property_value_length) get_property_value_length;
    decltype(&::xcb_get_window_attributes) get_window_attributes;
    decltype(&::xcb_get_window_attributes_reply) get_window_attributes_reply;
    decltype(&::xcb_get_input_focus) get_input_focus;
    decltype(&::xcb_get_input_focus_reply) get_input_focus_reply;
    decltype(&::xcb_send_event) send_event;
};

// Null when libxcb cannot be opened or lacks one of the functions (Qt's X11
// platform has it loaded already).
const XcbFunctions* Xcb();

// The function `name` of the library `soname`, which is opened at the first
// call and stays loaded; null when either is missing. XLibraryFunction puts
// it into a typed pointer and says whether there was one.
void* XLibrarySymbol(const char* soname, const char* name);
template <typename Function>
bool XLibraryFunction(const char* soname, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(XLibrarySymbol(soname, name));
    return function != nullptr;
}
