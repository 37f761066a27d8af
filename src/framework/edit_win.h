// TEdit: the system's single-line edit box.
#pragma once

#include <string>

#include "framework/win_control_win.h"

namespace framework {

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);

  // What the box holds now, typed text included.
  std::u16string Text() const override;
  // The text as UTF-8 (file paths for the table engine).
  std::string TextUtf8() const;

  // After every change of the text, by the operator or the program.
  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams* params) override;
  bool ReflectedMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;
};

}  // namespace framework
