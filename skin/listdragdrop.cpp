#include "skin/listdragdrop.h"

#include <shlguid.h>

#include "base/log.h"

namespace {

bool TymedOverlaps(DWORD a, DWORD b) { return (a & b) != 0; }

// A copy of a medium the way OLE hands them out: duplicated memory, or a new reference.
HRESULT CopyMedium(const FORMATETC& f, const STGMEDIUM& in, STGMEDIUM* out) {
    *out = in;
    switch (in.tymed) {
    case TYMED_HGLOBAL:
    case TYMED_FILE:
    case TYMED_GDI:
    case TYMED_MFPICT:
    case TYMED_ENHMF:
        out->hGlobal = (HGLOBAL)::OleDuplicateData(in.hGlobal, f.cfFormat, 0);
        if (!out->hGlobal) return E_OUTOFMEMORY;
        break;
    case TYMED_ISTREAM:
        if (out->pstm) out->pstm->AddRef();
        break;
    case TYMED_ISTORAGE:
        if (out->pstg) out->pstg->AddRef();
        break;
    default:
        break;
    }
    if (out->pUnkForRelease) out->pUnkForRelease->AddRef();
    return S_OK;
}

}  // namespace

FORMATETC MakeColumnDragFormat(CLIPFORMAT format) {
    FORMATETC f = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return f;
}

// ---- drop source --------------------------------------------------------------------------

HRESULT CDropSource::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
        *ppv = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CDropSource::AddRef() { return ::InterlockedIncrement(&m_refs); }

ULONG CDropSource::Release() {
    LONG n = ::InterlockedDecrement(&m_refs);
    if (n == 0) delete this;
    return n;
}

HRESULT CDropSource::QueryContinueDrag(BOOL escape, DWORD keys) {
    if (escape) return DRAGDROP_S_CANCEL;
    if (!(keys & (MK_LBUTTON | MK_RBUTTON))) return DRAGDROP_S_DROP;
    return S_OK;
}

HRESULT CDropSource::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

// ---- drop target --------------------------------------------------------------------------

CDropTarget::CDropTarget(HWND wnd) : m_wnd(wnd) {
    // The shell draws the drag picture over us; without it the drag simply has none.
    if (FAILED(::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper,
                                  (void**)&m_helper)))
        m_helper = nullptr;
}

CDropTarget::~CDropTarget() {
    ClearStored();
    if (m_helper) m_helper->Release();
}

HRESULT CDropTarget::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *ppv = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CDropTarget::AddRef() { return ::InterlockedIncrement(&m_refs); }

ULONG CDropTarget::Release() {
    LONG n = ::InterlockedDecrement(&m_refs);
    if (n == 0) delete this;
    return n;
}

POINT CDropTarget::ClientPoint(POINTL pt) const {
    POINT p = {pt.x, pt.y};
    ::ScreenToClient(m_wnd, &p);
    return p;
}

void CDropTarget::ClearStored() {
    if (m_haveStored) ::ReleaseStgMedium(&m_medium);
    m_haveStored = false;
    m_stored = FORMATETC();
    m_medium = STGMEDIUM();
}

DWORD CDropTarget::AdjustEffect(bool accepted, DWORD keys, DWORD effect) {
    if (!accepted) return DROPEFFECT_NONE;
    bool control = (keys & MK_CONTROL) != 0, shift = (keys & MK_SHIFT) != 0;
    DWORD asked = 0;
    if (control && shift)
        asked = DROPEFFECT_LINK;
    else if (control)
        asked = DROPEFFECT_COPY;
    else if (shift)
        asked = DROPEFFECT_MOVE;
    if (asked) return (effect & asked) ? asked : DROPEFFECT_NONE;
    for (DWORD e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
        if (effect & e) return e;
    return DROPEFFECT_NONE;
}

HRESULT CDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    if (!data || !effect) return E_INVALIDARG;
    if (m_helper) {
        POINT p = {pt.x, pt.y};
        m_helper->DragEnter(m_wnd, data, &p, *effect);
    }
    ClearStored();
    m_accepted = false;
    DWORD answer = DROPEFFECT_NONE;
    for (FORMATETC f : m_formats) {
        STGMEDIUM m = {};
        if (SUCCEEDED(data->GetData(&f, &m))) {
            m_accepted = true;
            m_stored = f;
            m_medium = m;
            m_haveStored = true;
            answer = OnDragEnter(m_stored, m_medium, keys, ClientPoint(pt));
            break;
        }
    }
    *effect = AdjustEffect(m_accepted, keys, answer & *effect);
    return S_OK;
}

HRESULT CDropTarget::DragOver(DWORD keys, POINTL pt, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    if (m_helper) {
        POINT p = {pt.x, pt.y};
        m_helper->DragOver(&p, *effect);
    }
    DWORD answer = DROPEFFECT_NONE;
    if (m_accepted && m_haveStored) answer = OnDragOver(m_stored, m_medium, keys, ClientPoint(pt));
    *effect = AdjustEffect(m_accepted, keys, answer & *effect);
    return S_OK;
}

