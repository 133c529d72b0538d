// OLE drag and drop for moving the skinned list's columns: a drop source, a drop target bound
// to the list, a data object that renders its payload on demand, a format enumerator, and the
// part that owns them for one list.
#pragma once

#include <vector>

#include "winfw/win.h"

#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>

// What the drag part needs from the list.
class IListDragClient {
public:
    virtual ~IListDragClient() = default;
    // Fills the medium for a format; false when it is not the list's or a part fails.
    virtual bool RenderDragData(const FORMATETC& format, STGMEDIUM* medium) = 0;
    // The effect for a payload at a client point (0: no drop here).
    virtual DWORD OnDragOver(const FORMATETC& format, const STGMEDIUM& medium, DWORD keys, POINT pt) = 0;
    // The drop; false refuses it.
    virtual bool OnDrop(const FORMATETC& format, const STGMEDIUM& medium, DWORD effect, POINT pt) = 0;
    virtual void OnDragLeave() {}
};

class CDropSource : public IDropSource {
public:
    CDropSource() = default;
    virtual ~CDropSource() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

private:
    LONG m_refs = 0;
};

class CDropTarget : public IDropTarget {
public:
    explicit CDropTarget(HWND wnd);
    virtual ~CDropTarget();
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;

    void AddFormat(const FORMATETC& f) { m_formats.push_back(f); }
    // The effect kept from the one offered, by the keys held (0 without an accepted format).
    static DWORD AdjustEffect(bool accepted, DWORD keys, DWORD effect);

protected:
    virtual DWORD OnDragEnter(const FORMATETC& f, const STGMEDIUM& m, DWORD keys, POINT pt) = 0;
    virtual DWORD OnDragOver(const FORMATETC& f, const STGMEDIUM& m, DWORD keys, POINT pt) = 0;
    virtual bool OnDrop(const FORMATETC& f, const STGMEDIUM& m, DWORD effect, POINT pt) = 0;
    virtual void OnDragLeave() {}

private:
    POINT ClientPoint(POINTL pt) const;
    void ClearStored();

    LONG m_refs = 0;
    HWND m_wnd;
    IDropTargetHelper* m_helper = nullptr;
    std::vector<FORMATETC> m_formats;
    bool m_accepted = false;
    bool m_haveStored = false;
    FORMATETC m_stored = {};
    STGMEDIUM m_medium = {};
};

class CDropTargetT : public CDropTarget {
public:
    CDropTargetT(HWND wnd, IListDragClient* client) : CDropTarget(wnd), m_client(client) {}
    void Unbind() { m_client = nullptr; }

protected:
    DWORD OnDragEnter(const FORMATETC& f, const STGMEDIUM& m, DWORD keys, POINT pt) override;
    DWORD OnDragOver(const FORMATETC& f, const STGMEDIUM& m, DWORD keys, POINT pt) override;
    bool OnDrop(const FORMATETC& f, const STGMEDIUM& m, DWORD effect, POINT pt) override;
    void OnDragLeave() override;

private:
    IListDragClient* m_client;
};

class CDataObject : public IDataObject {
public:
    explicit CDataObject(CDropSource* source);
    virtual ~CDataObject();
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override;

protected:
    // Renders an empty stored medium on request; `drop` is set once the button is up.
    virtual bool OnRenderData(const FORMATETC& format, STGMEDIUM* medium, bool drop) = 0;

private:
    LONG m_refs = 0;
    CDropSource* m_source;
    bool m_swapped;
    std::vector<FORMATETC> m_formats;
    std::vector<STGMEDIUM> m_media;
};

class CDataObjectT : public CDataObject {
public:
    CDataObjectT(CDropSource* source, IListDragClient* client) : CDataObject(source), m_client(client) {}

protected:
    bool OnRenderData(const FORMATETC& format, STGMEDIUM* medium, bool drop) override;

private:
    IListDragClient* m_client;
};

class CEnumFormatEtc : public IEnumFORMATETC {
public:
    explicit CEnumFormatEtc(const std::vector<FORMATETC>& formats, size_t cursor = 0);
    virtual ~CEnumFormatEtc() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* out, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG n) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override;

private:
    LONG m_refs = 0;
    std::vector<FORMATETC> m_formats;
    size_t m_cursor;
};

// The column-drag FORMATETC of a registered clipboard format.
FORMATETC MakeColumnDragFormat(CLIPFORMAT format);

// Owns one list's drag-and-drop objects.
class CDragDrop {
public:
    CDragDrop() = default;
    virtual ~CDragDrop();
    CDragDrop(const CDragDrop&) = delete;
    CDragDrop& operator=(const CDragDrop&) = delete;

    // Registers a drop target for the window (false when OLE refuses: then nothing can be
    // dropped on it); with `withSource` also makes the source and the data object.
    bool Register(HWND wnd, IListDragClient* client, bool withSource);
    void Revoke();
    bool AddTargetFormat(CLIPFORMAT format);
    bool AddSourceFormat(CLIPFORMAT format);
    // Runs the drag loop (with a drag picture when given).
    void DoDrag(SHDRAGIMAGE* image, DWORD allowed);

    IDropTarget* GetTarget() const { return m_target; }
    IDataObject* GetDataObject() const { return m_data; }
    IDropSource* GetSource() const { return m_source; }

private:
    HWND m_wnd = nullptr;
    CDropSource* m_source = nullptr;
    CDataObjectT* m_data = nullptr;
    CDropTargetT* m_target = nullptr;  // one reference of ours while registered
    bool m_registered = false;
};
