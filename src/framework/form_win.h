// TForm: a top-level window holding controls. A form starts hidden; Show
// places it (centred on the screen when asked) and shows it. Closing asks
// OnCloseQuery, then OnClose decides what happens: hide (the default), free
// (the form is destroyed when the next messages are handled) or nothing.
// Closing the main form ends the program.
#pragma once

#include <functional>
#include <vector>

#include "framework/win_control_win.h"

namespace framework {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum class TPosition { poDesigned, poScreenCenter };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = unsigned;

using TCloseEvent = std::function<void(TComponent* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TComponent* sender, bool& can_close)>;

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  void SetBorderStyle(TFormBorderStyle style);
  void SetBorderIcons(TBorderIcons icons);
  void SetFormStyle(TFormStyle style);
  void SetPosition(TPosition position) { position_ = position; }
  // Sets the outer size so that the client area has this size.
  void SetClientSize(int width, int height);
  int ClientWidth() override;
  int ClientHeight() override;

  void Close();
  // Shows the form with the program's other windows disabled and handles
  // messages until a modal result is set (a button's, or IDCANCEL on
  // closing); returns it. The form is hidden again before it returns.
  int ShowModal();
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int result) { modal_result_ = result; }
  // Given every modal form once it is shown, from inside its message loop:
  // tests answer modal forms with it.
  static std::function<void(TForm&)>& ModalHook();
  // A character typed in one of the form's windows, before it is handled:
  // Alt with a letter (WM_SYSCHAR), or a plain letter (WM_CHAR) where the
  // window takes no characters, focuses the control of the label that
  // underlines the letter. True when it did (the message is then done).
  // The labels have no windows, so the system's dialog handling cannot
  // find them.
  bool DialogChar(const MSG& msg);
  // Destroys the form once the messages now pending have been handled.
  void Release();
  void BringToFront();

  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;

  static constexpr UINT kReleaseMessage = WM_APP + 0x100;

 protected:
  void CreateParams(TCreateParams* params) override;
  void HandleCreated() override;
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void VisibleChanged() override;

 private:
  void ApplyClientSize();
  // Alt with a letter: focuses the control of the label whose caption
  // underlines that letter.
  bool LabelAccelerator(char16_t key);

  TFormBorderStyle border_style_ = TFormBorderStyle::bsSizeable;
  TBorderIcons border_icons_ = biSystemMenu | biMinimize | biMaximize;
  TFormStyle form_style_ = TFormStyle::fsNormal;
  TPosition position_ = TPosition::poDesigned;
  int client_width_ = -1;
  int client_height_ = -1;
  bool placed_ = false;
  HWND last_focus_ = nullptr;
  bool releasing_ = false;
  bool modal_ = false;
  int modal_result_ = 0;
};

}  // namespace framework