HRESULT CDropTarget::DragLeave() {
    if (m_helper) m_helper->DragLeave();
    OnDragLeave();
    ClearStored();
    m_accepted = false;
    return S_OK;
}

HRESULT CDropTarget::Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    if (!data || !effect) return E_INVALIDARG;
    if (m_helper) {
        POINT p = {pt.x, pt.y};
        m_helper->Drop(data, &p, *effect);
    }
    DWORD e = DROPEFFECT_NONE;
    if (m_accepted && m_haveStored) {
        // The drop decides with the same rules as the last move over the target.
        e = AdjustEffect(true, keys, OnDragOver(m_stored, m_medium, keys, ClientPoint(pt)) & *effect);
        FORMATETC f = m_stored;
        STGMEDIUM fresh = {};
        if (e != DROPEFFECT_NONE && SUCCEEDED(data->GetData(&f, &fresh))) {
            if (!OnDrop(f, fresh, e, ClientPoint(pt))) e = DROPEFFECT_NONE;
            ::ReleaseStgMedium(&fresh);
        } else {
            e = DROPEFFECT_NONE;
        }
    }
    *effect = e;
    OnDragLeave();
    ClearStored();
    m_accepted = false;
    return S_OK;
}

DWORD CDropTargetT::OnDragEnter(const FORMATETC& f, const STGMEDIUM& m, DWORD keys, POINT pt) {
    return m_client ? m_client->OnDragOver(f, m, keys, pt) : DROPEFFECT_NONE;
}

DWORD CDropTargetT::OnDragOver(const FORMATETC& f, const STGMEDIUM& m, DWORD keys, POINT pt) {
    return m_client ? m_client->OnDragOver(f, m, keys, pt) : DROPEFFECT_NONE;
}

bool CDropTargetT::OnDrop(const FORMATETC& f, const STGMEDIUM& m, DWORD effect, POINT pt) {
    return m_client ? m_client->OnDrop(f, m, effect, pt) : false;
}

void CDropTargetT::OnDragLeave() {
    if (m_client) m_client->OnDragLeave();
}

// ---- data object --------------------------------------------------------------------------

CDataObject::CDataObject(CDropSource* source) : m_source(source), m_swapped(::GetSystemMetrics(SM_SWAPBUTTON) != 0) {}

CDataObject::~CDataObject() {
    for (STGMEDIUM& m : m_media)
        if (m.tymed != TYMED_NULL) ::ReleaseStgMedium(&m);
}

HRESULT CDataObject::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CDataObject::AddRef() { return ::InterlockedIncrement(&m_refs); }

ULONG CDataObject::Release() {
    LONG n = ::InterlockedDecrement(&m_refs);
    if (n == 0) delete this;
    return n;
}

HRESULT CDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_INVALIDARG;
    *medium = STGMEDIUM();
    for (size_t i = 0; i < m_formats.size(); ++i) {
        const FORMATETC& f = m_formats[i];
        if (!TymedOverlaps(f.tymed, format->tymed) || f.dwAspect != format->dwAspect || f.cfFormat != format->cfFormat)
            continue;
        if (m_media[i].tymed != TYMED_NULL) return CopyMedium(f, m_media[i], medium);
        // Rendered when asked; the drop flag once the primary button is up.
        int primary = m_swapped ? VK_RBUTTON : VK_LBUTTON;
        bool drop = ::GetAsyncKeyState(primary) >= 0;
        return OnRenderData(f, medium, drop) ? S_OK : DV_E_FORMATETC;
    }
    return DV_E_FORMATETC;
}

HRESULT CDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT CDataObject::QueryGetData(FORMATETC* format) {
    if (!format) return E_INVALIDARG;
    if (!(format->dwAspect & DVASPECT_CONTENT)) return DV_E_DVASPECT;
    HRESULT hr = DV_E_TYMED;
    for (const FORMATETC& f : m_formats) {
        if (TymedOverlaps(f.tymed, format->tymed)) {
            if (f.cfFormat == format->cfFormat) return S_OK;
            hr = DV_E_CLIPFORMAT;
        } else {
            hr = DV_E_TYMED;
        }
    }
    return hr;
}

HRESULT CDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (!out) return E_INVALIDARG;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT CDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium) return E_INVALIDARG;
    STGMEDIUM stored = {};
    if (release) {
        stored = *medium;
    } else if (medium->tymed != TYMED_NULL) {
        HRESULT hr = CopyMedium(*format, *medium, &stored);
        if (FAILED(hr)) return hr;
    }
    try {
        m_formats.push_back(*format);
        m_media.push_back(stored);
    } catch (...) {
        LogCaughtException("CDataObject::SetData");
        if (m_formats.size() > m_media.size()) m_formats.pop_back();
        if (!release && stored.tymed != TYMED_NULL) ::ReleaseStgMedium(&stored);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    CEnumFormatEtc* e = new (std::nothrow) CEnumFormatEtc(m_formats);
    if (!e) return E_OUTOFMEMORY;
    e->AddRef();
    *out = e;
    return S_OK;
}

