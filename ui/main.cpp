// Entry point of the dialog program.
#include <windows.h>

#include "ui/cnvqdn570conf_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  CCnvQDN570ConfApp app;
  return app.Run(instance);
}
