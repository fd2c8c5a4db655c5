// The application object of the dialog program: initialises the platform,
// runs the main dialog modally and ends when it closes.
#ifndef CNV_UI_CNVQDN570CONF_APP_H_
#define CNV_UI_CNVQDN570CONF_APP_H_

#include "ui/ui_app.h"

class CCnvQDN570ConfApp : public CUiApp {
 public:
  // Returns FALSE: no message loop runs after the dialog.
  BOOL InitInstance() override;
};

#endif  // CNV_UI_CNVQDN570CONF_APP_H_
