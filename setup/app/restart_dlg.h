// The restart prompt: restart Windows now (selected at the start) or later. OK with "now" enables the
// shutdown privilege and asks Windows to restart; cancel (Escape, the close box) closes the prompt without a
// restart.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

class CRestartDlg : public CDialog {
  public:
    explicit CRestartDlg(CWnd* parent = nullptr);
    ~CRestartDlg() override;

    CButton YesRadio;  // restart now
    CButton NoRadio;   // restart later

  protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    DECLARE_MESSAGE_MAP()
};

// Enables a privilege in the process's token: true when it is enabled or the platform has no security (the
// 9x family). A privilege the account does not hold still answers true, as AdjustTokenPrivileges does.
BOOL EnablePrivilege(LPCSTR name);
