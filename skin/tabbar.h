// A row (or column) of text tabs drawn from a five-frame image; a new selection cross-fades.
#pragma once

#include <string>
#include <vector>

#include "skin/ctlmodel.h"
#include "skin/skinctl.h"
#include "winfw/winfw.h"

class CSkinCmdBar : public CWindowImpl<CSkinCmdBar> {
public:
    DECLARE_WND_CLASS_EX("VelmoraTabBar", CS_DBLCLKS, -1)
    enum : UINT_PTR { kFadeTimer = 42 };
    enum { kFadeMs = 300 };

    CSkinCmdBar() = default;
    ~CSkinCmdBar() override;

    // Before creation.
    void AddItem(int id, const char* text) { m_model.AddItem(id, text ? text : ""); }
    void SetVertical(bool vertical) { m_model.vertical = vertical; }
    // The bar owns both images; the second is kept but not drawn.
    void SetBackgroundImages(HBITMAP itemImage, HBITMAP second);
    // Moves the selection to the item of the id (fading the old one when asked); 0 when none has it.
    BOOL SelectItemById(int id, bool fade);
    int GetSelectedIndex() const { return m_selected; }
    const CTabBarModel& Model() const { return m_model; }

    BEGIN_MSG_MAP(CSkinCmdBar)
        MSG_WM_CREATE(OnCreate)
        MSG_WM_TIMER(OnTimer)
        MSG_WM_ERASEBKGND(OnEraseBkgnd)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_MOUSELEAVE(OnMouseLeave)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_LBUTTONUP(OnLButtonUp)
        MSG_WM_MOVE(OnMove)
        MSG_WM_SIZE(OnSize)
    END_MSG_MAP()

    void DoPaint(HDC dc);

private:
    LRESULT OnCreate(LPCREATESTRUCTA);
    void OnTimer(UINT_PTR id);
    BOOL OnEraseBkgnd(HDC) { return TRUE; }
    void OnPaint(HDC given);
    void OnPrintClient(HDC dc, UINT) { DoPaint(dc); }
    void OnMouseMove(UINT, CPoint pt);
    void OnMouseLeave();
    void OnLButtonDown(UINT, CPoint pt);
    void OnLButtonUp(UINT, CPoint pt);
    void OnMove(CPoint) { ResetBackground(); }
    void OnSize(UINT, CSize) { ResetBackground(); }
    void ResetBackground();
    void ChangeStates(int target, unsigned set, unsigned clear, uint32_t fadeMs);
    void DrawFrame(HDC dc, const RECT& r, unsigned flags, BYTE alpha);

    int m_selected = -1;
    bool m_tracking = false;
    CFont m_font;
    TEXTMETRICA m_tm = {};
    CBrush m_bkBrush;
    CBitmap m_image, m_second;
    CTabBarModel m_model;
};
