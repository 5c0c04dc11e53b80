// The extension module vedavi._native: its definition (multi-phase initialisation) and the exec
// step that registers its members.
#include "frame.h"

namespace vedavi::py {

// The members, in registration order (the order of the module's namespace). To add a member,
// insert one row at its place:
//   FUNCTION(name)        a function; its file defines `PyMethodDef name_method` (see frame.h)
//   VALUE(name, make)     an attribute or a class; its file defines `Ref make(PyObject* module)`,
//                         which builds the object to register under `name`
#define VEDAVI_NATIVE_MEMBERS(FUNCTION, VALUE) \
  FUNCTION(md2vedavi)                          \
  FUNCTION(frontmatter_meta)                   \
  FUNCTION(vedavi2md)                          \
  FUNCTION(wrap_md)                            \
  FUNCTION(md_chunks)                          \
  FUNCTION(md_chunks_greedy)                   \
  FUNCTION(md_chunks_structural)               \
  FUNCTION(md_chunks_structural_batch)         \
  FUNCTION(wiki2vedavi)                        \
  FUNCTION(blocks)                             \
  FUNCTION(inlines)                            \
  FUNCTION(source_nodes)                       \
  FUNCTION(anchors)                            \
  VALUE(SCHEMES, make_schemes)                 \
  VALUE(REFTYPES, make_reftypes)               \
  FUNCTION(ref_tokens)                         \
  FUNCTION(ref_variant)                        \
  FUNCTION(target_kind)                        \
  FUNCTION(trailing_attr_span)                 \
  FUNCTION(group_plan)                         \
  FUNCTION(decode_raw)                         \
  FUNCTION(math_js)                            \
  FUNCTION(dialect_css)                        \
  FUNCTION(highlight_md)                       \
  VALUE(HeadingNums, make_heading_nums_class)  \
  VALUE(Resolver, make_resolver_class)         \
  FUNCTION(export_html)                        \
  VALUE(__version__, make_version)

Ref make_version(PyObject*) { return new_str("0.1.41"); }

#define VEDAVI_DECLARE_FUNCTION(name) extern PyMethodDef name##_method;
#define VEDAVI_DECLARE_VALUE(name, make) Ref make(PyObject* module);
VEDAVI_NATIVE_MEMBERS(VEDAVI_DECLARE_FUNCTION, VEDAVI_DECLARE_VALUE)

namespace {

struct Member {
  const char* name;
  PyMethodDef* function;            // a function, or
  Ref (*make)(PyObject* module);    // an attribute or a class
};

#define VEDAVI_FUNCTION_ROW(name) Member{#name, &name##_method, nullptr},
#define VEDAVI_VALUE_ROW(name, make) Member{#name, nullptr, &make},
const Member kMembers[] = {VEDAVI_NATIVE_MEMBERS(VEDAVI_FUNCTION_ROW, VEDAVI_VALUE_ROW)};

void add_members(PyObject* module) {
  Ref module_name = check(PyModule_GetNameObject(module));
  for (const Member& member : kMembers) {
    Ref value = member.function != nullptr
                    ? check(PyCMethod_New(member.function, module, module_name.get(), nullptr))
                    : member.make(module);
    if (PyModule_AddObjectRef(module, member.name, value.get()) < 0) throw_error_already_set();
  }
}

// Stops at the first failure and leaves its exception set, so the import fails with it.
int exec_module(PyObject* module) {
  try {
    add_members(module);
    return 0;
  } catch (...) {
    set_exception_from_current();
    return -1;
  }
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
#ifdef Py_mod_gil
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "_native", "", 0, nullptr, module_slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace vedavi::py

extern "C" __attribute__((visibility("default"))) PyObject* PyInit__native() {
  return PyModuleDef_Init(&vedavi::py::module_def);
}
