#include "dialogs/dialog_templates.h"

#include "localization/language_module.h"

HMODULE DialogTemplateModule(const wchar_t* name) {
  HMODULE module = ResourceModule();
  if (module != ProgramModule() && !FindResourceW(module, name, RT_DIALOG)) return ProgramModule();
  return module;
}

INT_PTR ShowTemplateDialog(const wchar_t* name, HWND owner, DLGPROC procedure) {
  HMODULE module = DialogTemplateModule(name);
  INT_PTR result = DialogBoxParamW(module, name, owner, procedure, 0);
  // A template that fails is dropped before the dialog starts: nothing of
  // its run has to be undone.
  if (result == -1 && module != ProgramModule())
    result = DialogBoxParamW(ProgramModule(), name, owner, procedure, 0);
  return result;
}
