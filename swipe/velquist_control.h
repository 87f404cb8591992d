// The card-swipe control: a dual interface with StartRecording and GetTrack2 over the process's
// one recording, shown as a framed caption at design time. It keeps no state of its own.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "control.h"
#include "data_object.h"
#include "dispatch.h"
#include "object.h"
#include "ole_control.h"
#include "ole_in_place_active_object.h"
#include "ole_in_place_object.h"
#include "ole_object.h"
#include "persist_storage.h"
#include "persist_stream_init.h"
#include "property_map.h"
#include "property_pages.h"
#include "provide_class_info.h"
#include "quick_activate.h"
#include "support_error_info.h"
#include "view_object.h"

#include "Velquist.h"

namespace swipe {

class CVelquist : public activex::ObjectRoot<CVelquist>,
                  public activex::DispatchImpl<IVelquist>,
                  public activex::PersistStreamInitImpl<CVelquist>,
                  public activex::OleControlImpl<CVelquist>,
                  public activex::OleObjectImpl<CVelquist>,
                  public activex::OleInPlaceActiveObjectImpl<CVelquist>,
                  public activex::ViewObjectExImpl<CVelquist>,
                  public activex::OleInPlaceObjectWindowlessImpl<CVelquist>,
                  public activex::SupportErrorInfoImpl<IVelquist>,
                  public activex::PersistStorageImpl<CVelquist>,
                  public activex::SpecifyPropertyPagesImpl<CVelquist>,
                  public activex::QuickActivateImpl<CVelquist>,
                  public activex::DataObjectImpl<CVelquist>,
                  public activex::ProvideClassInfo2Impl<&CLSID_Velquist>,
                  public activex::Control<CVelquist> {
 public:
  // OLEMISC_SETCLIENTSITEFIRST | INVISIBLEATRUNTIME | ACTIVATEWHENVISIBLE | INSIDEOUT |
  // CANTLINKINSIDE | RECOMPOSEONRESIZE: shown at design time only.
  static constexpr DWORD kMiscStatus = 132497;
  static constexpr DWORD kViewStatus = 0;

  static const CLSID& GetObjectCLSID() { return CLSID_Velquist; }

  static const activex::InterfaceEntry* InterfaceMap() {
    using activex::Entry;
    static const activex::InterfaceEntry map[] = {
        Entry<CVelquist, IVelquist>(),
        Entry<CVelquist, IDispatch, IVelquist>(),
        Entry<CVelquist, IViewObjectEx>(),
        Entry<CVelquist, IViewObject2, IViewObjectEx>(),
        Entry<CVelquist, IViewObject, IViewObjectEx>(),
        Entry<CVelquist, IOleInPlaceObjectWindowless>(),
        Entry<CVelquist, IOleInPlaceObject, IOleInPlaceObjectWindowless>(),
        Entry<CVelquist, IOleWindow, IOleInPlaceObjectWindowless>(),
        Entry<CVelquist, IOleInPlaceActiveObject>(),
        Entry<CVelquist, IOleControl>(),
        Entry<CVelquist, IOleObject>(),
        Entry<CVelquist, IPersistStreamInit>(),
        Entry<CVelquist, IPersist, IPersistStreamInit>(),
        Entry<CVelquist, ISupportErrorInfo>(),
        Entry<CVelquist, ISpecifyPropertyPages>(),
        Entry<CVelquist, IQuickActivate>(),
        Entry<CVelquist, IPersistStorage>(),
        Entry<CVelquist, IDataObject>(),
        Entry<CVelquist, IProvideClassInfo, IProvideClassInfo2>(),
        Entry<CVelquist, IProvideClassInfo2>(),
        {}};
    return map;
  }

  static const activex::PropertyEntry<CVelquist>* PropertyMap() {
    static const activex::PropertyEntry<CVelquist> map[] = {
        activex::ExtentWidthProperty<CVelquist>(),
        activex::ExtentHeightProperty<CVelquist>(),
        {}};
    return map;
  }

  // IVelquist
  STDMETHODIMP StartRecording(LONG recTime) override;
  STDMETHODIMP get_GetTrack2(BSTR* pVal) override;

  // The frame and caption shown in the control's area.
  HRESULT OnDraw(HDC dc, const RECT& bounds);
};

}  // namespace swipe
