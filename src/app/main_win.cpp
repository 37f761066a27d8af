// Program start: regional formats and the database session first, then the
// application, the main window and the message loop; at the end the forms
// go, then the engine is shut down.
#include <windows.h>

#include "app/engine.h"
#include "app/regional.h"
#include "app/unit1_win.h"
#include "framework/application_win.h"
#include "table/session.h"

using framework::Application;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  app::Regional();      // the short date and long time formats, read once
  dataset::Session();   // the default session "Default" exists from the start

  Application().Initialize();
  // The passes' throttle handles window messages the application's way.
  app::SetMessagePump([] { Application().ProcessMessages(); });
  // The hourglass while the database engine starts, unless already shown.
  dataset::TSession::SetBusyCursorHooks(
      [] {
        if (Application().BusyCursor()) return false;
        Application().SetBusyCursor(true);
        return true;
      },
      [] { Application().SetBusyCursor(false); });

  Application().CreateForm(app::Quorren);
  Application().Run();

  Application().FreeForms();
  dataset::Session().Close();
  return 0;
}
