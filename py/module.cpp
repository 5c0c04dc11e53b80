// The extension module vedavi._native: its definition and the exec step that registers members.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace {

int exec_module(PyObject* module) {
  return PyModule_AddStringConstant(module, "__version__", "0.1.41");
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

extern "C" __attribute__((visibility("default"))) PyObject* PyInit__native() {
  return PyModuleDef_Init(&module_def);
}
