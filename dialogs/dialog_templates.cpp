#include "dialogs/dialog_templates.h"

#include "localization/language_module.h"

HMODULE DialogTemplateModule(const wchar_t* name) {
  HMODULE module = ResourceModule();
  if (module != ProgramModule() && !FindResourceW(module, name, RT_DIALOG)) return ProgramModule();
  return module;
}