HRESULT CDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT CDataObject::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT CDataObject::EnumDAdvise(IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

bool CDataObjectT::OnRenderData(const FORMATETC& format, STGMEDIUM* medium, bool) {
    return m_client && m_client->RenderDragData(format, medium);
}

// ---- format enumerator --------------------------------------------------------------------

CEnumFormatEtc::CEnumFormatEtc(const std::vector<FORMATETC>& formats, size_t cursor)
    : m_formats(formats), m_cursor(cursor) {}

HRESULT CEnumFormatEtc::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumFORMATETC)) {
        *ppv = static_cast<IEnumFORMATETC*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CEnumFormatEtc::AddRef() { return ::InterlockedIncrement(&m_refs); }

ULONG CEnumFormatEtc::Release() {
    LONG n = ::InterlockedDecrement(&m_refs);
    if (n == 0) delete this;
    return n;
}

HRESULT CEnumFormatEtc::Next(ULONG count, FORMATETC* out, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (count == 0 || !out || m_cursor >= m_formats.size() || (!fetched && count != 1)) return S_FALSE;
    ULONG n = 0;
    while (n < count && m_cursor < m_formats.size()) out[n++] = m_formats[m_cursor++];
    if (fetched) *fetched = n;
    return n < count ? S_FALSE : S_OK;
}

HRESULT CEnumFormatEtc::Skip(ULONG n) {
    // Exactly n left to skip is a success (the enumerator then sits at the end).
    if (m_cursor + n > m_formats.size()) return S_FALSE;
    m_cursor += n;
    return S_OK;
}

HRESULT CEnumFormatEtc::Reset() {
    m_cursor = 0;
    return S_OK;
}

HRESULT CEnumFormatEtc::Clone(IEnumFORMATETC** out) {
    if (!out) return E_POINTER;
    CEnumFormatEtc* e = new (std::nothrow) CEnumFormatEtc(m_formats, m_cursor);
    if (!e) return E_OUTOFMEMORY;
    e->AddRef();
    *out = e;
    return S_OK;
}

// ---- the list's part ----------------------------------------------------------------------

CDragDrop::~CDragDrop() {
    Revoke();
    if (m_data) m_data->Release();
    if (m_source) m_source->Release();
}

bool CDragDrop::Register(HWND wnd, IListDragClient* client, bool withSource) {
    Revoke();
    m_wnd = wnd;
    CDropTargetT* target = new (std::nothrow) CDropTargetT(wnd, client);
    if (target) {
        target->AddRef();
        if (SUCCEEDED(::RegisterDragDrop(wnd, target))) {
            m_target = target;
            m_registered = true;
        } else {
            target->Unbind();
            target->Release();
        }
    }
    if (withSource && !m_source) {
        m_source = new (std::nothrow) CDropSource();
        if (m_source) {
            m_source->AddRef();
            m_data = new (std::nothrow) CDataObjectT(m_source, client);
            if (m_data) m_data->AddRef();
        }
    }
    return m_registered;
}

void CDragDrop::Revoke() {
    if (m_registered) ::RevokeDragDrop(m_wnd);
    m_registered = false;
    if (m_target) {
        m_target->Unbind();  // OLE may hold it a little longer; it no longer reaches the list
        m_target->Release();
        m_target = nullptr;
    }
}

bool CDragDrop::AddTargetFormat(CLIPFORMAT format) {
    if (!m_target) return false;
    m_target->AddFormat(MakeColumnDragFormat(format));
    return true;
}

bool CDragDrop::AddSourceFormat(CLIPFORMAT format) {
    if (!m_data) return false;
    FORMATETC f = MakeColumnDragFormat(format);
    STGMEDIUM empty = {};
    return SUCCEEDED(m_data->SetData(&f, &empty, TRUE));
}

void CDragDrop::DoDrag(SHDRAGIMAGE* image, DWORD allowed) {
    if (!m_data || !m_source) return;
    IDragSourceHelper* helper = nullptr;
    if (image && SUCCEEDED(::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IDragSourceHelper, (void**)&helper))) {
        if (FAILED(helper->InitializeFromBitmap(image, m_data))) {
            // The helper did not take the picture: it stays ours.
            ::DeleteObject(image->hbmpDragImage);
        }
    } else if (image) {
        ::DeleteObject(image->hbmpDragImage);
    }
    DWORD effect = DROPEFFECT_NONE;
    ::DoDragDrop(m_data, m_source, allowed, &effect);
    if (helper) helper->Release();
}
