#include "framework/dialog.h"

#include "framework/app.h"

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    if (!control.m_hWnd) control.m_hWnd = exchange->m_pDlgWnd->GetDlgItem(id);
}

INT_PTR CDialog::DoModal() {
    CWinApp* app = GetApp();
    HINSTANCE instance = app ? app->m_hInstance : nullptr;
    HWND parent = m_parent ? m_parent->m_hWnd : nullptr;
    INT_PTR result = ::DialogBoxParamA(instance, MAKEINTRESOURCEA(m_template_id), parent, DialogProc,
                                       reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL save) {
    CDataExchange exchange(this, save);
    DoDataExchange(&exchange);
    return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        CDialog* dialog = reinterpret_cast<CDialog*>(lparam);
        ::SetWindowLongPtrA(window, DWLP_USER, lparam);
        dialog->m_hWnd = window;
        return dialog->OnInitDialog();
    }
    CDialog* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog) return FALSE;
    LRESULT result = 0;
    if (dialog->OnWndMsg(message, wparam, lparam, &result)) {
        if (message == WM_QUERYDRAGICON) return static_cast<INT_PTR>(result);
        ::SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
        if (LOWORD(wparam) == IDOK) {
            dialog->OnOK();
            return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            dialog->OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}
