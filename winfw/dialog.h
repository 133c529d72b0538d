// Dialogs from templates (resource or in memory), modal or modeless, bound to an object of T.
#pragma once

#include "winfw/module.h"
#include "winfw/typedmap.h"
#include "winfw/window.h"

// T names its template: enum { IDD = <resource id> }.
template <class T, class TBase = CWindow>
class CDialogImpl : public CWindowImplRootT<TBase> {
public:
    CDialogImpl() { this->m_bDialog = true; }

    // Runs the dialog modally; returns the code passed to EndDialog (-1 when it could not open).
    INT_PTR DoModal(HWND parent = ::GetActiveWindow(), LPARAM initParam = 0) {
        if (this->m_hWnd) return -1;
        this->m_bModal = true;
        this->PrepareBinding();
        INT_PTR r = ::DialogBoxParamA(GetAppModule().GetResourceInstance(), MAKEINTRESOURCEA(T::IDD), parent,
                                      &CWindowImplCore::DialogProc, initParam);
        this->CancelBinding();
        this->m_bModal = false;
        return r;
    }
    // The same from a template in memory.
    INT_PTR DoModalIndirect(const DLGTEMPLATE* tmpl, HWND parent = ::GetActiveWindow(), LPARAM initParam = 0) {
        if (this->m_hWnd) return -1;
        this->m_bModal = true;
        this->PrepareBinding();
        INT_PTR r = ::DialogBoxIndirectParamA(GetAppModule().GetResourceInstance(), tmpl, parent,
                                              &CWindowImplCore::DialogProc, initParam);
        this->CancelBinding();
        this->m_bModal = false;
        return r;
    }
    // A modeless dialog.
    HWND Create(HWND parent, LPARAM initParam = 0) {
        if (this->m_hWnd) return nullptr;
        this->m_bModal = false;
        this->PrepareBinding();
        HWND h = ::CreateDialogParamA(GetAppModule().GetResourceInstance(), MAKEINTRESOURCEA(T::IDD), parent,
                                      &CWindowImplCore::DialogProc, initParam);
        this->CancelBinding();
        return h;
    }
    HWND CreateIndirect(const DLGTEMPLATE* tmpl, HWND parent, LPARAM initParam = 0) {
        if (this->m_hWnd) return nullptr;
        this->m_bModal = false;
        this->PrepareBinding();
        HWND h = ::CreateDialogIndirectParamA(GetAppModule().GetResourceInstance(), tmpl, parent,
                                              &CWindowImplCore::DialogProc, initParam);
        this->CancelBinding();
        return h;
    }
    // Ends a modal dialog with the code; a modeless one is destroyed.
    BOOL EndDialog(int code) {
        if (this->m_bModal) return ::EndDialog(this->m_hWnd, code);
        return ::DestroyWindow(this->m_hWnd);
    }
    bool IsModal() const { return this->m_bModal; }
};
