// Modal dialogs built from dialog templates, with their controls bound by id.
#pragma once

#include "framework/window.h"

class CDialog;

// Binds control members to the dialog's controls (DoDataExchange); no data is transferred.
class CDataExchange {
  public:
    CDataExchange(CDialog* dialog, BOOL save) : m_pDlgWnd(dialog), m_bSaveAndValidate(save) {}
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT template_id, CWnd* parent = nullptr)
        : m_template_id(template_id), m_parent(parent) {}

    // Runs the dialog until EndDialog; returns its result (-1 when it could not be made).
    virtual INT_PTR DoModal();
    BOOL EndDialog(int result) { return ::EndDialog(m_hWnd, result); }

    // The framework's dialog initialisation binds the controls; a derived class calls it first.
    virtual BOOL OnInitDialog();
    // Enter and the OK button: validates (nothing to validate here) and ends the dialog with IDOK.
    virtual void OnOK();
    // Escape, the close box and the cancel button: ends the dialog with IDCANCEL.
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* exchange);
    BOOL UpdateData(BOOL save = TRUE);

  protected:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    UINT m_template_id;
    CWnd* m_parent;
};
